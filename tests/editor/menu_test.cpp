// The parameter menus: their items and check marks, the custom-scale toggles,
// the root note menu, and choices reaching the host as one edit gesture each.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "editor/menu.hpp"
#include "editor/regions.hpp"
#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using editortest::EditorTest;
using editortest::HostCall;

ParamValues defaults() {
    ParamValues v{};
    for (int i = 0; i < paramCount; ++i)
        v[i] = normalisedDefault(i);
    return v;
}

double normalised(int index, double unit) {
    return (unit - specs[index].minimum) / (specs[index].maximum - specs[index].minimum);
}

std::vector<std::wstring> texts(const Menu& menu) {
    std::vector<std::wstring> out;
    for (const MenuItem& item : menu)
        out.push_back(item.separator ? L"-" : item.text);
    return out;
}

std::vector<int> checkedIndices(const Menu& menu) {
    std::vector<int> out;
    for (size_t i = 0; i < menu.size(); ++i)
        if (menu[i].checked) out.push_back(static_cast<int>(i));
    return out;
}

TEST(Menus, ItemsIdsAndCheckMarkOfEveryField) {
    struct Case {
        int parameter;
        size_t count;
        std::wstring first, last;
        int checkedAtDefault;
    } cases[] = {
        {pTonic, 12, L"C", L"B", 0},
        {pScale, 30, L"Mayor / Jonico", L"Personalizada", 0},
        {pInversion, 5, L"Raíz", L"4ta", 0},
        {pOctave, 5, L"-2", L"+2", 2},
        {pInput, 3, L"Teclas / grados de escala", L"MIDI ya escrito / solo sonido", 0},
        {pSeventh, 4, L"Segun escala", L"Disminuida (bb7)", 0},
        {pNinth, 4, L"Segun escala", L"Aumentada (#9)", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.parameter);
        const Menu menu = parameterMenu(k.parameter, defaults());
        ASSERT_EQ(menu.size(), k.count);
        EXPECT_EQ(menu.front().text, k.first);
        EXPECT_EQ(menu.back().text, k.last);
        for (size_t j = 0; j < menu.size(); ++j) {
            EXPECT_EQ(menu[j].id, static_cast<int32_t>(j) + 1);
            EXPECT_FALSE(menu[j].separator);
            EXPECT_TRUE(menu[j].submenu.empty());
        }
        EXPECT_EQ(checkedIndices(menu), std::vector<int>{k.checkedAtDefault});
    }
    EXPECT_EQ(texts(parameterMenu(pInversion, defaults())),
              (std::vector<std::wstring>{L"Raíz", L"1ra", L"2da", L"3ra", L"4ta"}));
    EXPECT_EQ(texts(parameterMenu(pOctave, defaults())),
              (std::vector<std::wstring>{L"-2", L"-1", L"0", L"+1", L"+2"}));
}

TEST(Menus, CheckMarkFollowsTheStoredValue) {
    ParamValues v = defaults();
    v[pTonic] = normalised(pTonic, 7);
    v[pOctave] = normalised(pOctave, -2);
    v[pInversion] = 2.0;        // out of range: clamped to the last item
    v[pSeventh] = std::nan(""); // not a number: counts as 0
    EXPECT_EQ(checkedIndices(parameterMenu(pTonic, v)), std::vector<int>{7});
    EXPECT_EQ(checkedIndices(parameterMenu(pOctave, v)), std::vector<int>{0});
    EXPECT_EQ(checkedIndices(parameterMenu(pInversion, v)), std::vector<int>{4});
    EXPECT_EQ(checkedIndices(parameterMenu(pSeventh, v)), std::vector<int>{0});
}

TEST(Menus, ChoicesInTheParameterUnit) {
    const ParamValues v = defaults();
    struct Case {
        int parameter;
        int32_t id;
        double value;
    } cases[] = {{pOctave, 1, -2}, {pOctave, 5, 2}, {pTonic, 3, 2},
                 {pScale, 30, 29}, {pInput, 3, 2},  {pNinth, 4, 3}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.parameter << " id " << k.id);
        const auto edit = parameterChoice(k.parameter, k.id, v);
        ASSERT_TRUE(edit.has_value());
        EXPECT_EQ(*edit, (Edit{k.parameter, k.value}));
    }
    EXPECT_FALSE(parameterChoice(pOctave, 0, v)) << "a dismissed menu";
    EXPECT_FALSE(parameterChoice(pOctave, 6, v)) << "no such item";
    EXPECT_FALSE(parameterChoice(pTonic, 101, v)) << "toggles belong to the scale menu";
}

TEST(Menus, CustomScaleTogglesNameTheNotesFromTheKey) {
    ParamValues v = defaults();
    v[pScale] = 1.0; // "Personalizada"
    v[pTonic] = normalised(pTonic, 2);
    const Menu menu = parameterMenu(pScale, v);
    ASSERT_EQ(menu.size(), 30u + 1 + 12);
    EXPECT_TRUE(menu[30].separator);
    const wchar_t* names[] = {L"D", L"D#", L"E", L"F", L"F#", L"G", L"G#", L"A", L"A#", L"B", L"C", L"C#"};
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(menu[31 + k].text, std::wstring(L"Incluir ") + names[k]);
        EXPECT_EQ(menu[31 + k].id, 101 + k);
    }

    // The default mask 2741 is the major scale: the key's C D E F G A B are marked.
    v[pTonic] = 0.0;
    const Menu major = parameterMenu(pScale, v);
    std::vector<int> marked;
    for (int k = 0; k < 12; ++k)
        if (major[31 + k].checked) marked.push_back(k);
    EXPECT_EQ(marked, (std::vector<int>{0, 2, 4, 5, 7, 9, 11}));
    EXPECT_TRUE(major[29].checked);

    v[pScale] = normalised(pScale, 28);
    EXPECT_EQ(parameterMenu(pScale, v).size(), 30u) << "no toggles for a fixed scale";
}

TEST(Menus, CustomScaleToggleChoices) {
    ParamValues v = defaults();
    v[pScale] = 1.0;
    auto choose = [&](int mask, int k) {
        v[pCustomScale] = normalised(pCustomScale, mask);
        return parameterChoice(pScale, 101 + k, v);
    };
    EXPECT_FALSE(choose(1, 0)) << "the last remaining note stays";
    EXPECT_EQ(choose(1, 4), (Edit{pCustomScale, 1 | 16}));
    EXPECT_EQ(choose(1, 11), (Edit{pCustomScale, 1 | 2048}));
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(choose(4095, k), (Edit{pCustomScale, double(4095 ^ (1 << k))}));
    EXPECT_EQ(choose(2741, 1), (Edit{pCustomScale, 2743}));
    EXPECT_EQ(choose(2741, 2), (Edit{pCustomScale, 2737}));
    EXPECT_FALSE(choose(64, 6)) << "any lone note, not only the key";
}

TEST(Menus, RootNoteMenu) {
    ParamValues v = defaults(); // "Raiz WAV" 60
    const Menu menu = rootNoteMenu(v);
    ASSERT_EQ(menu.size(), 11u);
    for (int o = -1; o <= 9; ++o) {
        const MenuItem& sub = menu[o + 1];
        EXPECT_EQ(sub.text, L"Octava " + std::to_wstring(o));
        EXPECT_EQ(sub.submenu.size(), o == 9 ? 8u : 12u);
        EXPECT_EQ(sub.submenu.front().id, 12 * (o + 1) + 1);
    }
    EXPECT_EQ(menu[0].text, L"Octava -1");
    EXPECT_EQ(menu[0].submenu[0].text, L"C-1");
    EXPECT_EQ(menu[10].submenu.back().text, L"G9");
    EXPECT_EQ(menu[10].submenu.back().id, 128);

    int checked = 0;
    for (const MenuItem& sub : menu)
        for (const MenuItem& item : sub.submenu)
            checked += item.checked ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(menu[5].submenu[0].checked) << "C4 opens the submenu of octave 4";
    EXPECT_EQ(menu[5].submenu[0].text, L"C4");

    EXPECT_EQ(rootNoteChoice(61), (Edit{pWaveRoot, 60}));
    EXPECT_EQ(rootNoteChoice(128), (Edit{pWaveRoot, 127}));
    EXPECT_FALSE(rootNoteChoice(0));
    EXPECT_FALSE(rootNoteChoice(129));
}

// ---- through the editor ----

using EditorMenus = EditorTest;

// One begin-edit, automate, end-edit gesture for a parameter.
std::vector<HostCall> gesture(int index, float normalisedValue) {
    return {{vst2::hostBeginEdit, index, 0, nullptr, 0.0f, {}, -1, 0},
            {vst2::hostAutomate, index, 0, nullptr, normalisedValue, {}, -1, 0},
            {vst2::hostEndEdit, index, 0, nullptr, 0.0f, {}, -1, 0}};
}

void expectCalls(const std::vector<HostCall>& got, const std::vector<HostCall>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].opcode, expected[i].opcode) << i;
        EXPECT_EQ(got[i].index, expected[i].index) << i;
        EXPECT_FLOAT_EQ(got[i].option, expected[i].option) << i;
    }
}

TEST_F(EditorMenus, OctaveChoiceIsOneHostGesture) {
    ui->menuAnswer = 5; // "+2"
    press(Field, pOctave);
    ASSERT_EQ(log.menus.size(), 1u);
    const Rect& field = regions::octaveField;
    EXPECT_EQ(log.menus[0].at, (Point{field.left, field.bottom})) << "the field's lower-left corner";
    EXPECT_EQ(checkedIndices(log.menus[0].menu), std::vector<int>{2});
    EXPECT_EQ(plugin->params[pOctave].load(), 1.0);
    expectCalls(host.edits(), gesture(pOctave, 1.0f));
    EXPECT_EQ(editor->pressedType, -1) << "the menu took the button release";
    EXPECT_GE(log.repaints, 1);
}

TEST_F(EditorMenus, DismissedMenuChangesNothing) {
    ui->menuAnswer = 0;
    const ParamValues before = plugin->snapshot();
    press(Field, pScale);
    EXPECT_EQ(plugin->snapshot(), before);
    EXPECT_TRUE(host.edits().empty());
}

TEST_F(EditorMenus, CustomScaleTogglesAppearTheNextTimeTheMenuOpens) {
    ui->menuAnswer = 30; // "Personalizada"
    press(Field, pScale);
    release();
    EXPECT_EQ(log.menus[0].menu.size(), 30u);
    EXPECT_EQ(plugin->params[pScale].load(), 1.0);

    ui->menuAnswer = 102; // "Incluir C#": C# joins the major scale
    host.calls.clear();
    press(Field, pScale);
    ASSERT_EQ(log.menus.size(), 2u);
    EXPECT_EQ(log.menus[1].menu.size(), 43u);
    EXPECT_DOUBLE_EQ(plugin->params[pCustomScale].load(), normalised(pCustomScale, 2743));
    expectCalls(host.edits(), gesture(pCustomScale, static_cast<float>(normalised(pCustomScale, 2743))));
}

TEST_F(EditorMenus, ToggleAppliesToTheMaskAtTheMomentOfTheChoice) {
    plugin->set(pScale, 1.0);
    ui->menuAnswer = 101; // the key's own note
    // While the menu is open the host automates the mask down to the key alone.
    ui->duringModal = [&](const char*) { plugin->set(pCustomScale, normalised(pCustomScale, 1)); };
    press(Field, pScale);
    const Menu& shown = log.menus[0].menu;
    EXPECT_TRUE(shown[31].checked) << "the menu showed the old mask";
    EXPECT_DOUBLE_EQ(plugin->params[pCustomScale].load(), normalised(pCustomScale, 1));
    EXPECT_TRUE(host.edits().empty()) << "removing the last note is ignored";
}

TEST_F(EditorMenus, RootMenuSetsTheWaveRoot) {
    plugin->set(pSound, 1.0); // the root button is enabled with the WAV sound
    ui->menuAnswer = 70;      // A4 + 1 = note 69
    press(WaveRoot);
    ASSERT_EQ(log.menus.size(), 1u);
    EXPECT_EQ(log.menus[0].at, (Point{regions::rootButton.left, regions::rootButton.bottom}));
    EXPECT_EQ(log.menus[0].menu.size(), 11u);
    EXPECT_DOUBLE_EQ(plugin->params[pWaveRoot].load(), 69.0 / 127.0);
    expectCalls(host.edits(), gesture(pWaveRoot, static_cast<float>(69.0 / 127.0)));
    EXPECT_EQ(editor->pressedType, -1);
}

TEST_F(EditorMenus, ButtonsThatEditWithoutAMenu) {
    struct Case {
        HitType type;
        int value;
        int parameter;
        double stored;
    } cases[] = {{ChordSize, 0, pChords, 0.0},      {ChordSize, 3, pChords, 1.0},
                 {SoundSwitch, 1, pSound, 1.0},     {SoundSwitch, 0, pSound, 0.0},
                 {PlayMode, 0, pWholeOneShot, 1.0}, {PlayMode, 0, pWholeOneShot, 0.0}};
    plugin->set(pSound, 1.0); // keeps the play-mode toggle enabled
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "type " << k.type << " value " << k.value);
        if (k.type == PlayMode) plugin->set(pSound, 1.0);
        host.calls.clear();
        click(k.type, k.value);
        EXPECT_EQ(plugin->params[k.parameter].load(), k.stored);
        EXPECT_EQ(host.edits().size(), 3u);
    }
    EXPECT_TRUE(log.menus.empty());
}

} // namespace
