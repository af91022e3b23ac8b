// The editor's surface, panel by panel, in drawing order. Every clickable
// element registers its hit as it is laid out, so a click can only reach what
// the last pass drew.
#include "editor/layout.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "chords/midi_capture.hpp"
#include "chords/names.hpp"
#include "editor/key_tables.hpp"
#include "editor/menu.hpp"
#include "editor/regions.hpp"
#include "plugin/sound/voicing.hpp"
#include "plugin/text/windows_path.hpp"

namespace palmtone {

namespace c = colours;
namespace r = regions;

bool takeReady(const View& v) noexcept {
    return !v.countIn && (v.state == tamso::Finished || v.state == tamso::Full) && v.publishedNotes > 0;
}

int32_t clampScroll(int32_t scroll, size_t entries) noexcept {
    // No further than the last entry in the bottom row, row 0 being the built-in sound.
    const size_t below = libraryRows - 1;
    const int32_t last = entries > below ? static_cast<int32_t>(entries - below) : 0;
    return std::clamp(scroll, 0, last);
}

namespace {

// A double from another thread as a whole number: non-finite counts as 0 and the
// value is held inside limit before truncation.
int64_t wholePart(double x, double limit) noexcept {
    if (!std::isfinite(x)) return 0;
    return static_cast<int64_t>(std::clamp(x, -limit, limit));
}

std::wstring number(int64_t n) {
    return std::to_wstring(n);
}

// A colour moved the share k of its way from `from` to `to`, channel by channel.
Colour blend(Colour from, Colour to, double k) noexcept {
    auto channel = [k](int a, int b) { return static_cast<int>(a + (b - a) * k); };
    return rgb(channel(red(from), red(to)), channel(green(from), green(to)), channel(blue(from), blue(to)));
}

// Builds one pass: the four drawing operations every panel uses.
class Builder {
  public:
    Builder(const View& view, Scene& scene) : v(view), s(scene) {}

    void box(Rect rect, Colour fill, Colour outline, int radius) {
        if (rect.width() <= 0 || rect.height() <= 0) return;
        Element e;
        e.kind = Element::box;
        e.rect = rect;
        e.fill = fill;
        e.colour = outline;
        e.radius = radius;
        s.elements.push_back(std::move(e));
    }

    void text(Rect r, std::wstring content, Font font, Colour colour, Align align = Align::left) {
        Element e;
        e.kind = Element::text;
        e.rect = r;
        e.colour = colour;
        e.font = font;
        e.align = align;
        e.content = std::move(content);
        s.elements.push_back(std::move(e));
    }

    void line(int x1, int y1, int x2, int y2, Colour colour, int width) {
        Element e;
        e.kind = Element::line;
        e.rect = {x1, y1, x2, y2};
        e.colour = colour;
        e.radius = width;
        s.elements.push_back(std::move(e));
    }

    void logo() {
        Element e;
        e.kind = Element::logo;
        e.rect = r::logo;
        e.fill = c::accent;
        e.colour = c::accent;
        s.elements.push_back(std::move(e));
    }

    void hit(Rect r, HitType type, int value, bool enabled) {
        s.hits.push_back(Hit{r, type, value, enabled});
    }

    void button(std::wstring content, HitType type, int value, Rect at, bool active, bool enabled) {
        const bool hover = enabled && at.contains(v.mouse);
        const bool pressed = enabled && v.pressedType == type && v.pressedValue == value;
        Colour fill = enabled && hover ? (active ? c::accentHover : c::buttonHover)
                                       : (active ? c::accent : c::buttonFace);
        const Colour outline = active || hover ? c::accent : c::border;
        if (type == Record && active) fill = pulse(fill);
        const int p = pressed ? 1 : 0;
        if (pressed) fill = c::accent;
        const Rect shown{at.left, at.top + p, at.right, at.bottom + p};
        box(shown, fill, outline, 16);
        text({shown.left + 6, shown.top, shown.right - 6, shown.bottom}, std::move(content), Font::font14,
             enabled ? c::white : c::mutedText, Align::centre);
        hit(shown, type, value, enabled);
    }

    void field(int parameter, Rect at, const wchar_t* caption) {
        text(r::fieldCaption(at), caption, Font::font12, c::mutedText);
        const double value = isParamIndex(parameter) ? v.params[parameter] : 0.0;
        button(widen(display(parameter, value)), Field, parameter, at, false, true);
    }

  private:
    // The record button's fill drifts towards accentHover and back, about every 1.6 s.
    Colour pulse(Colour fill) const noexcept {
        const double k = 0.12 + 0.12 * std::sin(v.milliseconds / 260.0);
        return blend(fill, c::accentHover, k);
    }

    const View& v;
    Scene& s;
};

void header(const View& v, Builder& b) {
    b.logo();
    b.text(r::wordmark, L"velk", Font::font30, c::white);
    b.text(r::edition, L"beta", Font::font22, c::white);
    b.text(r::tagline, L"Tu teclado. Tus acordes. Tu sonido.", Font::font12, c::mutedText);
    b.text(r::version, L"VST2 x64  /  beta 1.3", Font::font12, c::mutedText, Align::right);
    b.text(r::volumeCaption, L"Volumen", Font::font12, c::mutedText);
    const Rect& track = r::volumeTrack;
    b.box(track, c::border, c::border, 10);
    const double full = track.width();
    int level = static_cast<int>(wholePart(v.settings.volume * full, full));
    if (level < 4) level = 3;
    b.box(sized(track.left, track.top, level, track.height()), c::accent, c::accent, 10);
    b.hit(r::volumeSlider, VolumeSlider, 0, true);
    b.button(L"Guía", Guide, 0, r::guideButton, false, true);
}

void chordPanel(const View& v, Builder& b) {
    b.box(r::chordPanel, c::panelFill, c::border, 10);
    b.text(r::chordCaption, L"ACORDE", Font::font12, c::mutedText);
    std::wstring chord;
    if (v.settings.inputMode == inputAsWritten)
        chord = L"MIDI escrito";
    else if (v.soundingCount <= 0 || v.lastChordRoot < 0)
        chord = L"Toca una tecla";
    else
        chord = widen(tamso::chordName(v.lastChordRoot, v.settings.config));
    b.text(r::chordName, std::move(chord), Font::font22, c::white);
    std::wstring sounding;
    for (int n = 0; n < 128; ++n) {
        if (!v.sounding[n]) continue;
        if (!sounding.empty()) sounding += L' ';
        sounding += widen(tamso::noteName(n));
    }
    if (sounding.empty()) sounding = L"A S D F G H J K";
    b.text(r::soundingNotes, std::move(sounding), Font::font12, c::white, Align::right);
}

bool waveLoaded(const View& v) noexcept {
    return v.summary && v.summary->frames != 0;
}

void panelBox(const View& v, Builder& b, Rect panel) {
    b.box(panel, v.dropHover ? c::buttonFace : c::panelFill, v.dropHover ? c::accentHover : c::border, 10);
}

// "2.6 s  /  44 kHz": the seconds cut (never rounded) to one decimal.
std::wstring fileInfo(const SampleSummary& summary) {
    const double seconds = std::isfinite(summary.seconds) ? std::clamp(summary.seconds, 0.0, 9999.0) : 0.0;
    const std::wstring text = std::to_wstring(seconds);
    const std::wstring shown = text.substr(0, seconds < 10.0 ? 3 : 4);
    return shown + L" s  /  " + number(wholePart(summary.sampleRate / 1000.0, 1e6)) + L" kHz";
}

void soundSection(const View& v, Builder& b) {
    panelBox(v, b, r::soundPanel);
    b.text(r::soundTitle, v.dropHover ? L"SUELTA TU WAV AQUI" : L"SONIDO", Font::font12, c::mutedText);
    const bool loaded = waveLoaded(v);
    std::wstring name = !v.settings.useWave ? widen(builtInSound)
                        : loaded            ? v.summary->name
                                            : std::wstring(L"Elige un WAV");
    b.text(r::soundName, std::move(name), Font::font17, c::white);
    b.button(L"Keys", SoundSwitch, 0, r::keysButton, !v.settings.useWave, true);
    b.button(L"WAV", SoundSwitch, 1, r::wavButton, v.settings.useWave, true);
    if (v.settings.useWave && loaded) {
        for (int i = 0; i < static_cast<int>(std::size(v.summary->peaks)); ++i) {
            const float peak = v.summary->peaks[i];
            int h = static_cast<int>(wholePart(static_cast<float>(peak * 12.0f), 24.0));
            if (h < 2) h = 1;
            const int x = r::waveformLeft + r::waveformStep * i;
            b.line(x, r::waveformMiddle - h / 2, x, r::waveformMiddle + h / 2, c::accent, 2);
        }
        b.text(r::fileInfo, fileInfo(*v.summary), Font::font12, c::mutedText, Align::right);
    } else {
        b.text(r::soundHint, L"Arrastra tu WAV desde FL Studio", Font::font12, c::mutedText);
    }
}

void librarySection(const View& v, Builder& b) {
    panelBox(v, b, r::libraryPanel);
    b.text(r::libraryTitle, L"ONE SHOTS", Font::font12, c::mutedText);
    const bool loaded = waveLoaded(v);
    b.button(L"Quitar", RemoveCurrent, 0, r::removeCurrentButton, false, loaded);
    b.button(L"Añadir WAV", AddWaves, 0, r::addButton, false, true);
    b.button(L"Carpeta", Folder, 0, r::folderButton, false, true);

    static const std::vector<std::wstring> none;
    const std::vector<std::wstring>& files = v.library ? *v.library : none;
    for (int row = 0; row < libraryRows; ++row) {
        const int64_t k = static_cast<int64_t>(v.scroll) + row;
        if (k < 0 || k > static_cast<int64_t>(files.size())) break;
        if (k == 0) {
            b.button(widen(builtInSound), LibraryRow, 0, r::builtInRow(row), !v.settings.useWave, true);
            continue;
        }
        const std::wstring& entry = files[static_cast<size_t>(k - 1)];
        std::wstring stem = winpath::stem(entry);
        const bool current =
            v.settings.useWave && (entry == v.selection || (v.summary && stem == v.summary->name));
        b.button(std::move(stem), LibraryRow, static_cast<int>(k), r::fileRow(row), current, true);
        b.button(L"×", RemoveFile, static_cast<int>(k), r::removeFileButton(row), false, true);
    }
    if (files.empty())
        b.text(r::libraryHint, L"Arrastra desde FL Studio", Font::font12, c::mutedText, Align::centre);

    const int root = unitValue(pWaveRoot, v.params[pWaveRoot]);
    b.button(L"Raíz: " + widen(tamso::noteName(root)), WaveRoot, 0, r::rootButton, false, v.settings.useWave);
    b.button(v.settings.wholeOneShot ? L"One shot" : L"Seguir tecla", PlayMode, 0, r::playModeButton,
             v.settings.wholeOneShot, v.settings.useWave);
}

void settingsArea(const View& v, Builder& b) {
    b.field(pTonic, r::tonicField, L"TONALIDAD");
    b.field(pScale, r::scaleField, L"ESCALA");
    b.field(pOctave, r::octaveField, L"OCTAVA");
    b.field(pInversion, r::inversionField, L"INVERSION");
    b.text(r::chordSizeCaption, L"ACORDES", Font::font12, c::mutedText);
    static const wchar_t* const sizes[4] = {L"Tríadas", L"7mas", L"9nas", L"Add9"};
    const int size = unitValue(pChords, v.params[pChords]);
    for (int l = 0; l < 4; ++l)
        b.button(sizes[l], ChordSize, l, r::chordSizeButton(l), l == size, true);
    b.field(pSeventh, r::seventhField, L"TIPO DE 7ma");
    b.field(pNinth, r::ninthField, L"TIPO DE 9na");
    b.field(pInput, r::inputField, L"ENTRADA MIDI");
    b.text(r::padsCaption, L"TOCA LOS ACORDES", Font::font12, c::mutedText);
    b.text(r::padsNote, L"9nas incluyen 7ma", Font::font12, c::mutedText, Align::right);
}

void pads(const View& v, Builder& b) {
    for (int l = 0; l < padCount; ++l) {
        const Rect at = r::pad(l);
        const tamso::Chord chord = voicing(notes[l], v.settings);
        const double g = std::isfinite(v.glow[l]) ? std::clamp(v.glow[l], 0.0, 1.0) : 0.0;
        // The glow moves the pad's fill from the button face towards the
        // accent; the pointer over the pad, four tenths of the rest of the way.
        Colour fill = blend(c::buttonFace, c::accent, g);
        if (at.contains(v.mouse)) fill = blend(fill, c::accent, 0.4);
        b.box(at, fill, g > 0.1 ? c::accent : c::border, 10);
        b.text(r::padKey(l), std::wstring(1, static_cast<wchar_t>(keys[l])), Font::font12, c::white);
        const std::string caption = v.settings.inputMode == inputAsWritten
                                        ? tamso::noteName(notes[l])
                                        : tamso::chordName(chord.root, v.settings.config);
        b.text(r::padCaption(l), widen(caption), Font::font12, c::white, Align::centre);
        b.text(r::padDegree(l), degrees[l], Font::font12, c::mutedText, Align::right);
        b.hit(at, Pad, l, true);
    }
}

bool recording(const View& v) noexcept {
    return v.state == tamso::StartRequested || v.state == tamso::Recording;
}

void recordingPanel(const View& v, Builder& b) {
    const bool countIn = v.countIn;
    const bool paused = v.state == tamso::Paused;
    const bool ready = takeReady(v);
    const std::wstring shown = number(std::max(v.shownSeconds, 1));
    b.box(r::recordingPanel, c::panelFill, c::border, 10);
    b.text(r::recordingTitle, L"GRABAR ACORDES", Font::font17, c::white);
    std::wstring status = countIn        ? L"PREPARATE  " + shown
                          : recording(v) ? L"GRABANDO"
                          : paused       ? L"EN PAUSA"
                          : ready        ? L"TOMA LISTA"
                                         : L"LISTO PARA TOCAR";
    b.text(r::takeStatus, std::move(status), Font::font14, c::white, Align::right);
    b.button(countIn        ? L"Cuenta " + shown
             : recording(v) ? L"Grabando"
                            : L"Grabar",
             Record, 0, r::recordButton, recording(v) || countIn, !countIn);
    b.button(paused ? L"Continuar" : L"Pausa", PauseResume, 0, r::pauseButton, paused, !countIn);
    b.button(L"Detener", Stop, 0, r::stopButton, false, true);
    b.button(L"Nueva toma", NewTake, 0, r::newTakeButton, false, !countIn);
    b.button(L"Soltar notas", ReleaseNotes, 0, r::releaseButton, false, true);

    // The timeline: its columns of 12 pitch classes, C at the bottom.
    const Rect& t = r::timeline;
    b.box(t, c::windowBackground, c::border, 8);
    for (int y = r::gridTop; y <= r::gridBottom; y += r::rowHeight)
        b.line(t.left, y, t.right, y, c::gridLine, 1);
    for (int i = 0; i < r::timelineColumns; ++i) {
        const int x = t.left + r::columnOffset(i);
        if (i % (r::columnsPerBeat * r::beatsPerBar) == 0) b.line(x, t.top, x, t.bottom, c::border, 1);
        const uint16_t bits = v.overview ? v.overview[i] : 0;
        for (int p = 0; p < 12; ++p)
            if (bits & (1u << p)) b.box(r::cell(i, p), c::accent, c::accent, 3);
    }
    const double beats = std::isfinite(v.endBeats) ? std::clamp(v.endBeats, 0.0, 1e12) : 0.0;
    if (!countIn && recording(v)) {
        const int64_t column =
            wholePart(r::columnsPerBeat * beats, r::columnsPerBeat * 1e12) % r::timelineColumns;
        const int x = t.left + r::columnOffset(column);
        b.line(x, t.top, x, t.bottom, c::white, 2);
    }
    if (countIn) {
        b.box(r::countInBox, c::accent, c::accent, 18);
        b.text(r::countInNumber, shown, Font::font30, c::white, Align::centre);
        b.text(r::countInNote, L"Empieza al terminar", Font::font12, c::white, Align::centre);
    }
    std::wstring info;
    if (countIn) {
        info = L"Cuenta previa: 3 segundos con clics";
    } else {
        const int64_t whole = wholePart(beats, 1e12);
        info = number(v.publishedNotes) + L" notas  /  " +
               number(wholePart(beats / r::beatsPerBar, 1e12) + 1) + L":" +
               number(whole % r::beatsPerBar + 1) + L"  /  " + number(wholePart(v.tempo, 1e6)) +
               (v.tempoFromHost ? L" BPM FL" : L" BPM manual");
    }
    b.text(r::takeInfo, std::move(info), Font::font12, c::mutedText);
}

// The meter's width in pixels for a level that may be anything.
int meterWidth(float meter) noexcept {
    if (meter < 0.0f) return 0;
    const int full = r::meterTrack.width();
    if (meter > 1.0f) return full;
    if (!(meter > 0.0f)) return 0;
    return static_cast<int>(meter * static_cast<float>(full));
}

void exportColumn(const View& v, Builder& b) {
    const bool ready = takeReady(v);
    b.button(L"Arrastrar MIDI", DragMidi, 1, r::dragButton, ready, ready);
    b.text(r::dragSecondLine, L"al Piano roll", Font::font12, c::white, Align::centre);
    b.button(L"Guardar archivo .mid", SaveMidi, 0, r::saveButton, false, ready);
    b.text(r::exportHint, ready ? L"Todas las notas del acorde" : L"Pulsa Detener para exportar",
           Font::font12, c::mutedText, Align::centre);
    const Rect& track = r::meterTrack;
    b.box(track, c::border, c::border, 10);
    b.box(sized(track.left, track.top, meterWidth(v.meter), track.height()), c::accent, c::accent, 10);
}

void bottomLine(const View& v, Builder& b) {
    const wchar_t* hint = v.countIn                ? L"Detener cancela la cuenta previa."
                          : v.state == tamso::Full ? L"Toma llena: exporta antes de grabar otra."
                          : v.state == tamso::Paused
                              ? L"La pausa no agrega silencio a la toma."
                              : L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.";
    b.text(r::hint, hint, Font::font12, c::mutedText);
    b.text(r::footer, L"VELK", Font::font12, c::mutedText, Align::right);
}

} // namespace

void layout(const View& view, Scene& scene) {
    scene.clear();
    Builder b(view, scene);
    Element background;
    background.kind = Element::background;
    background.rect = {0, 0, editorWidth, editorHeight};
    background.fill = colours::windowBackground;
    scene.elements.push_back(background);
    header(view, b);
    chordPanel(view, b);
    soundSection(view, b);
    librarySection(view, b);
    settingsArea(view, b);
    pads(view, b);
    recordingPanel(view, b);
    exportColumn(view, b);
    bottomLine(view, b);
}

} // namespace palmtone
