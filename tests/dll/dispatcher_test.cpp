// Every dispatcher opcode with its exact answer: results, and the bytes written
// into host buffers (field lengths, zero fill, the 7-character cut).
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

constexpr unsigned char canary = 0xCC;
constexpr size_t bufferSize = 160;

struct TextCase {
    int32_t opcode;
    int32_t index;
    const char* text;
    size_t field; // bytes written: the text, then zeros
    intptr_t result;
};

std::ostream& operator<<(std::ostream& out, const TextCase& c) {
    return out << "opcode " << c.opcode << " index " << c.index << " \"" << c.text << "\"";
}

class TextOpcode : public PluginTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextOpcode, WritesExactlyItsField) {
    const TextCase& c = GetParam();
    unsigned char buffer[bufferSize];
    std::memset(buffer, canary, sizeof buffer);
    EXPECT_EQ(host->dispatch(c.opcode, c.index, 0, buffer), c.result);
    const size_t length = std::strlen(c.text);
    ASSERT_LT(length, c.field);
    for (size_t i = 0; i < c.field; ++i) {
        const unsigned char expected = i < length ? static_cast<unsigned char>(c.text[i]) : 0;
        EXPECT_EQ(buffer[i], expected) << "byte " << i;
    }
    for (size_t i = c.field; i < bufferSize; ++i)
        ASSERT_EQ(buffer[i], canary) << "byte " << i << " written";
}

INSTANTIATE_TEST_SUITE_P(
    Product, TextOpcode,
    ::testing::Values(TextCase{5, 0, "VELK Soft Keys", 24, 1}, TextCase{29, 0, "VELK Soft Keys", 24, 1},
                      TextCase{29, 5, "VELK Soft Keys", 24, 1}, TextCase{45, 0, "VELK beta", 32, 1},
                      TextCase{47, 0, "VELK / Tarnwell", 64, 1}, TextCase{48, 0, "VELK beta", 64, 1}));

INSTANTIATE_TEST_SUITE_P(ParameterNames, TextOpcode,
                         ::testing::Values(TextCase{8, 0, "Tonica", 8, 1}, TextCase{8, 1, "Escala", 8, 1},
                                           TextCase{8, 2, "Acordes", 8, 1}, TextCase{8, 3, "Invers.", 8, 1},
                                           TextCase{8, 4, "Octava", 8, 1}, TextCase{8, 5, "Volumen", 8, 1},
                                           TextCase{8, 6, "Entrada", 8, 1}, TextCase{8, 7, "Canal", 8, 1},
                                           TextCase{8, 8, "MIDI ou", 8, 1}, TextCase{8, 9, "BPM", 8, 1},
                                           TextCase{8, 10, "Escala1", 8, 1}, TextCase{8, 11, "Septima", 8, 1},
                                           TextCase{8, 12, "Novena", 8, 1}, TextCase{8, 13, "Sonido", 8, 1},
                                           TextCase{8, 14, "Raiz WA", 8, 1},
                                           TextCase{8, 15, "Tocar W", 8, 1}));

INSTANTIATE_TEST_SUITE_P(ParameterLabels, TextOpcode,
                         ::testing::Values(TextCase{6, 9, "BPM", 8, 1}, TextCase{6, 0, "", 8, 1},
                                           TextCase{6, 5, "", 8, 1}, TextCase{6, 15, "", 8, 1},
                                           TextCase{6, 16, "", 8, 1}, TextCase{6, 40, "", 8, 1},
                                           TextCase{6, -1, "", 8, 1}));

// The display texts of the defaults, cut to 7 characters.
INSTANTIATE_TEST_SUITE_P(DefaultDisplays, TextOpcode,
                         ::testing::Values(TextCase{7, 0, "C", 8, 1}, TextCase{7, 1, "Mayor /", 8, 1},
                                           TextCase{7, 2, "9nas (i", 8, 1}, TextCase{7, 3, "0", 8, 1},
                                           TextCase{7, 4, "0", 8, 1}, TextCase{7, 5, "65%", 8, 1},
                                           TextCase{7, 6, "Teclas ", 8, 1}, TextCase{7, 7, "1", 8, 1},
                                           TextCase{7, 8, "Si", 8, 1}, TextCase{7, 9, "120", 8, 1},
                                           TextCase{7, 10, "2741", 8, 1}, TextCase{7, 11, "Segun e", 8, 1},
                                           TextCase{7, 12, "Segun e", 8, 1}, TextCase{7, 13, "VELK So", 8, 1},
                                           TextCase{7, 14, "C4", 8, 1}, TextCase{7, 15, "Seguir ", 8, 1}));

// Requests refused for their index write nothing.
TEST_F(PluginTest, TextRequestsOutsideTheTableWriteNothing) {
    for (int32_t opcode : {7, 8}) {
        for (int32_t index : {16, 17, -1, INT_MIN, INT_MAX}) {
            unsigned char buffer[bufferSize];
            std::memset(buffer, canary, sizeof buffer);
            EXPECT_EQ(host->dispatch(opcode, index, 0, buffer), 0) << opcode << " " << index;
            for (unsigned char b : buffer)
                ASSERT_EQ(b, canary) << opcode << " " << index;
        }
    }
}

TEST_F(PluginTest, TextRequestsWithoutBufferAnswerOne) {
    for (int32_t opcode : {5, 6, 7, 8, 29, 45, 47, 48})
        EXPECT_EQ(host->dispatch(opcode, 3), 1) << opcode;
}

struct DisplayCase {
    int32_t index;
    float value;
    const char* text;
};

class DisplayText : public PluginTest, public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(DisplayText, ShowsTheStoredStep) {
    const DisplayCase& c = GetParam();
    host->setParameter(c.index, c.value);
    char buffer[bufferSize];
    std::memset(buffer, canary, sizeof buffer);
    ASSERT_EQ(host->dispatch(7, c.index, 0, buffer), 1);
    EXPECT_EQ(std::string(buffer, 7).c_str(), std::string(c.text)) << params[c.index].name << " " << c.value;
    EXPECT_EQ(std::memcmp(buffer, std::string(c.text).append(8 - std::strlen(c.text), '\0').data(), 8), 0);
    EXPECT_EQ(static_cast<unsigned char>(buffer[8]), canary);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DisplayText,
    ::testing::Values(DisplayCase{tonica, 1.0f / 11, "C#"}, DisplayCase{tonica, 1.0f, "B"},
                      DisplayCase{tonica, 0.5f, "F#"}, DisplayCase{escala, 9.0f / 29, "Pentato"},
                      DisplayCase{escala, 1.0f, "Persona"}, DisplayCase{acordes, 0.0f, "Triadas"},
                      DisplayCase{acordes, 1.0f / 3, "7mas"}, DisplayCase{acordes, 1.0f, "Add9 (s"},
                      DisplayCase{invers, 1.0f, "4"}, DisplayCase{octava, 0.0f, "-2"},
                      DisplayCase{octava, 0.375f, "-1"}, DisplayCase{octava, 1.0f, "2"},
                      DisplayCase{volumen, 0.0f, "0%"}, DisplayCase{volumen, 1.0f, "100%"},
                      DisplayCase{volumen, 0.5f, "50%"}, DisplayCase{entrada, 0.5f, "Raices "},
                      DisplayCase{entrada, 1.0f, "MIDI ya"}, DisplayCase{canal, 1.0f, "16"},
                      DisplayCase{canal, 0.5f, "9"}, DisplayCase{midiOut, 0.0f, "No"},
                      DisplayCase{midiOut, 0.49f, "No"}, DisplayCase{bpm, 0.0f, "30"},
                      DisplayCase{bpm, 1.0f, "300"}, DisplayCase{bpm, 0.5f, "165"},
                      DisplayCase{escala12, 0.0f, "1"}, DisplayCase{escala12, 1.0f, "4095"},
                      DisplayCase{septima, 1.0f, "Disminu"}, DisplayCase{septima, 2.0f / 3, "Mayor ("},
                      DisplayCase{novena, 1.0f / 3, "Novena "}, DisplayCase{novena, 1.0f, "Aumenta"},
                      DisplayCase{sonido, 1.0f, "One sho"}, DisplayCase{sonido, 0.5f, "One sho"},
                      DisplayCase{raizWav, 0.0f, "C-1"}, DisplayCase{raizWav, 1.0f, "G9"},
                      DisplayCase{raizWav, 61.0f / 127, "C#4"}, DisplayCase{tocarWav, 1.0f, "One sho"}));

struct ValueCase {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float option;
    intptr_t result;
};

std::ostream& operator<<(std::ostream& out, const ValueCase& c) {
    return out << "opcode " << c.opcode << " index " << c.index << " value " << c.value << " option "
               << c.option;
}

// Opcodes that read no pointer: the result, and a buffer handed in stays as it was.
class PlainOpcode : public PluginTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(PlainOpcode, AnswersAndWritesNothing) {
    const ValueCase& c = GetParam();
    unsigned char buffer[bufferSize];
    std::memset(buffer, canary, sizeof buffer);
    EXPECT_EQ(host->dispatch(c.opcode, c.index, c.value, buffer, c.option), c.result);
    for (size_t i = 0; i < bufferSize; ++i)
        ASSERT_EQ(buffer[i], canary) << "byte " << i << " written";
}

std::vector<ValueCase> plainCases() {
    std::vector<ValueCase> cases = {
        {2, 0, 0, 0, 1},        {2, 0, 1, 0, 0},     {2, 0, -1, 0, 0},       {3, 0, 0, 0, 0},
        {4, 0, 0, 0, 1},        {11, 0, 0, 0, 0},    {11, 0, 1, 0, 1},       {11, 0, 1048576, 0, 1},
        {11, 0, 1048577, 0, 0}, {11, 0, -1, 0, 0},   {15, 0, 0, 0, 1},       {19, 0, 0, 0, 1},
        {35, 0, 0, 0, 2},       {49, 0, 0, 0, 1300}, {52, 0, 0, 0, 1440000}, {57, 0, 0, 0, 1},
        {58, 0, 0, 0, 2400},    {71, 0, 0, 0, 1},    {72, 0, 0, 0, 1},       {77, 0, 0, 0, 1},
        {77, 0, 1, 0, 0},       {78, 0, 0, 0, 16},   {79, 0, 0, 0, 16},      {80, 0, 0, 0, 0},
        {-1, 0, 0, 0, 0},       {1000, 0, 0, 0, 0},  {INT_MIN, 0, 0, 0, 0},  {INT_MAX, 0, 0, 0, 0},
        {12, 0, 1, 0, 1},       {12, 0, 7, 0, 1},
    };
    for (int32_t i = 0; i < 16; ++i)
        cases.push_back({26, i, 0, 0, 1});
    for (int32_t i : {16, -1, 100})
        cases.push_back({26, i, 0, 0, 0});
    for (int32_t op :
         {9,  16, 17, 18, 20, 21, 22, 27, 28, 30, 31, 32, 33, 34, 36, 37, 38, 39, 40, 41, 42, 43, 44,
          46, 50, 53, 54, 55, 56, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 73, 74, 75, 76})
        cases.push_back({op, 1, 1, 1.0f, 0});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, PlainOpcode, ::testing::ValuesIn(plainCases()));

TEST_F(PluginTest, NullPointerRequestsAreRefused) {
    for (int32_t opcode : {13, 14, 23, 24, 25, 51})
        EXPECT_EQ(host->dispatch(opcode, 0, 100), 0) << opcode;
}

TEST_F(PluginTest, EditorRectangleIs980By740) {
    vst2::Rect* rect = nullptr;
    ASSERT_EQ(host->dispatch(13, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 740);
    EXPECT_EQ(rect->right, 980);
    vst2::Rect* again = nullptr;
    host->dispatch(13, 0, 0, &again);
    EXPECT_EQ(again, rect);
}

struct RateCase {
    float rate;
    intptr_t accepted;
    intptr_t tail; // after the call, starting from 44100
};

TEST_F(PluginTest, SampleRateBoundsAndTail) {
    const float inf = std::numeric_limits<float>::infinity();
    const RateCase cases[] = {
        {8000.0f, 1, 240000},        {384000.0f, 1, 11520000}, {48000.0f, 1, 1440000},
        {96000.0f, 1, 2880000},      {22050.0f, 1, 661500},    {44100.5f, 1, 1323015},
        {7999.9f, 0, 1323000},       {384000.1f, 0, 1323000},  {0.0f, 0, 1323000},
        {-48000.0f, 0, 1323000},     {inf, 0, 1323000},        {-inf, 0, 1323000},
        {std::nanf(""), 0, 1323000},
    };
    for (const RateCase& c : cases) {
        ASSERT_EQ(host->dispatch(10, 0, 0, nullptr, 44100.0f), 1);
        EXPECT_EQ(host->dispatch(52), 1323000);
        EXPECT_EQ(host->dispatch(10, 0, 0, nullptr, c.rate), c.accepted) << c.rate;
        EXPECT_EQ(host->dispatch(52), c.tail) << c.rate;
    }
}

TEST_F(PluginTest, CanDoAnswersExactTextsOnly) {
    const std::pair<const char*, intptr_t> cases[] = {
        {"receiveVstEvents", 1},
        {"receiveVstMidiEvent", 1},
        {"sendVstEvents", 1},
        {"sendVstMidiEvent", 1},
        {"receivevstmidievent", 0},
        {"ReceiveVstMidiEvent", 0},
        {"RECEIVEVSTEVENTS", 0},
        {"receiveVstMidiEvents", 0},
        {"receiveVstMidiEven", 0},
        {"sendVstMidiEvent ", 0},
        {" sendVstEvents", 0},
        {"", 0},
        {"sendVstTimeInfo", 0},
        {"receiveVstTimeInfo", 0},
        {"bypass", 0},
        {"midiProgramNames", 0},
        {"offline", 0},
    };
    for (const auto& [text, result] : cases) {
        std::string copy = text; // the plug-in may only read it
        EXPECT_EQ(host->dispatch(51, 0, 0, copy.data()), result) << '"' << text << '"';
        EXPECT_EQ(copy, text);
    }
}

// Open and resume tell the host that the plug-in wants MIDI; nothing else does.
TEST_F(PluginTest, WantMidiNotice) {
    host->clearLog();
    const std::pair<intptr_t, bool> resumes[] = {{1, true}, {7, true}, {-1, true}, {0, false}};
    for (const auto& [value, notice] : resumes) {
        host->clearLog();
        EXPECT_EQ(host->dispatch(12, 0, value), 1);
        const auto calls = host->calls(vst2::hostWantMidi);
        ASSERT_EQ(calls.size(), notice ? 1u : 0u) << "opcode 12 value " << value;
        if (notice) {
            EXPECT_EQ(calls[0].index, 0);
            EXPECT_EQ(calls[0].value, 1);
            EXPECT_EQ(calls[0].ptr, nullptr);
            EXPECT_EQ(calls[0].option, 0.0f);
            EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
        }
    }
    host->clearLog();
    EXPECT_EQ(host->dispatch(0), 1);
    EXPECT_EQ(host->calls(vst2::hostWantMidi).size(), 1u);
    host->clearLog();
    for (int32_t opcode : {71, 72, 2, 10, 11, 19, 49, 52})
        host->dispatch(opcode, 0, 0, nullptr, opcode == 10 ? 48000.0f : 0.0f);
    EXPECT_TRUE(host->calls().empty());
}

TEST_F(PluginTest, BlockSizeIsNotUsed) {
    ASSERT_EQ(host->dispatch(11, 0, 64), 1);
    host->process(4096); // larger than announced: still processed whole
    ASSERT_EQ(host->left().size(), 4096u);
    EXPECT_TRUE(audioSane(host->left()));
}

} // namespace
} // namespace dlltest
