// The editor's surface, panel by panel, in drawing order. Every clickable
// element registers its hit as it is laid out, so a click can only reach what
// the last pass drew.
#include "editor/layout.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "chords/midi_capture.hpp"
#include "chords/names.hpp"
#include "editor/key_tables.hpp"
#include "editor/menu.hpp"
#include "plugin/plugin.hpp"
#include "plugin/windows_path.hpp"

namespace palmtone {

namespace c = colours;

bool takeReady(const View& v) noexcept {
    return !v.countIn && (v.state == tamso::Finished || v.state == tamso::Full) && v.publishedNotes > 0;
}

int32_t clampScroll(int32_t scroll, size_t entries) noexcept {
    const int32_t last = entries > 4 ? static_cast<int32_t>(entries - 4) : 0;
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

// Builds one pass: the four drawing operations every panel uses.
class Builder {
  public:
    Builder(const View& view, Scene& scene) : v(view), s(scene) {}

    void box(int x, int y, int width, int height, Colour fill, Colour outline, int radius) {
        if (width <= 0 || height <= 0) return;
        Element e;
        e.kind = Element::box;
        e.rect = {x, y, x + width, y + height};
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
        e.rect = {23, 24, 50, 48};
        e.fill = c::accent;
        e.colour = c::accent;
        s.elements.push_back(std::move(e));
    }

    void hit(Rect r, int type, int value, bool enabled) { s.hits.push_back(Hit{r, type, value, enabled}); }

    void button(std::wstring content, int type, int value, int x, int y, int width, int height, bool active,
                bool enabled) {
        const bool hover =
            enabled && x <= v.mouse.x && v.mouse.x < x + width && y <= v.mouse.y && v.mouse.y < y + height;
        const bool pressed = enabled && v.pressedType == type && v.pressedValue == value;
        Colour fill = enabled && hover ? (active ? c::accentHover : c::buttonHover)
                                       : (active ? c::accent : c::buttonFace);
        const Colour outline = active || hover ? c::accent : c::border;
        if (type == Record && active) fill = pulse(fill);
        const int p = pressed ? 1 : 0;
        if (pressed) fill = c::accent;
        box(x, y + p, width, height, fill, outline, 16);
        text({x + 6, y + p, x + width - 6, y + height + p}, std::move(content), Font::font14,
             enabled ? c::white : c::mutedText, Align::centre);
        hit({x, y + p, x + width, y + height + p}, type, value, enabled);
    }

    void field(int parameter, int x, int y, int width, const wchar_t* caption) {
        text({x, y - 20, x + width, y - 4}, caption, Font::font12, c::mutedText);
        const double value = isParamIndex(parameter) ? v.params[parameter] : 0.0;
        button(widen(display(parameter, value)), Field, parameter, x, y, width, 34, false, true);
    }

  private:
    // The record button's fill drifts towards accentHover and back, about every 1.6 s.
    Colour pulse(Colour fill) const noexcept {
        const double k = 0.12 + 0.12 * std::sin(v.milliseconds / 260.0);
        auto mix = [k](int from, int to) { return static_cast<int>(from + (to - from) * k); };
        return rgb(mix(red(fill), red(c::accentHover)), mix(green(fill), green(c::accentHover)),
                   mix(blue(fill), blue(c::accentHover)));
    }

    const View& v;
    Scene& s;
};

void header(const View& v, Builder& b) {
    b.logo();
    b.text({58, 16, 168, 60}, L"velk", Font::font30, c::white);
    b.text({190, 19, 550, 47}, L"beta", Font::font22, c::white);
    b.text({190, 47, 570, 67}, L"Tu teclado. Tus acordes. Tu sonido.", Font::font12, c::mutedText);
    b.text({650, 17, 836, 35}, L"VST2 x64  /  beta 1.3", Font::font12, c::mutedText, Align::right);
    b.text({620, 42, 695, 62}, L"Volumen", Font::font12, c::mutedText);
    b.box(700, 50, 136, 4, c::border, c::border, 10);
    int level = static_cast<int>(wholePart(v.settings.volume * 136.0, 136.0));
    if (level < 4) level = 3;
    b.box(700, 50, level, 4, c::accent, c::accent, 10);
    b.hit({700, 38, 836, 63}, VolumeSlider, 0, true);
    b.button(L"Guía", Guide, 0, 862, 23, 94, 34, false, true);
}

void chordPanel(const View& v, Builder& b) {
    b.box(24, 84, 420, 72, c::panelFill, c::border, 10);
    b.text({40, 92, 150, 109}, L"ACORDE", Font::font12, c::mutedText);
    std::wstring chord;
    if (v.settings.inputMode == 2)
        chord = L"MIDI escrito";
    else if (v.soundingCount <= 0 || v.lastChordRoot < 0)
        chord = L"Toca una tecla";
    else
        chord = widen(tamso::chordName(v.lastChordRoot, v.settings.config));
    b.text({40, 112, 245, 143}, std::move(chord), Font::font22, c::white);
    std::wstring sounding;
    for (int n = 0; n < 128; ++n) {
        if (!v.sounding[n]) continue;
        if (!sounding.empty()) sounding += L' ';
        sounding += widen(tamso::noteName(n));
    }
    if (sounding.empty()) sounding = L"A S D F G H J K";
    b.text({236, 111, 428, 141}, std::move(sounding), Font::font12, c::white, Align::right);
}

bool waveLoaded(const View& v) noexcept {
    return v.summary && v.summary->frames != 0;
}

void panelBox(const View& v, Builder& b, int x, int y, int width, int height) {
    b.box(x, y, width, height, v.dropHover ? c::buttonFace : c::panelFill,
          v.dropHover ? c::accentHover : c::border, 10);
}

// "2.6 s  /  44 kHz": the seconds cut (never rounded) to one decimal.
std::wstring fileInfo(const SampleSummary& summary) {
    const double seconds = std::isfinite(summary.seconds) ? std::clamp(summary.seconds, 0.0, 9999.0) : 0.0;
    const std::wstring text = std::to_wstring(seconds);
    const std::wstring shown = text.substr(0, seconds < 10.0 ? 3 : 4);
    return shown + L" s  /  " + number(wholePart(summary.sampleRate / 1000.0, 1e6)) + L" kHz";
}

void soundSection(const View& v, Builder& b) {
    panelBox(v, b, 456, 84, 500, 72);
    b.text({474, 91, 694, 108}, v.dropHover ? L"SUELTA TU WAV AQUI" : L"SONIDO", Font::font12, c::mutedText);
    const bool loaded = waveLoaded(v);
    std::wstring name = !v.settings.useWave ? widen(builtInSound)
                        : loaded            ? v.summary->name
                                            : std::wstring(L"Elige un WAV");
    b.text({474, 110, 780, 135}, std::move(name), Font::font17, c::white);
    b.button(L"Keys", SoundSwitch, 0, 808, 95, 62, 28, !v.settings.useWave, true);
    b.button(L"WAV", SoundSwitch, 1, 878, 95, 62, 28, v.settings.useWave, true);
    if (v.settings.useWave && loaded) {
        for (int i = 0; i < 96; ++i) {
            const float peak = v.summary->peaks[i];
            int h = static_cast<int>(wholePart(static_cast<float>(peak * 12.0f), 24.0));
            if (h < 2) h = 1;
            const int x = 474 + 3 * i;
            b.line(x, 143 - h / 2, x, 143 + h / 2, c::accent, 2);
        }
        b.text({790, 130, 940, 147}, fileInfo(*v.summary), Font::font12, c::mutedText, Align::right);
    } else {
        b.text({474, 135, 914, 151}, L"Arrastra tu WAV desde FL Studio", Font::font12, c::mutedText);
    }
}

void librarySection(const View& v, Builder& b) {
    panelBox(v, b, 24, 172, 256, 262);
    b.text({40, 181, 192, 199}, L"ONE SHOTS", Font::font12, c::mutedText);
    const bool loaded = waveLoaded(v);
    b.button(L"Quitar", RemoveCurrent, 0, 204, 179, 60, 22, false, loaded);
    b.button(L"Añadir WAV", AddWaves, 0, 40, 207, 104, 30, false, true);
    b.button(L"Carpeta", Folder, 0, 154, 207, 110, 30, false, true);

    static const std::vector<std::wstring> none;
    const std::vector<std::wstring>& files = v.library ? *v.library : none;
    for (int r = 0; r < libraryRows; ++r) {
        const int64_t k = static_cast<int64_t>(v.scroll) + r;
        if (k < 0 || k > static_cast<int64_t>(files.size())) break;
        const int y = 247 + 28 * r;
        if (k == 0) {
            b.button(widen(builtInSound), LibraryRow, 0, 40, y, 224, 25, !v.settings.useWave, true);
            continue;
        }
        const std::wstring& entry = files[static_cast<size_t>(k - 1)];
        std::wstring stem = winpath::stem(entry);
        const bool current =
            v.settings.useWave && (entry == v.selection || (v.summary && stem == v.summary->name));
        b.button(std::move(stem), LibraryRow, static_cast<int>(k), 40, y, 190, 25, current, true);
        b.button(L"×", RemoveFile, static_cast<int>(k), 238, y, 26, 25, false, true);
    }
    if (files.empty())
        b.text({40, 282, 264, 330}, L"Arrastra desde FL Studio", Font::font12, c::mutedText, Align::centre);

    const int root = unitValue(pWaveRoot, v.params[pWaveRoot]);
    b.button(L"Raíz: " + widen(tamso::noteName(root)), WaveRoot, 0, 40, 397, 97, 27, false,
             v.settings.useWave);
    b.button(v.settings.wholeOneShot ? L"One shot" : L"Seguir tecla", PlayMode, 0, 147, 397, 117, 27,
             v.settings.wholeOneShot, v.settings.useWave);
}

void settingsArea(const View& v, Builder& b) {
    b.field(pTonic, 296, 200, 94, L"TONALIDAD");
    b.field(pScale, 406, 200, 270, L"ESCALA");
    b.field(pOctave, 692, 200, 112, L"OCTAVA");
    b.field(pInversion, 820, 200, 136, L"INVERSION");
    b.text({296, 240, 956, 256}, L"ACORDES", Font::font12, c::mutedText);
    static const wchar_t* const sizes[4] = {L"Tríadas", L"7mas", L"9nas", L"Add9"};
    const int size = unitValue(pChords, v.params[pChords]);
    for (int l = 0; l < 4; ++l)
        b.button(sizes[l], ChordSize, l, 296 + 168 * l, 261, 156, 34, l == size, true);
    b.field(pSeventh, 296, 323, 180, L"TIPO DE 7ma");
    b.field(pNinth, 492, 323, 180, L"TIPO DE 9na");
    b.field(pInput, 688, 323, 268, L"ENTRADA MIDI");
    b.text({296, 364, 726, 380}, L"TOCA LOS ACORDES", Font::font12, c::mutedText);
    b.text({740, 364, 956, 380}, L"9nas incluyen 7ma", Font::font12, c::mutedText, Align::right);
}

void pads(const View& v, Builder& b) {
    for (int l = 0; l < padCount; ++l) {
        const int x0 = 296 + 83 * l;
        const Rect r{x0, 385, x0 + 77, 426};
        const tamso::Chord chord = voicing(notes[l], v.settings);
        const double g = std::isfinite(v.glow[l]) ? std::clamp(v.glow[l], 0.0, 1.0) : 0.0;
        int rgbValues[3] = {static_cast<int>(24 + 4 * g), static_cast<int>(35 + 89 * g),
                            static_cast<int>(29 + 55 * g)};
        if (r.contains(v.mouse)) {
            const int a[3] = {red(c::accent), green(c::accent), blue(c::accent)};
            for (int i = 0; i < 3; ++i)
                rgbValues[i] = static_cast<int>(rgbValues[i] + (a[i] - rgbValues[i]) * 0.4);
        }
        b.box(x0, 385, 77, 41, rgb(rgbValues[0], rgbValues[1], rgbValues[2]), g > 0.1 ? c::accent : c::border,
              10);
        b.text({x0 + 5, 387, x0 + 21, 404}, std::wstring(1, static_cast<wchar_t>(keys[l])), Font::font12,
               c::white);
        const std::string caption = v.settings.inputMode == 2
                                        ? tamso::noteName(notes[l])
                                        : tamso::chordName(chord.root, v.settings.config);
        b.text({x0 + 5, 405, x0 + 72, 423}, widen(caption), Font::font12, c::white, Align::centre);
        b.text({x0 + 46, 387, x0 + 70, 403}, degrees[l], Font::font12, c::mutedText, Align::right);
        b.hit(r, Pad, l, true);
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
    b.box(24, 448, 932, 264, c::panelFill, c::border, 10);
    b.text({44, 461, 424, 489}, L"GRABAR ACORDES", Font::font17, c::white);
    std::wstring status = countIn        ? L"PREPARATE  " + shown
                          : recording(v) ? L"GRABANDO"
                          : paused       ? L"EN PAUSA"
                          : ready        ? L"TOMA LISTA"
                                         : L"LISTO PARA TOCAR";
    b.text({630, 461, 932, 487}, std::move(status), Font::font14, c::white, Align::right);
    b.button(countIn        ? L"Cuenta " + shown
             : recording(v) ? L"Grabando"
                            : L"Grabar",
             Record, 0, 44, 502, 124, 40, recording(v) || countIn, !countIn);
    b.button(paused ? L"Continuar" : L"Pausa", PauseResume, 0, 180, 502, 105, 40, paused, !countIn);
    b.button(L"Detener", Stop, 0, 297, 502, 105, 40, false, true);
    b.button(L"Nueva toma", NewTake, 0, 414, 502, 126, 40, false, !countIn);
    b.button(L"Soltar notas", ReleaseNotes, 0, 552, 502, 148, 40, false, true);

    // The timeline: 64 columns of 12 pitch classes, C at the bottom.
    b.box(44, 558, 656, 112, c::windowBackground, c::border, 8);
    for (int y = 567; y <= 657; y += 9)
        b.line(44, y, 700, y, c::gridLine, 1);
    for (int i = 0; i < 64; ++i) {
        const int xo = i * 656 / 64;
        if (i % 16 == 0) b.line(44 + xo, 558, 44 + xo, 670, c::border, 1);
        const uint16_t bits = v.overview ? v.overview[i] : 0;
        for (int p = 0; p < 12; ++p)
            if (bits & (1u << p)) b.box(45 + xo, 660 - 9 * p, 9, 6, c::accent, c::accent, 3);
    }
    const double beats = std::isfinite(v.endBeats) ? std::clamp(v.endBeats, 0.0, 1e12) : 0.0;
    if (!countIn && recording(v)) {
        const int64_t column = wholePart(4.0 * beats, 4e12) % 64;
        const int x = 44 + static_cast<int>(column * 656 / 64);
        b.line(x, 558, x, 670, c::white, 2);
    }
    if (countIn) {
        b.box(312, 573, 120, 66, c::accent, c::accent, 18);
        b.text({312, 574, 432, 626}, shown, Font::font30, c::white, Align::centre);
        b.text({220, 645, 524, 663}, L"Empieza al terminar", Font::font12, c::white, Align::centre);
    }
    std::wstring info;
    if (countIn) {
        info = L"Cuenta previa: 3 segundos con clics";
    } else {
        const int64_t whole = wholePart(beats, 1e12);
        info = number(v.publishedNotes) + L" notas  /  " + number(wholePart(beats * 0.25, 1e12) + 1) + L":" +
               number(whole % 4 + 1) + L"  /  " + number(wholePart(v.tempo, 1e6)) +
               (v.tempoFromHost ? L" BPM FL" : L" BPM manual");
    }
    b.text({44, 677, 700, 700}, std::move(info), Font::font12, c::mutedText);
}

// The meter's width in pixels for a level that may be anything.
int meterWidth(float meter) noexcept {
    if (meter < 0.0f) return 0;
    if (meter > 1.0f) return 208;
    if (!(meter > 0.0f)) return 0;
    return static_cast<int>(meter * 208.0f);
}

void exportColumn(const View& v, Builder& b) {
    const bool ready = takeReady(v);
    b.button(L"Arrastrar MIDI", DragMidi, 1, 724, 502, 208, 66, ready, ready);
    b.text({724, 546, 932, 564}, L"al Piano roll", Font::font12, c::white, Align::centre);
    b.button(L"Guardar archivo .mid", SaveMidi, 0, 724, 581, 208, 36, false, ready);
    b.text({724, 626, 932, 648}, ready ? L"Todas las notas del acorde" : L"Pulsa Detener para exportar",
           Font::font12, c::mutedText, Align::centre);
    b.box(724, 664, 208, 4, c::border, c::border, 10);
    b.box(724, 664, meterWidth(v.meter), 4, c::accent, c::accent, 10);
}

void bottomLine(const View& v, Builder& b) {
    const wchar_t* hint = v.countIn                ? L"Detener cancela la cuenta previa."
                          : v.state == tamso::Full ? L"Toma llena: exporta antes de grabar otra."
                          : v.state == tamso::Paused
                              ? L"La pausa no agrega silencio a la toma."
                              : L"Pulsa Grabar: 3, 2, 1... Guarda el MIDI antes de cerrar.";
    b.text({24, 718, 714, 736}, hint, Font::font12, c::mutedText);
    b.text({710, 718, 956, 736}, L"VELK", Font::font12, c::mutedText, Align::right);
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
