#include "editor/menu.hpp"

#include "chords/names.hpp"
#include "chords/scales.hpp"

namespace palmtone {

namespace {

constexpr int32_t toggleBase = 101;

std::vector<std::wstring> itemTexts(int parameter) {
    std::vector<std::wstring> texts;
    switch (parameter) {
    case pTonic:
        for (const char* n : tamso::notes)
            texts.push_back(widen(n));
        break;
    case pScale:
        for (const tamso::Scale& s : tamso::scales)
            texts.push_back(widen(s.name));
        break;
    case pInversion: texts = {L"Raíz", L"1ra", L"2da", L"3ra", L"4ta"}; break;
    case pOctave: texts = {L"-2", L"-1", L"0", L"+1", L"+2"}; break;
    case pInput:
        for (const char* m : inputModes)
            texts.push_back(widen(m));
        break;
    case pSeventh:
        for (const char* k : tamso::sevenKinds)
            texts.push_back(widen(k));
        break;
    case pNinth:
        for (const char* k : tamso::nineKinds)
            texts.push_back(widen(k));
        break;
    default: break;
    }
    return texts;
}

} // namespace

std::wstring widen(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (unsigned char ch : text)
        out += static_cast<wchar_t>(ch);
    return out;
}

std::wstring widen(const char* text) {
    return widen(std::string(text ? text : ""));
}

int32_t unitValue(int parameter, double normalised) noexcept {
    if (!isParamIndex(parameter)) return 0;
    const ParamSpec& s = specs[parameter];
    return static_cast<int32_t>(
        roundHalfAway(s.minimum + (s.maximum - s.minimum) * cleanNormalised(normalised)));
}

Menu parameterMenu(int parameter, const ParamValues& values) {
    Menu menu;
    if (!isParamIndex(parameter)) return menu;
    const int32_t current =
        unitValue(parameter, values[parameter]) - static_cast<int32_t>(specs[parameter].minimum);
    const std::vector<std::wstring> texts = itemTexts(parameter);
    for (size_t j = 0; j < texts.size(); ++j) {
        MenuItem item;
        item.text = texts[j];
        item.id = static_cast<int32_t>(j) + 1;
        item.checked = static_cast<int32_t>(j) == current;
        menu.push_back(std::move(item));
    }
    if (parameter == pScale && current == tamso::customScaleIndex) {
        MenuItem separator;
        separator.separator = true;
        menu.push_back(separator);
        const int32_t key = unitValue(pTonic, values[pTonic]);
        const int32_t mask = unitValue(pCustomScale, values[pCustomScale]);
        for (int k = 0; k < 12; ++k) {
            MenuItem toggle;
            toggle.text = L"Incluir " + widen(tamso::notes[(key + k) % 12]);
            toggle.id = toggleBase + k;
            toggle.checked = (mask >> k & 1) != 0;
            menu.push_back(std::move(toggle));
        }
    }
    return menu;
}

Menu rootNoteMenu(const ParamValues& values) {
    Menu menu;
    const int32_t current = unitValue(pWaveRoot, values[pWaveRoot]);
    for (int octave = -1; octave <= 9; ++octave) {
        MenuItem sub;
        sub.text = L"Octava " + std::to_wstring(octave);
        for (int c = 0; c < 12; ++c) {
            const int note = 12 * (octave + 1) + c;
            if (note > 127) break;
            MenuItem item;
            item.text = widen(tamso::noteName(note));
            item.id = note + 1;
            item.checked = note == current;
            sub.submenu.push_back(std::move(item));
        }
        menu.push_back(std::move(sub));
    }
    return menu;
}

std::optional<Edit> parameterChoice(int parameter, int32_t id, const ParamValues& values) noexcept {
    if (!isParamIndex(parameter) || id == 0) return std::nullopt;
    if (parameter == pScale && id >= toggleBase && id < toggleBase + 12) {
        const int32_t mask = unitValue(pCustomScale, values[pCustomScale]);
        const int32_t bit = 1 << (id - toggleBase);
        if (mask == bit) return std::nullopt; // the last note of the custom scale stays
        return Edit{pCustomScale, static_cast<double>(mask ^ bit)};
    }
    const ParamSpec& s = specs[parameter];
    const int64_t items = s.steps + 1;
    if (id < 1 || id > items) return std::nullopt;
    return Edit{parameter, s.minimum + id - 1};
}

std::optional<Edit> rootNoteChoice(int32_t id) noexcept {
    if (id < 1 || id > 128) return std::nullopt;
    return Edit{pWaveRoot, static_cast<double>(id - 1)};
}

} // namespace palmtone
