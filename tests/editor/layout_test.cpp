// The surface as data: which regions a click can reach and in what order, and
// what each panel shows for the states of the take, the count-in, the sound,
// the library and the pointer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "chords/midi_capture.hpp"
#include "editor/layout.hpp"
#include "editor/regions.hpp"
#include "tests/editor/scene_queries.hpp"

namespace palmtone {
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
} // namespace palmtone

namespace {

using namespace palmtone;
using editortest::boxesAt;
using editortest::textAt;
using editortest::textIn;
namespace c = palmtone::colours;

const double nan = std::numeric_limits<double>::quiet_NaN();

// Everything a View points at, kept alive with it.
struct ViewState {
    ParamValues params{};
    std::vector<std::wstring> files;
    SampleSummary summary;
    uint16_t overview[64] = {};
    View v;

    ViewState() {
        for (int i = 0; i < paramCount; ++i)
            params[i] = normalisedDefault(i);
    }
    void setUnit(int index, double unit) {
        params[index] = (unit - specs[index].minimum) / (specs[index].maximum - specs[index].minimum);
    }
    void loadedWave(double seconds = 1.0, double rate = 48000.0) {
        summary.name = L"Kick";
        summary.frames = 48000;
        summary.seconds = seconds;
        summary.sampleRate = rate;
    }
    Scene draw() {
        v.params = params;
        v.settings = settings(params);
        v.library = &files;
        v.summary = &summary;
        v.overview = overview;
        Scene scene;
        layout(v, scene);
        return scene;
    }
};

std::vector<const Element*> linesFrom(const Scene& s, Colour colour, int width) {
    std::vector<const Element*> out;
    for (const Element& e : s.elements)
        if (e.kind == Element::line && e.colour == colour && e.radius == width) out.push_back(&e);
    return out;
}

// One button as the pass laid it out: its hit, its box and its label.
struct Button {
    Hit hit;
    const Element* box = nullptr;
    const Element* label = nullptr;
};

Button button(const Scene& s, HitType type, int value = 0) {
    Button b;
    bool found = false;
    for (const Hit& h : s.hits)
        if (h.type == type && h.value == value) {
            b.hit = h;
            found = true;
        }
    EXPECT_TRUE(found) << "no button of type " << type << " value " << value;
    if (!found) return b;
    for (const Element& e : s.elements) {
        if (e.kind == Element::box && e.rect == b.hit.rect) b.box = &e;
        if (e.kind == Element::text &&
            e.rect == Rect{b.hit.rect.left + 6, b.hit.rect.top, b.hit.rect.right - 6, b.hit.rect.bottom})
            b.label = &e;
    }
    EXPECT_TRUE(b.box && b.label) << "button of type " << type << " lacks its box or label";
    return b;
}

// With the pointer away, the outline tells an active button from an idle one.
bool active(const Button& b) {
    return b.box && b.box->colour == c::accent;
}
std::wstring label(const Button& b) {
    return b.label ? b.label->content : L"<none>";
}

struct HitKey {
    HitType type;
    int value;
    bool enabled;
    bool operator==(const HitKey& o) const {
        return type == o.type && value == o.value && enabled == o.enabled;
    }
};
std::ostream& operator<<(std::ostream& os, const HitKey& k) {
    return os << "{" << k.type << ", " << k.value << (k.enabled ? ", on}" : ", off}");
}

std::vector<HitKey> keysOf(const Scene& s) {
    std::vector<HitKey> out;
    for (const Hit& h : s.hits)
        out.push_back({h.type, h.value, h.enabled});
    return out;
}

void expectNoOverlap(const Scene& s) {
    for (size_t i = 0; i < s.hits.size(); ++i)
        for (size_t j = i + 1; j < s.hits.size(); ++j) {
            const Rect& a = s.hits[i].rect;
            const Rect& b = s.hits[j].rect;
            const bool apart =
                a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
            EXPECT_TRUE(apart) << "hits " << i << " and " << j << " overlap";
        }
}

// Hits of the parts that do not depend on the library list.
std::vector<HitKey> settingsToExport(bool waveOn, bool ready) {
    std::vector<HitKey> k = {{WaveRoot, 0, waveOn}, {PlayMode, 0, waveOn}, {Field, 0, true},
                             {Field, 1, true},      {Field, 4, true},      {Field, 3, true},
                             {ChordSize, 0, true},  {ChordSize, 1, true},  {ChordSize, 2, true},
                             {ChordSize, 3, true},  {Field, 11, true},     {Field, 12, true},
                             {Field, 6, true}};
    for (int pad = 0; pad < 8; ++pad)
        k.push_back({Pad, pad, true});
    k.insert(k.end(), {{Record, 0, true},
                       {PauseResume, 0, true},
                       {Stop, 0, true},
                       {NewTake, 0, true},
                       {ReleaseNotes, 0, true},
                       {DragMidi, 1, ready},
                       {SaveMidi, 0, ready}});
    return k;
}

// Where the surface has each named region: the one place in this file that
// writes these numbers down. The tests below find what they check by the names.
const struct Region {
    const char* name;
    Rect region;
    Rect expected;
} surface[] = {
    {"logo", regions::logo, {23, 24, 50, 48}},
    {"wordmark", regions::wordmark, {58, 16, 168, 60}},
    {"edition", regions::edition, {190, 19, 550, 47}},
    {"tagline", regions::tagline, {190, 47, 570, 67}},
    {"version", regions::version, {650, 17, 836, 35}},
    {"volume caption", regions::volumeCaption, {620, 42, 695, 62}},
    {"volume track", regions::volumeTrack, {700, 50, 836, 54}},
    {"volume slider", regions::volumeSlider, {700, 38, 836, 63}},
    {"guide button", regions::guideButton, {862, 23, 956, 57}},
    {"chord panel", regions::chordPanel, {24, 84, 444, 156}},
    {"chord caption", regions::chordCaption, {40, 92, 150, 109}},
    {"chord name", regions::chordName, {40, 112, 245, 143}},
    {"sounding notes", regions::soundingNotes, {236, 111, 428, 141}},
    {"sound panel", regions::soundPanel, {456, 84, 956, 156}},
    {"sound title", regions::soundTitle, {474, 91, 694, 108}},
    {"sound name", regions::soundName, {474, 110, 780, 135}},
    {"keys button", regions::keysButton, {808, 95, 870, 123}},
    {"WAV button", regions::wavButton, {878, 95, 940, 123}},
    {"file info", regions::fileInfo, {790, 130, 940, 147}},
    {"sound hint", regions::soundHint, {474, 135, 914, 151}},
    {"library panel", regions::libraryPanel, {24, 172, 280, 434}},
    {"library title", regions::libraryTitle, {40, 181, 192, 199}},
    {"remove current button", regions::removeCurrentButton, {204, 179, 264, 201}},
    {"add button", regions::addButton, {40, 207, 144, 237}},
    {"folder button", regions::folderButton, {154, 207, 264, 237}},
    {"built-in row 0", regions::builtInRow(0), {40, 247, 264, 272}},
    {"file row 1", regions::fileRow(1), {40, 275, 230, 300}},
    {"file row 4", regions::fileRow(4), {40, 359, 230, 384}},
    {"remove file button 4", regions::removeFileButton(4), {238, 359, 264, 384}},
    {"library hint", regions::libraryHint, {40, 282, 264, 330}},
    {"root button", regions::rootButton, {40, 397, 137, 424}},
    {"play mode button", regions::playModeButton, {147, 397, 264, 424}},
    {"tonic field", regions::tonicField, {296, 200, 390, 234}},
    {"tonic caption", regions::fieldCaption(regions::tonicField), {296, 180, 390, 196}},
    {"scale field", regions::scaleField, {406, 200, 676, 234}},
    {"scale caption", regions::fieldCaption(regions::scaleField), {406, 180, 676, 196}},
    {"octave field", regions::octaveField, {692, 200, 804, 234}},
    {"octave caption", regions::fieldCaption(regions::octaveField), {692, 180, 804, 196}},
    {"inversion field", regions::inversionField, {820, 200, 956, 234}},
    {"inversion caption", regions::fieldCaption(regions::inversionField), {820, 180, 956, 196}},
    {"chord size caption", regions::chordSizeCaption, {296, 240, 956, 256}},
    {"chord size button 0", regions::chordSizeButton(0), {296, 261, 452, 295}},
    {"chord size button 3", regions::chordSizeButton(3), {800, 261, 956, 295}},
    {"seventh field", regions::seventhField, {296, 323, 476, 357}},
    {"seventh caption", regions::fieldCaption(regions::seventhField), {296, 303, 476, 319}},
    {"ninth field", regions::ninthField, {492, 323, 672, 357}},
    {"ninth caption", regions::fieldCaption(regions::ninthField), {492, 303, 672, 319}},
    {"input field", regions::inputField, {688, 323, 956, 357}},
    {"input caption", regions::fieldCaption(regions::inputField), {688, 303, 956, 319}},
    {"pads caption", regions::padsCaption, {296, 364, 726, 380}},
    {"pads note", regions::padsNote, {740, 364, 956, 380}},
    {"pad 0", regions::pad(0), {296, 385, 373, 426}},
    {"pad 7", regions::pad(7), {877, 385, 954, 426}},
    {"pad 0 key", regions::padKey(0), {301, 387, 317, 404}},
    {"pad 7 key", regions::padKey(7), {882, 387, 898, 404}},
    {"pad 0 caption", regions::padCaption(0), {301, 405, 368, 423}},
    {"pad 7 caption", regions::padCaption(7), {882, 405, 949, 423}},
    {"pad 0 degree", regions::padDegree(0), {342, 387, 366, 403}},
    {"pad 7 degree", regions::padDegree(7), {923, 387, 947, 403}},
    {"recording panel", regions::recordingPanel, {24, 448, 956, 712}},
    {"recording title", regions::recordingTitle, {44, 461, 424, 489}},
    {"take status", regions::takeStatus, {630, 461, 932, 487}},
    {"record button", regions::recordButton, {44, 502, 168, 542}},
    {"pause button", regions::pauseButton, {180, 502, 285, 542}},
    {"stop button", regions::stopButton, {297, 502, 402, 542}},
    {"new take button", regions::newTakeButton, {414, 502, 540, 542}},
    {"release button", regions::releaseButton, {552, 502, 700, 542}},
    {"timeline", regions::timeline, {44, 558, 700, 670}},
    {"count-in box", regions::countInBox, {312, 573, 432, 639}},
    {"count-in number", regions::countInNumber, {312, 574, 432, 626}},
    {"count-in note", regions::countInNote, {220, 645, 524, 663}},
    {"take info", regions::takeInfo, {44, 677, 700, 700}},
    {"drag button", regions::dragButton, {724, 502, 932, 568}},
    {"drag second line", regions::dragSecondLine, {724, 546, 932, 564}},
    {"save button", regions::saveButton, {724, 581, 932, 617}},
    {"export hint", regions::exportHint, {724, 626, 932, 648}},
    {"meter track", regions::meterTrack, {724, 664, 932, 668}},
    {"hint", regions::hint, {24, 718, 714, 736}},
    {"footer", regions::footer, {710, 718, 956, 736}},
};

// Whether an element or a hit of the scene covers exactly r.
bool drawnAt(const Scene& s, const Rect& r) {
    for (const Element& e : s.elements)
        if (e.rect == r) return true;
    for (const Hit& h : s.hits)
        if (h.rect == r) return true;
    return false;
}

TEST(Layout, RegionsSitWhereTheSurfaceHasThem) {
    ViewState plain;
    ViewState busy; // a count-in over a loaded WAV and a few library files
    busy.v.countIn = true;
    for (int i = 0; i < 4; ++i)
        busy.files.push_back(L"C:\\w\\f" + std::to_wstring(i) + L".wav");
    busy.setUnit(pSound, 1);
    busy.loadedWave();
    const Scene scenes[] = {plain.draw(), busy.draw()};
    for (const Region& k : surface) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(k.region, k.expected) << "the named region is not the written rectangle";
        EXPECT_TRUE(drawnAt(scenes[0], k.expected) || drawnAt(scenes[1], k.expected))
            << "the surface has nothing at the written rectangle";
    }
}

TEST(Layout, HitOrderOfTheDefaultView) {
    ViewState st;
    const Scene s = st.draw();
    std::vector<HitKey> expected = {
        {VolumeSlider, 0, true},   {Guide, 0, true},    {SoundSwitch, 0, true}, {SoundSwitch, 1, true},
        {RemoveCurrent, 0, false}, {AddWaves, 0, true}, {Folder, 0, true},      {LibraryRow, 0, true}};
    const std::vector<HitKey> rest = settingsToExport(false, false);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(keysOf(s), expected);
    expectNoOverlap(s);

    // A few positions that every other test relies on.
    EXPECT_EQ(s.hits[0].rect, regions::volumeSlider);
    EXPECT_EQ(button(s, Record).hit.rect, regions::recordButton);
    EXPECT_EQ(s.hits[28].type, Pad);
    EXPECT_EQ(s.hits[28].rect, regions::pad(7)) << "pad 7";
    EXPECT_EQ(button(s, SaveMidi).hit.rect, regions::saveButton);
    EXPECT_EQ(textAt(s, regions::libraryHint), L"Arrastra desde FL Studio");

    // Each field: its caption above, the parameter's display text on its button.
    const struct {
        int parameter;
        Rect field;
        const wchar_t* captionText;
        const wchar_t* value;
    } fields[] = {
        {pTonic, regions::tonicField, L"TONALIDAD", L"C"},
        {pScale, regions::scaleField, L"ESCALA", L"Mayor / Jonico"},
        {pOctave, regions::octaveField, L"OCTAVA", L"0"},
        {pInversion, regions::inversionField, L"INVERSION", L"0"},
        {pSeventh, regions::seventhField, L"TIPO DE 7ma", L"Segun escala"},
        {pNinth, regions::ninthField, L"TIPO DE 9na", L"Segun escala"},
        {pInput, regions::inputField, L"ENTRADA MIDI", L"Teclas / grados de escala"},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(textAt(s, regions::fieldCaption(f.field)), f.captionText);
        const Button b = button(s, Field, f.parameter);
        EXPECT_EQ(label(b), f.value);
        EXPECT_EQ(b.hit.rect, f.field);
    }
    const wchar_t* sizes[] = {L"Tríadas", L"7mas", L"9nas", L"Add9"};
    for (int l = 0; l < 4; ++l) {
        EXPECT_EQ(label(button(s, ChordSize, l)), sizes[l]);
        EXPECT_EQ(active(button(s, ChordSize, l)), l == 2) << "ninth chords by default";
    }
}

TEST(Layout, FixedTextsOfTheSurface) {
    ViewState st;
    const Scene s = st.draw();
    const struct {
        Rect rect;
        const wchar_t* text;
        Font font;
        Colour colour;
        Align align;
    } texts[] = {
        {regions::wordmark, L"velk", Font::font30, c::white, Align::left},
        {regions::edition, L"beta", Font::font22, c::white, Align::left},
        {regions::tagline, L"Tu teclado. Tus acordes. Tu sonido.", Font::font12, c::mutedText, Align::left},
        {regions::version, L"VST2 x64  /  beta 1.3", Font::font12, c::mutedText, Align::right},
        {regions::volumeCaption, L"Volumen", Font::font12, c::mutedText, Align::left},
        {regions::chordCaption, L"ACORDE", Font::font12, c::mutedText, Align::left},
        {regions::libraryTitle, L"ONE SHOTS", Font::font12, c::mutedText, Align::left},
        {regions::chordSizeCaption, L"ACORDES", Font::font12, c::mutedText, Align::left},
        {regions::padsCaption, L"TOCA LOS ACORDES", Font::font12, c::mutedText, Align::left},
        {regions::padsNote, L"9nas incluyen 7ma", Font::font12, c::mutedText, Align::right},
        {regions::recordingTitle, L"GRABAR ACORDES", Font::font17, c::white, Align::left},
        {regions::footer, L"VELK", Font::font12, c::mutedText, Align::right},
    };
    for (const auto& t : texts) {
        const Element* e = textIn(s, t.rect);
        ASSERT_NE(e, nullptr) << "nothing at the place of " << testing::PrintToString(std::wstring(t.text));
        EXPECT_EQ(e->content, t.text);
        EXPECT_EQ(e->font, t.font);
        EXPECT_EQ(e->colour, t.colour);
        EXPECT_EQ(e->align, t.align);
    }
    const struct {
        HitType type;
        int value;
        const wchar_t* label;
        Rect rect;
    } buttons[] = {
        {Guide, 0, L"Guía", regions::guideButton},
        {SoundSwitch, 0, L"Keys", regions::keysButton},
        {SoundSwitch, 1, L"WAV", regions::wavButton},
        {RemoveCurrent, 0, L"Quitar", regions::removeCurrentButton},
        {AddWaves, 0, L"Añadir WAV", regions::addButton},
        {Folder, 0, L"Carpeta", regions::folderButton},
        {LibraryRow, 0, L"VELK Soft Keys", regions::builtInRow(0)},
        {Stop, 0, L"Detener", regions::stopButton},
        {NewTake, 0, L"Nueva toma", regions::newTakeButton},
        {ReleaseNotes, 0, L"Soltar notas", regions::releaseButton},
        {DragMidi, 1, L"Arrastrar MIDI", regions::dragButton},
        {SaveMidi, 0, L"Guardar archivo .mid", regions::saveButton},
    };
    for (const auto& b : buttons) {
        const Button got = button(s, b.type, b.value);
        EXPECT_EQ(label(got), b.label);
        EXPECT_EQ(got.hit.rect, b.rect) << testing::PrintToString(std::wstring(b.label));
        ASSERT_NE(got.box, nullptr);
        EXPECT_EQ(got.box->radius, 16);
        EXPECT_EQ(got.label->font, Font::font14);
        EXPECT_EQ(got.label->align, Align::centre);
    }
}

TEST(Layout, HitOrderWithTenFilesAtScrollSix) {
    ViewState st;
    for (int i = 1; i <= 10; ++i)
        st.files.push_back(L"C:\\one shots\\file" + std::to_wstring(100 + i) + L".wav");
    st.v.scroll = 6;
    st.setUnit(pSound, 1);
    st.loadedWave();
    const Scene s = st.draw();

    std::vector<HitKey> expected = {{VolumeSlider, 0, true}, {Guide, 0, true},         {SoundSwitch, 0, true},
                                    {SoundSwitch, 1, true},  {RemoveCurrent, 0, true}, {AddWaves, 0, true},
                                    {Folder, 0, true}};
    for (int k = 6; k <= 10; ++k)
        expected.insert(expected.end(), {{LibraryRow, k, true}, {RemoveFile, k, true}});
    const std::vector<HitKey> rest = settingsToExport(true, false);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(keysOf(s), expected);
    expectNoOverlap(s);

    // Rows k = 6..10 show the sixth to the tenth file, 28 pixels apart.
    for (int r = 0; r < 5; ++r) {
        const Button row = button(s, LibraryRow, 6 + r);
        EXPECT_EQ(label(row), L"file" + std::to_wstring(106 + r));
        EXPECT_EQ(row.hit.rect, regions::fileRow(r));
        EXPECT_EQ(label(button(s, RemoveFile, 6 + r)), L"×");
        EXPECT_EQ(button(s, RemoveFile, 6 + r).hit.rect, regions::removeFileButton(r));
    }
    EXPECT_EQ(textIn(s, regions::libraryHint), nullptr) << "no empty-library hint";
}

TEST(Layout, LibraryRowsStopAtTheEndOfTheList) {
    struct Case {
        int files;
        int scroll;
        std::vector<int> rows;
    } cases[] = {
        {0, 0, {0}},
        {2, 0, {0, 1, 2}},
        {4, 0, {0, 1, 2, 3, 4}},
        {10, 0, {0, 1, 2, 3, 4}},
        {10, 8, {8, 9, 10}},
        {10, 10, {10}},
        {3, 7, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.files << " files at scroll " << k.scroll);
        ViewState st;
        for (int i = 0; i < k.files; ++i)
            st.files.push_back(L"C:\\w\\f" + std::to_wstring(i) + L".wav");
        st.v.scroll = k.scroll;
        const Scene s = st.draw();
        std::vector<int> rows;
        for (const Hit& h : s.hits)
            if (h.type == LibraryRow) rows.push_back(h.value);
        EXPECT_EQ(rows, k.rows);
    }
}

TEST(Layout, LibraryRowActiveForTheSelectionOrTheLoadedName) {
    ViewState st;
    st.files = {L"C:\\w\\Kick.wav", L"C:\\w\\Snare.wav", L"C:\\w\\Hat.wav"};
    st.loadedWave(); // named "Kick"
    st.v.selection = L"C:\\w\\Hat.wav";
    st.setUnit(pSound, 1);
    Scene s = st.draw();
    EXPECT_FALSE(active(button(s, LibraryRow, 0)));
    EXPECT_TRUE(active(button(s, LibraryRow, 1))) << "the stem equals the loaded sound's name";
    EXPECT_FALSE(active(button(s, LibraryRow, 2)));
    EXPECT_TRUE(active(button(s, LibraryRow, 3))) << "the entry equals the selection";

    st.setUnit(pSound, 0);
    s = st.draw();
    EXPECT_TRUE(active(button(s, LibraryRow, 0))) << "the built-in sound while the synth plays";
    for (int k = 1; k <= 3; ++k)
        EXPECT_FALSE(active(button(s, LibraryRow, k)));
}

TEST(Layout, RecordingPanelFollowsTheTakeAndTheCountIn) {
    using namespace tamso;
    struct Case {
        const char* name;
        bool countIn;
        int seconds;
        TakeState state;
        int notes;
        const wchar_t* status;
        const wchar_t* record;
        bool recordActive, recordEnabled;
        const wchar_t* pause;
        bool pauseActive, busyEnabled; // pause and new take are enabled together
        bool ready;
        const wchar_t* bottom;
        bool playhead;
    } cases[] = {
        {"idle", false, 0, Idle, 0, L"LISTO PARA TOCAR", L"Grabar", false, true, L"Pausa", false, true, false,
         L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
        {"count-in 3", true, 3, Idle, 0, L"PREPARATE  3", L"Cuenta 3", true, false, L"Pausa", false, false,
         false, L"Detener cancela la cuenta previa.", false},
        {"count-in at 0 shows 1", true, 0, Idle, 0, L"PREPARATE  1", L"Cuenta 1", true, false, L"Pausa",
         false, false, false, L"Detener cancela la cuenta previa.", false},
        {"count-in over a finished take", true, 2, Finished, 9, L"PREPARATE  2", L"Cuenta 2", true, false,
         L"Pausa", false, false, false, L"Detener cancela la cuenta previa.", false},
        {"start requested", false, 0, StartRequested, 0, L"GRABANDO", L"Grabando", true, true, L"Pausa",
         false, true, false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", true},
        {"recording", false, 0, Recording, 4, L"GRABANDO", L"Grabando", true, true, L"Pausa", false, true,
         false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", true},
        {"paused", false, 0, Paused, 4, L"EN PAUSA", L"Grabar", false, true, L"Continuar", true, true, false,
         L"La pausa no agrega silencio a la toma.", false},
        {"finished with notes", false, 0, Finished, 4, L"TOMA LISTA", L"Grabar", false, true, L"Pausa", false,
         true, true, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
        {"finished without notes", false, 0, Finished, 0, L"LISTO PARA TOCAR", L"Grabar", false, true,
         L"Pausa", false, true, false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
        {"full", false, 0, Full, 4, L"TOMA LISTA", L"Grabar", false, true, L"Pausa", false, true, true,
         L"Toma llena: exporta antes de grabar otra.", false},
        {"stop requested", false, 0, StopRequested, 4, L"LISTO PARA TOCAR", L"Grabar", false, true, L"Pausa",
         false, true, false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
        {"pause requested", false, 0, PauseRequested, 4, L"LISTO PARA TOCAR", L"Grabar", false, true,
         L"Pausa", false, true, false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
        {"resume requested", false, 0, ResumeRequested, 4, L"LISTO PARA TOCAR", L"Grabar", false, true,
         L"Pausa", false, true, false, L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ViewState st;
        st.v.countIn = k.countIn;
        st.v.shownSeconds = k.seconds;
        st.v.state = k.state;
        st.v.publishedNotes = k.notes;
        st.v.endBeats = 2.0;
        const Scene s = st.draw();

        EXPECT_EQ(textAt(s, regions::takeStatus), k.status);
        const Button record = button(s, Record);
        EXPECT_EQ(label(record), k.record);
        EXPECT_EQ(active(record), k.recordActive);
        EXPECT_EQ(record.hit.enabled, k.recordEnabled);
        EXPECT_EQ(record.label->colour, k.recordEnabled ? c::white : c::mutedText);
        const Button pause = button(s, PauseResume);
        EXPECT_EQ(label(pause), k.pause);
        EXPECT_EQ(active(pause), k.pauseActive);
        EXPECT_EQ(pause.hit.enabled, k.busyEnabled);
        EXPECT_EQ(button(s, NewTake).hit.enabled, k.busyEnabled);
        EXPECT_TRUE(button(s, Stop).hit.enabled);
        EXPECT_TRUE(button(s, ReleaseNotes).hit.enabled);

        const Button dragButton = button(s, DragMidi, 1);
        EXPECT_EQ(dragButton.hit.enabled, k.ready);
        EXPECT_EQ(active(dragButton), k.ready);
        EXPECT_EQ(button(s, SaveMidi).hit.enabled, k.ready);
        EXPECT_EQ(textAt(s, regions::exportHint),
                  k.ready ? L"Todas las notas del acorde" : L"Pulsa Detener para exportar");
        EXPECT_EQ(textAt(s, regions::dragSecondLine), L"al Piano roll");
        EXPECT_EQ(textAt(s, regions::hint), k.bottom);

        EXPECT_EQ(linesFrom(s, c::white, 2).size(), k.playhead ? 1u : 0u) << "playhead";
        const auto countBox = boxesAt(s, regions::countInBox);
        if (k.countIn) {
            ASSERT_EQ(countBox.size(), 1u);
            EXPECT_EQ(countBox[0]->rect, regions::countInBox);
            EXPECT_EQ(countBox[0]->fill, c::accent);
            EXPECT_EQ(countBox[0]->radius, 18);
            EXPECT_EQ(textAt(s, regions::countInNumber), std::to_wstring(std::max(k.seconds, 1)));
            EXPECT_EQ(textIn(s, regions::countInNumber)->font, Font::font30);
            EXPECT_EQ(textAt(s, regions::countInNote), L"Empieza al terminar");
            EXPECT_EQ(textAt(s, regions::takeInfo), L"Cuenta previa: 3 segundos con clics");
        } else {
            EXPECT_TRUE(countBox.empty());
            EXPECT_EQ(textIn(s, regions::countInNote), nullptr);
        }
    }
}

TEST(Layout, InfoLineAndPlayhead) {
    struct Case {
        int notes;
        double beats;
        double tempo;
        bool fromHost;
        const wchar_t* info;
        int playhead; // while recording, from the timeline's left edge
    } cases[] = {
        {12, 9.5, 120.0, true, L"12 notas  /  3:2  /  120 BPM FL", 389},
        {0, 0.0, 120.0, false, L"0 notas  /  1:1  /  120 BPM manual", 0},
        {40, 16.0, 133.7, true, L"40 notas  /  5:1  /  133 BPM FL", 0},
        {7, 15.99, 90.0, false, L"7 notas  /  4:4  /  90 BPM manual", 645},
        {3, 0.3, 300.0, true, L"3 notas  /  1:1  /  300 BPM FL", 10},
        // Values another thread left unusable count as the take's start.
        {3, nan, 120.0, false, L"3 notas  /  1:1  /  120 BPM manual", 0},
        {3, -2.0, 120.0, false, L"3 notas  /  1:1  /  120 BPM manual", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.beats << " beats");
        ViewState st;
        st.v.state = tamso::Recording;
        st.v.publishedNotes = k.notes;
        st.v.endBeats = k.beats;
        st.v.tempo = k.tempo;
        st.v.tempoFromHost = k.fromHost;
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, regions::takeInfo), k.info);
        const auto playhead = linesFrom(s, c::white, 2);
        ASSERT_EQ(playhead.size(), 1u);
        const Rect& t = regions::timeline;
        EXPECT_EQ(playhead[0]->rect, (Rect{t.left + k.playhead, t.top, t.left + k.playhead, t.bottom}));
    }
}

TEST(Layout, TimelineCellsFollowThePicture) {
    ViewState st;
    st.overview[0] = 0x001;  // C
    st.overview[37] = 0x800; // B
    const Scene s = st.draw();
    std::vector<Rect> cells;
    for (const Element& e : s.elements)
        if (e.kind == Element::box && e.radius == 3) cells.push_back(e.rect);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0], (Rect{45, 660, 54, 666})) << "C sits in the bottom row of column 0";
    EXPECT_EQ(cells[1], (Rect{45 + 379, 561, 54 + 379, 567})) << "B sits in the top row of column 37";
    EXPECT_EQ(linesFrom(s, c::border, 1).size(), 4u) << "a bar line every 16 columns";
    EXPECT_EQ(linesFrom(s, c::gridLine, 1).size(), 11u);
}

TEST(Layout, VolumeLevelWidth) {
    const struct {
        double volume;
        int width;
    } cases[] = {{0.0, 3}, {0.02, 3}, {0.03, 4}, {0.5, 68}, {0.65, 88}, {1.0, 136}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.volume);
        ViewState st;
        st.params[pVolume] = k.volume;
        const Scene s = st.draw();
        const auto boxes = boxesAt(s, regions::volumeTrack);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0]->rect, regions::volumeTrack) << "the track";
        EXPECT_EQ(boxes[1]->fill, c::accent);
        EXPECT_EQ(boxes[1]->rect.right - regions::volumeTrack.left, k.width);
    }
}

TEST(Layout, MeterWidth) {
    const struct {
        float meter;
        int width; // 0: no level drawn
    } cases[] = {{2.0f, 208},
                 {1.0f, 208},
                 {0.5f, 104},
                 {0.25f, 52},
                 {0.001f, 0},
                 {0.0f, 0},
                 {-0.5f, 0},
                 {std::numeric_limits<float>::infinity(), 208},
                 {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.meter);
        ViewState st;
        st.v.meter = k.meter;
        const Scene s = st.draw();
        const auto boxes = boxesAt(s, regions::meterTrack);
        ASSERT_EQ(boxes.size(), k.width > 0 ? 2u : 1u);
        EXPECT_EQ(boxes[0]->rect, regions::meterTrack) << "the track";
        if (k.width > 0) {
            EXPECT_EQ(boxes[1]->rect.right - regions::meterTrack.left, k.width);
        }
    }
}

TEST(Layout, SoundPanelFollowsTheSwitchAndTheLoadedSample) {
    const std::wstring hint = L"Arrastra tu WAV desde FL Studio";
    {
        SCOPED_TRACE("synth");
        ViewState st;
        st.loadedWave();
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, regions::soundName), L"VELK Soft Keys");
        EXPECT_EQ(textAt(s, regions::soundHint), hint);
        EXPECT_TRUE(active(button(s, SoundSwitch, 0)));
        EXPECT_FALSE(active(button(s, SoundSwitch, 1)));
        EXPECT_TRUE(linesFrom(s, c::accent, 2).empty()) << "no waveform";
    }
    {
        SCOPED_TRACE("WAV chosen, nothing loaded");
        ViewState st;
        st.setUnit(pSound, 1);
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, regions::soundName), L"Elige un WAV");
        EXPECT_EQ(textAt(s, regions::soundHint), hint);
        EXPECT_FALSE(button(s, RemoveCurrent).hit.enabled);
        EXPECT_TRUE(button(s, WaveRoot).hit.enabled);
        EXPECT_TRUE(button(s, PlayMode).hit.enabled);
        EXPECT_EQ(label(button(s, WaveRoot)), L"Raíz: C4");
        EXPECT_EQ(label(button(s, PlayMode)), L"Seguir tecla");
    }
    {
        SCOPED_TRACE("WAV loaded, whole one-shot");
        ViewState st;
        st.setUnit(pSound, 1);
        st.setUnit(pWholeOneShot, 1);
        st.setUnit(pWaveRoot, 69);
        st.loadedWave();
        st.summary.peaks[0] = 1.0f;
        st.summary.peaks[1] = 0.05f;
        st.summary.peaks[2] = std::numeric_limits<float>::quiet_NaN();
        st.summary.peaks[3] = 1e30f;
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, regions::soundName), L"Kick");
        EXPECT_EQ(textIn(s, regions::soundHint), nullptr);
        EXPECT_TRUE(button(s, RemoveCurrent).hit.enabled);
        EXPECT_EQ(label(button(s, WaveRoot)), L"Raíz: A4");
        EXPECT_EQ(label(button(s, PlayMode)), L"One shot");
        EXPECT_TRUE(active(button(s, PlayMode)));
        const auto wave = linesFrom(s, c::accent, 2);
        ASSERT_EQ(wave.size(), 96u);
        EXPECT_EQ(wave[0]->rect, (Rect{474, 137, 474, 149})) << "a full peak is 12 pixels";
        EXPECT_EQ(wave[1]->rect, (Rect{477, 143, 477, 143})) << "below 2 pixels: 1";
        EXPECT_EQ(wave[2]->rect, (Rect{480, 143, 480, 143})) << "a NaN peak counts as silence";
        EXPECT_EQ(wave[3]->rect, (Rect{483, 131, 483, 155})) << "a wild peak is held to the panel";
        EXPECT_EQ(wave[95]->rect.left, 474 + 3 * 95);
    }
}

TEST(Layout, FileInfoTruncatesNeverRounds) {
    const struct {
        double seconds;
        double rate;
        const wchar_t* text;
    } cases[] = {
        {2.96, 44100.0, L"2.9 s  /  44 kHz"}, {12.345, 48000.0, L"12.3 s  /  48 kHz"},
        {2.6, 22050.0, L"2.6 s  /  22 kHz"},  {9.999, 96000.0, L"9.9 s  /  96 kHz"},
        {0.5, 8000.0, L"0.5 s  /  8 kHz"},    {nan, nan, L"0.0 s  /  0 kHz"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.seconds);
        ViewState st;
        st.setUnit(pSound, 1);
        st.loadedWave(k.seconds, k.rate);
        EXPECT_EQ(textAt(st.draw(), regions::fileInfo), k.text);
    }
}

TEST(Layout, ChordPanelTexts) {
    struct Case {
        int inputMode;
        int chordSize;
        int count;
        int root;
        std::vector<int> sounding;
        const wchar_t* chord;
        const wchar_t* notes;
    } cases[] = {
        {0, 2, 0, -1, {}, L"Toca una tecla", L"A S D F G H J K"},
        {0, 2, 3, -1, {60, 64, 67}, L"Toca una tecla", L"C4 E4 G4"},
        {0, 2, 5, 67, {67, 71, 74, 77, 81}, L"G9", L"G4 B4 D5 F5 A5"},
        {1, 1, 4, 62, {62, 65, 69, 72}, L"Dm7", L"D4 F4 A4 C5"},
        {2, 2, 1, 61, {61}, L"MIDI escrito", L"C#4"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "root " << k.root);
        ViewState st;
        st.setUnit(pInput, k.inputMode);
        st.setUnit(pChords, k.chordSize);
        st.v.soundingCount = k.count;
        st.v.lastChordRoot = k.root;
        for (int n : k.sounding)
            st.v.sounding[n] = true;
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, regions::chordName), k.chord);
        EXPECT_EQ(textAt(s, regions::soundingNotes), k.notes);
    }
}

TEST(Layout, PadCaptions) {
    const wchar_t* letters[] = {L"A", L"S", L"D", L"F", L"G", L"H", L"J", L"K"};
    const wchar_t* degrees[] = {L"I", L"II", L"III", L"IV", L"V", L"VI", L"VII", L"I"};
    const wchar_t* written[] = {L"C4", L"D4", L"E4", L"F4", L"G4", L"A4", L"B4", L"C5"};
    ViewState st;
    st.setUnit(pInput, 2);
    const Scene s = st.draw();
    for (int l = 0; l < 8; ++l) {
        SCOPED_TRACE(l);
        EXPECT_EQ(textAt(s, regions::padKey(l)), letters[l]);
        EXPECT_EQ(textAt(s, regions::padCaption(l)), written[l]) << "input mode 2 shows the notes";
        EXPECT_EQ(textAt(s, regions::padDegree(l)), degrees[l]);
        EXPECT_EQ(s.hits[21 + l].rect, regions::pad(l));
    }

    // Scale degrees in C major with ninth chords name each pad's chord.
    ViewState byDegree;
    const Scene d = byDegree.draw();
    EXPECT_EQ(textAt(d, regions::padCaption(2)), L"Em7(b9)");
    EXPECT_EQ(textAt(d, regions::padCaption(4)), L"G9");
    EXPECT_EQ(textAt(d, regions::padCaption(6)), L"Bm7b5(b9)");
}

TEST(Layout, PressedAndHoveredLooks) {
    ViewState st;
    st.setUnit(pSound, 0);

    // Pressed: one pixel lower, box, label and hit alike, filled with the accent.
    st.v.pressedType = Stop;
    st.v.pressedValue = 0;
    Scene s = st.draw();
    Button stop = button(s, Stop);
    const Rect& at = regions::stopButton;
    EXPECT_EQ(stop.hit.rect, (Rect{at.left, at.top + 1, at.right, at.bottom + 1}));
    ASSERT_NE(stop.box, nullptr);
    EXPECT_EQ(stop.box->fill, c::accent);
    EXPECT_EQ(stop.box->colour, c::border);
    EXPECT_EQ(button(s, Record).hit.rect, regions::recordButton) << "only the pressed button moves";

    // Hovered: the idle hover fill with an accent outline; pressed wins over hover.
    st.v.pressedType = -1;
    st.v.mouse = {350, 520};
    s = st.draw();
    stop = button(s, Stop);
    EXPECT_EQ(stop.box->fill, c::buttonHover);
    EXPECT_EQ(stop.box->colour, c::accent);
    st.v.pressedType = Stop;
    EXPECT_EQ(button(st.draw(), Stop).box->fill, c::accent);

    // An active button under the pointer.
    st.v.pressedType = -1;
    st.v.mouse = {820, 100};
    EXPECT_EQ(button(st.draw(), SoundSwitch, 0).box->fill, c::accentHover);

    // Disabled: never pressed, never hovered, muted text.
    st.v.pressedType = SaveMidi;
    st.v.pressedValue = 0;
    st.v.mouse = {800, 600};
    s = st.draw();
    const Button save = button(s, SaveMidi);
    EXPECT_FALSE(save.hit.enabled);
    EXPECT_EQ(save.hit.rect, regions::saveButton);
    EXPECT_EQ(save.box->fill, c::buttonFace);
    EXPECT_EQ(save.box->colour, c::border);
    EXPECT_EQ(save.label->colour, c::mutedText);

    // Pads are no buttons: pressed, they stay in place; hovered, their fill
    // moves 40 % towards the accent.
    st.v.pressedType = Pad;
    st.v.pressedValue = 0;
    st.v.mouse = {300, 400};
    s = st.draw();
    const auto pad = boxesAt(s, regions::pad(0));
    ASSERT_EQ(pad.size(), 1u);
    EXPECT_EQ(pad[0]->fill, rgb(25, 70, 51));
    EXPECT_EQ(s.hits[21].type, Pad);
    EXPECT_EQ(s.hits[21].rect, regions::pad(0));

    // A pressed drag button moves; its second line stays.
    st.v.state = tamso::Finished;
    st.v.publishedNotes = 3;
    st.v.pressedType = DragMidi;
    st.v.pressedValue = 1;
    s = st.draw();
    EXPECT_EQ(button(s, DragMidi, 1).hit.rect.top, regions::dragButton.top + 1);
    EXPECT_EQ(textAt(s, regions::dragSecondLine), L"al Piano roll");
}

TEST(Layout, RecordButtonPulsesOnlyWhileActive) {
    ViewState st;
    st.v.state = tamso::Recording;
    const Colour a = button(st.draw(), Record).box->fill;
    st.v.milliseconds = 260.0 * 3.14159265358979 / 2.0; // the pulse at its strongest
    const Colour b = button(st.draw(), Record).box->fill;
    EXPECT_NE(a, b);
    for (Colour fill : {a, b}) {
        EXPECT_GE(green(fill), green(c::accent));
        EXPECT_LE(green(fill), green(c::accentHover));
    }
    st.v.state = tamso::Idle;
    EXPECT_EQ(button(st.draw(), Record).box->fill, c::buttonFace);
}

TEST(Layout, DropHoverLooks) {
    ViewState st;
    Scene s = st.draw();
    for (const Rect& panel : {regions::soundPanel, regions::libraryPanel}) {
        const auto boxes = boxesAt(s, panel);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes[0]->rect, panel);
        EXPECT_EQ(boxes[0]->fill, c::panelFill);
        EXPECT_EQ(boxes[0]->colour, c::border);
    }
    EXPECT_EQ(textAt(s, regions::soundTitle), L"SONIDO");

    st.v.dropHover = true;
    s = st.draw();
    for (const Rect& panel : {regions::soundPanel, regions::libraryPanel}) {
        const auto boxes = boxesAt(s, panel);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes[0]->fill, c::buttonFace);
        EXPECT_EQ(boxes[0]->colour, c::accentHover);
    }
    EXPECT_EQ(textAt(s, regions::soundTitle), L"SUELTA TU WAV AQUI");
    EXPECT_EQ(boxesAt(s, regions::chordPanel)[0]->fill, c::panelFill) << "the chord panel never lights";
}

} // namespace
