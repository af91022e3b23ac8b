// The surface as data: which regions a click can reach and in what order, and
// what each panel shows for the states of the take, the count-in, the sound,
// the library and the pointer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "editor/layout.hpp"
#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
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

const Element* textIn(const Scene& s, Rect r) {
    for (const Element& e : s.elements)
        if (e.kind == Element::text && e.rect == r) return &e;
    return nullptr;
}

std::wstring textAt(const Scene& s, Rect r) {
    const Element* e = textIn(s, r);
    return e ? e->content : L"<nothing>";
}

std::vector<const Element*> boxesAt(const Scene& s, int x, int y) {
    std::vector<const Element*> out;
    for (const Element& e : s.elements)
        if (e.kind == Element::box && e.rect.left == x && e.rect.top == y) out.push_back(&e);
    return out;
}

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

Button button(const Scene& s, int type, int value = 0) {
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
    int type;
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
    EXPECT_EQ(s.hits[0].rect, (Rect{700, 38, 836, 63}));
    EXPECT_EQ(button(s, Record).hit.rect, (Rect{44, 502, 168, 542}));
    EXPECT_EQ(s.hits[28].type, Pad);
    EXPECT_EQ(s.hits[28].rect, (Rect{877, 385, 954, 426})) << "pad 7";
    EXPECT_EQ(button(s, SaveMidi).hit.rect, (Rect{724, 581, 932, 617}));
    EXPECT_EQ(textAt(s, {40, 282, 264, 330}), L"Arrastra desde FL Studio");

    // Each field: its caption above, the parameter's display text on its button.
    const struct {
        int parameter;
        Rect caption;
        const wchar_t* captionText;
        const wchar_t* value;
    } fields[] = {
        {pTonic, {296, 180, 390, 196}, L"TONALIDAD", L"C"},
        {pScale, {406, 180, 676, 196}, L"ESCALA", L"Mayor / Jonico"},
        {pOctave, {692, 180, 804, 196}, L"OCTAVA", L"0"},
        {pInversion, {820, 180, 956, 196}, L"INVERSION", L"0"},
        {pSeventh, {296, 303, 476, 319}, L"TIPO DE 7ma", L"Segun escala"},
        {pNinth, {492, 303, 672, 319}, L"TIPO DE 9na", L"Segun escala"},
        {pInput, {688, 303, 956, 319}, L"ENTRADA MIDI", L"Teclas / grados de escala"},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(textAt(s, f.caption), f.captionText);
        const Button b = button(s, Field, f.parameter);
        EXPECT_EQ(label(b), f.value);
        EXPECT_EQ(b.hit.rect.left, f.caption.left);
        EXPECT_EQ(b.hit.rect.top, f.caption.bottom + 4);
        EXPECT_EQ(b.hit.rect.right, f.caption.right);
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
        {{58, 16, 168, 60}, L"velk", Font::font30, c::white, Align::left},
        {{190, 19, 550, 47}, L"beta", Font::font22, c::white, Align::left},
        {{190, 47, 570, 67}, L"Tu teclado. Tus acordes. Tu sonido.", Font::font12, c::mutedText, Align::left},
        {{650, 17, 836, 35}, L"VST2 x64  /  beta 1.3", Font::font12, c::mutedText, Align::right},
        {{620, 42, 695, 62}, L"Volumen", Font::font12, c::mutedText, Align::left},
        {{40, 92, 150, 109}, L"ACORDE", Font::font12, c::mutedText, Align::left},
        {{40, 181, 192, 199}, L"ONE SHOTS", Font::font12, c::mutedText, Align::left},
        {{296, 240, 956, 256}, L"ACORDES", Font::font12, c::mutedText, Align::left},
        {{296, 364, 726, 380}, L"TOCA LOS ACORDES", Font::font12, c::mutedText, Align::left},
        {{740, 364, 956, 380}, L"9nas incluyen 7ma", Font::font12, c::mutedText, Align::right},
        {{44, 461, 424, 489}, L"GRABAR ACORDES", Font::font17, c::white, Align::left},
        {{710, 718, 956, 736}, L"VELK", Font::font12, c::mutedText, Align::right},
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
        int type;
        int value;
        const wchar_t* label;
        Rect rect;
    } buttons[] = {
        {Guide, 0, L"Guía", {862, 23, 956, 57}},
        {SoundSwitch, 0, L"Keys", {808, 95, 870, 123}},
        {SoundSwitch, 1, L"WAV", {878, 95, 940, 123}},
        {RemoveCurrent, 0, L"Quitar", {204, 179, 264, 201}},
        {AddWaves, 0, L"Añadir WAV", {40, 207, 144, 237}},
        {Folder, 0, L"Carpeta", {154, 207, 264, 237}},
        {LibraryRow, 0, L"VELK Soft Keys", {40, 247, 264, 272}},
        {Stop, 0, L"Detener", {297, 502, 402, 542}},
        {NewTake, 0, L"Nueva toma", {414, 502, 540, 542}},
        {ReleaseNotes, 0, L"Soltar notas", {552, 502, 700, 542}},
        {DragMidi, 1, L"Arrastrar MIDI", {724, 502, 932, 568}},
        {SaveMidi, 0, L"Guardar archivo .mid", {724, 581, 932, 617}},
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
        EXPECT_EQ(row.hit.rect, (Rect{40, 247 + 28 * r, 230, 272 + 28 * r}));
        EXPECT_EQ(label(button(s, RemoveFile, 6 + r)), L"×");
    }
    EXPECT_EQ(textIn(s, {40, 282, 264, 330}), nullptr) << "no empty-library hint";
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
        int state;
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

        EXPECT_EQ(textAt(s, {630, 461, 932, 487}), k.status);
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
        EXPECT_EQ(textAt(s, {724, 626, 932, 648}),
                  k.ready ? L"Todas las notas del acorde" : L"Pulsa Detener para exportar");
        EXPECT_EQ(textAt(s, {724, 546, 932, 564}), L"al Piano roll");
        EXPECT_EQ(textAt(s, {24, 718, 714, 736}), k.bottom);

        EXPECT_EQ(linesFrom(s, c::white, 2).size(), k.playhead ? 1u : 0u) << "playhead";
        const auto countBox = boxesAt(s, 312, 573);
        if (k.countIn) {
            ASSERT_EQ(countBox.size(), 1u);
            EXPECT_EQ(countBox[0]->rect, (Rect{312, 573, 432, 639}));
            EXPECT_EQ(countBox[0]->fill, c::accent);
            EXPECT_EQ(countBox[0]->radius, 18);
            EXPECT_EQ(textAt(s, {312, 574, 432, 626}), std::to_wstring(std::max(k.seconds, 1)));
            EXPECT_EQ(textIn(s, {312, 574, 432, 626})->font, Font::font30);
            EXPECT_EQ(textAt(s, {220, 645, 524, 663}), L"Empieza al terminar");
            EXPECT_EQ(textAt(s, {44, 677, 700, 700}), L"Cuenta previa: 3 segundos con clics");
        } else {
            EXPECT_TRUE(countBox.empty());
            EXPECT_EQ(textIn(s, {220, 645, 524, 663}), nullptr);
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
        int playheadX; // while recording
    } cases[] = {
        {12, 9.5, 120.0, true, L"12 notas  /  3:2  /  120 BPM FL", 44 + 389},
        {0, 0.0, 120.0, false, L"0 notas  /  1:1  /  120 BPM manual", 44},
        {40, 16.0, 133.7, true, L"40 notas  /  5:1  /  133 BPM FL", 44},
        {7, 15.99, 90.0, false, L"7 notas  /  4:4  /  90 BPM manual", 44 + 645},
        {3, 0.3, 300.0, true, L"3 notas  /  1:1  /  300 BPM FL", 54},
        // Values another thread left unusable count as the take's start.
        {3, nan, 120.0, false, L"3 notas  /  1:1  /  120 BPM manual", 44},
        {3, -2.0, 120.0, false, L"3 notas  /  1:1  /  120 BPM manual", 44},
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
        EXPECT_EQ(textAt(s, {44, 677, 700, 700}), k.info);
        const auto playhead = linesFrom(s, c::white, 2);
        ASSERT_EQ(playhead.size(), 1u);
        EXPECT_EQ(playhead[0]->rect, (Rect{k.playheadX, 558, k.playheadX, 670}));
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
        const auto boxes = boxesAt(s, 700, 50);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0]->rect.right - 700, 136) << "the track";
        EXPECT_EQ(boxes[1]->fill, c::accent);
        EXPECT_EQ(boxes[1]->rect.right - 700, k.width);
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
        const auto boxes = boxesAt(s, 724, 664);
        ASSERT_EQ(boxes.size(), k.width > 0 ? 2u : 1u);
        if (k.width > 0) {
            EXPECT_EQ(boxes[1]->rect.right - 724, k.width);
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
        EXPECT_EQ(textAt(s, {474, 110, 780, 135}), L"VELK Soft Keys");
        EXPECT_EQ(textAt(s, {474, 135, 914, 151}), hint);
        EXPECT_TRUE(active(button(s, SoundSwitch, 0)));
        EXPECT_FALSE(active(button(s, SoundSwitch, 1)));
        EXPECT_TRUE(linesFrom(s, c::accent, 2).empty()) << "no waveform";
    }
    {
        SCOPED_TRACE("WAV chosen, nothing loaded");
        ViewState st;
        st.setUnit(pSound, 1);
        const Scene s = st.draw();
        EXPECT_EQ(textAt(s, {474, 110, 780, 135}), L"Elige un WAV");
        EXPECT_EQ(textAt(s, {474, 135, 914, 151}), hint);
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
        EXPECT_EQ(textAt(s, {474, 110, 780, 135}), L"Kick");
        EXPECT_EQ(textIn(s, {474, 135, 914, 151}), nullptr);
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
        EXPECT_EQ(textAt(st.draw(), {790, 130, 940, 147}), k.text);
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
        EXPECT_EQ(textAt(s, {40, 112, 245, 143}), k.chord);
        EXPECT_EQ(textAt(s, {236, 111, 428, 141}), k.notes);
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
        const int x0 = 296 + 83 * l;
        EXPECT_EQ(textAt(s, {x0 + 5, 387, x0 + 21, 404}), letters[l]);
        EXPECT_EQ(textAt(s, {x0 + 5, 405, x0 + 72, 423}), written[l]) << "input mode 2 shows the notes";
        EXPECT_EQ(textAt(s, {x0 + 46, 387, x0 + 70, 403}), degrees[l]);
    }

    // Scale degrees in C major with ninth chords name each pad's chord.
    ViewState byDegree;
    const Scene d = byDegree.draw();
    EXPECT_EQ(textAt(d, {462 + 5, 405, 462 + 72, 423}), L"Em7(b9)");
    EXPECT_EQ(textAt(d, {628 + 5, 405, 628 + 72, 423}), L"G9");
    EXPECT_EQ(textAt(d, {794 + 5, 405, 794 + 72, 423}), L"Bm7b5(b9)");
}

TEST(Layout, PressedAndHoveredLooks) {
    ViewState st;
    st.setUnit(pSound, 0);

    // Pressed: one pixel lower, box, label and hit alike, filled with the accent.
    st.v.pressedType = Stop;
    st.v.pressedValue = 0;
    Scene s = st.draw();
    Button stop = button(s, Stop);
    EXPECT_EQ(stop.hit.rect, (Rect{297, 503, 402, 543}));
    ASSERT_NE(stop.box, nullptr);
    EXPECT_EQ(stop.box->fill, c::accent);
    EXPECT_EQ(stop.box->colour, c::border);
    EXPECT_EQ(button(s, Record).hit.rect.top, 502) << "only the pressed button moves";

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
    EXPECT_EQ(save.hit.rect.top, 581);
    EXPECT_EQ(save.box->fill, c::buttonFace);
    EXPECT_EQ(save.box->colour, c::border);
    EXPECT_EQ(save.label->colour, c::mutedText);

    // Pads are no buttons: pressed, they stay in place; hovered, their fill
    // moves 40 % towards the accent.
    st.v.pressedType = Pad;
    st.v.pressedValue = 0;
    st.v.mouse = {300, 400};
    s = st.draw();
    const auto pad = boxesAt(s, 296, 385);
    ASSERT_EQ(pad.size(), 1u);
    EXPECT_EQ(pad[0]->fill, rgb(25, 70, 51));
    EXPECT_EQ(s.hits[21].type, Pad);
    EXPECT_EQ(s.hits[21].rect.top, 385);

    // A pressed drag button moves; its second line stays.
    st.v.state = tamso::Finished;
    st.v.publishedNotes = 3;
    st.v.pressedType = DragMidi;
    st.v.pressedValue = 1;
    s = st.draw();
    EXPECT_EQ(button(s, DragMidi, 1).hit.rect.top, 503);
    EXPECT_EQ(textAt(s, {724, 546, 932, 564}), L"al Piano roll");
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
    for (auto [x, y] : {std::pair{456, 84}, std::pair{24, 172}}) {
        const auto boxes = boxesAt(s, x, y);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes[0]->fill, c::panelFill);
        EXPECT_EQ(boxes[0]->colour, c::border);
    }
    EXPECT_EQ(textAt(s, {474, 91, 694, 108}), L"SONIDO");

    st.v.dropHover = true;
    s = st.draw();
    for (auto [x, y] : {std::pair{456, 84}, std::pair{24, 172}}) {
        const auto boxes = boxesAt(s, x, y);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes[0]->fill, c::buttonFace);
        EXPECT_EQ(boxes[0]->colour, c::accentHover);
    }
    EXPECT_EQ(textAt(s, {474, 91, 694, 108}), L"SUELTA TU WAV AQUI");
    EXPECT_EQ(boxesAt(s, 24, 84)[0]->fill, c::panelFill) << "the chord panel never lights";
}

// ---- what a paint pass carries from one pass to the next ----

using edtest::EditorTest;
using PaintPass = EditorTest;

const Element* padBox(const Scene& s, int pad) {
    const auto boxes = boxesAt(s, 296 + 83 * pad, 385);
    return boxes.empty() ? nullptr : boxes[0];
}

TEST_F(PaintPass, PadGlowEasesTowardsTheKey) {
    handle([](Editor& e) { e.keyPressed('A', false, false); });
    const double rising[] = {0.35, 0.5775, 0.725375};
    for (double expected : rising) {
        const Scene& s = editor->frame(0);
        EXPECT_NEAR(editor->glow[0], expected, 1e-12);
        EXPECT_EQ(padBox(s, 0)->colour, c::accent) << "lit from the first pass";
        EXPECT_EQ(padBox(s, 1)->fill, c::buttonFace);
        EXPECT_EQ(padBox(s, 1)->colour, c::border);
    }
    // The fill at glow 0.35: RGB(24 + 4g, 35 + 89g, 29 + 55g), truncated.
    editor->glow[0] = 0.0;
    EXPECT_EQ(padBox(editor->frame(0), 0)->fill, rgb(25, 66, 48));

    handle([](Editor& e) { e.keyReleased('A'); });
    double g = editor->glow[0];
    for (int pass = 1; pass <= 5; ++pass) {
        g *= 0.65;
        const Scene& s = editor->frame(0);
        EXPECT_NEAR(editor->glow[0], g, 1e-12);
        EXPECT_EQ(padBox(s, 0)->colour, g > 0.1 ? c::accent : c::border) << "pass " << pass;
    }
}

TEST_F(PaintPass, PadLightsForAChordOnItsRootFromElsewhere) {
    plugin->engine.lastChordRoot.store(67); // a host note sounds a chord on G
    plugin->engine.soundingCount.store(5);
    paint();
    EXPECT_NEAR(editor->glow[4], 0.35, 1e-12);
    EXPECT_EQ(editor->glow[3], 0.0);
    plugin->engine.soundingCount.store(0);
    paint();
    EXPECT_NEAR(editor->glow[4], 0.35 * 0.65, 1e-12);
}

TEST_F(PaintPass, MeterJumpsToPeaksAndDecays) {
    auto width = [&]() {
        const auto boxes = boxesAt(editor->frame(0), 724, 664);
        return boxes.size() == 2 ? boxes[1]->rect.right - 724 : 0;
    };
    plugin->engine.peak.store(1.0f);
    EXPECT_EQ(width(), 208);
    plugin->engine.peak.store(0.0f);
    // After a peak of 1 and silence: 208 * 0.83^n, truncated.
    for (int expected : {172, 143, 118, 98, 81})
        EXPECT_EQ(width(), expected);
    plugin->engine.peak.store(0.5f);
    EXPECT_EQ(width(), 104) << "a new peak above the falling level";
    plugin->engine.peak.store(1.5f);
    EXPECT_EQ(width(), 208) << "a peak above 1 fills the meter";
    plugin->engine.peak.store(0.0f);
    EXPECT_EQ(width(), 208) << "1.245 is still above 1";
    plugin->engine.peak.store(std::numeric_limits<float>::quiet_NaN());
    const float before = editor->meter;
    width();
    EXPECT_TRUE(std::isfinite(editor->meter)) << "a NaN peak never sticks in the meter";
    EXPECT_LT(editor->meter, before);
}

} // namespace
