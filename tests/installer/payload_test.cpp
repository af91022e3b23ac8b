// The installer's payload as committed in payload/: the fixed WAV layout, the
// level and timing of each one-shot, its pitch (measured), the plug-in's own
// decoder reading it with root note 60, and the read-me's exact bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/media/wave.hpp"

namespace {

std::vector<uint8_t> readFile(const std::string& name) {
    std::ifstream in(std::string(VELK_SOURCE_DIR) + "/payload/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b[at + i];
    return v;
}

std::string text(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

struct OneShot {
    const char* file;
    uint32_t frames;
    double peak;       // of full scale
    double peakFromMs; // where the largest sample may lie
    double peakToMs;
};

const OneShot oneShots[] = {
    {"VELK_Bell_C4.wav", 124800, 0.70, 0.0, 16.0},
    {"VELK_Pluck_C4.wav", 76800, 0.76, 0.0, 7.0},
    {"VELK_Soft_C4.wav", 100800, 0.66, 30.0, 45.0},
};

std::vector<double> samples(const std::vector<uint8_t>& b) {
    std::vector<double> out;
    for (size_t at = 88; at + 1 < b.size(); at += 2)
        out.push_back(static_cast<int16_t>(le(b, at, 2)) / 32768.0);
    return out;
}

// Magnitude of one frequency over a Hann-windowed stretch (Goertzel).
double magnitude(const std::vector<double>& s, size_t count, double hertz) {
    const double pi = 3.14159265358979323846;
    const double w = 2.0 * pi * hertz / 48000.0;
    const double c = 2.0 * std::cos(w);
    double a = 0.0, b = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * i / (count - 1));
        const double next = s[i] * hann + c * a - b;
        b = a;
        a = next;
    }
    return std::sqrt(a * a + b * b - c * a * b);
}

double strongest(const std::vector<double>& s, size_t count, double from, double to, double step) {
    double best = from, bestMagnitude = -1.0;
    for (double f = from; f <= to; f += step) {
        const double m = magnitude(s, count, f);
        if (m > bestMagnitude) {
            bestMagnitude = m;
            best = f;
        }
    }
    return best;
}

TEST(Payload, OneShotsHaveTheFixedLayout) {
    for (const OneShot& o : oneShots) {
        SCOPED_TRACE(o.file);
        const std::vector<uint8_t> b = readFile(o.file);
        ASSERT_EQ(b.size(), 88 + 2 * o.frames);
        EXPECT_EQ(text(b, 0), "RIFF");
        EXPECT_EQ(le(b, 4, 4), b.size() - 8);
        EXPECT_EQ(text(b, 8), "WAVE");
        EXPECT_EQ(text(b, 12), "fmt ");
        const uint32_t fields[][3] = {
            {16, 4, 16}, {20, 2, 1},  {22, 2, 1}, {24, 4, 48000}, {28, 4, 96000}, {32, 2, 2},
            {34, 2, 16}, {40, 4, 36}, {44, 4, 0}, {48, 4, 0},     {52, 4, 20833}, {56, 4, 60},
            {60, 4, 0},  {64, 4, 0},  {68, 4, 0}, {72, 4, 0},     {76, 4, 0},     {84, 4, 2 * o.frames},
        };
        for (const auto& f : fields)
            EXPECT_EQ(le(b, f[0], static_cast<int>(f[1])), f[2]) << "at offset " << f[0];
        EXPECT_EQ(text(b, 36), "smpl");
        EXPECT_EQ(text(b, 80), "data");
    }
}

TEST(Payload, OneShotsPeakEarlyAndEndInSilence) {
    for (const OneShot& o : oneShots) {
        SCOPED_TRACE(o.file);
        const std::vector<double> s = samples(readFile(o.file));
        ASSERT_EQ(s.size(), o.frames);
        size_t at = 0;
        for (size_t i = 0; i < s.size(); ++i)
            if (std::fabs(s[i]) > std::fabs(s[at])) at = i;
        EXPECT_NEAR(std::fabs(s[at]), o.peak, 0.01);
        const double ms = at / 48.0;
        EXPECT_GE(ms, o.peakFromMs);
        EXPECT_LE(ms, o.peakToMs);
        EXPECT_EQ(s.front(), 0.0);
        for (size_t i = s.size() - 240; i < s.size(); ++i)
            ASSERT_EQ(s[i], 0.0) << "frame " << i;
        // Faded gradually: the last tenth of a second is already quiet.
        for (size_t i = s.size() - 4800; i < s.size(); ++i)
            ASSERT_LT(std::fabs(s[i]), 0.02) << "frame " << i;
    }
}

TEST(Payload, OneShotsSoundC4) {
    const double c4 = 261.6256;
    for (const OneShot& o : oneShots) {
        SCOPED_TRACE(o.file);
        const std::vector<double> s = samples(readFile(o.file));
        const size_t count = 24000; // the first half second
        EXPECT_NEAR(strongest(s, count, 50.0, 1000.0, 1.0), c4, 2.0);
        EXPECT_NEAR(strongest(s, count, c4 - 4.0, c4 + 4.0, 0.05), c4, 0.3);
        // Nothing below the fundamental: it is the lowest partial.
        const double fundamental = magnitude(s, count, c4);
        EXPECT_LT(magnitude(s, count, strongest(s, count, 40.0, 230.0, 1.0)), 0.05 * fundamental);
    }
}

TEST(Payload, PluginDecoderReadsRootNote60) {
    for (const OneShot& o : oneShots) {
        SCOPED_TRACE(o.file);
        std::vector<uint8_t> bytes = readFile(o.file);
        const std::vector<double> s = samples(bytes);
        const auto sample = palmtone::decodeWave(bytes, L"one-shot");
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->rootNote, 60);
        EXPECT_TRUE(sample->hasRoot);
        EXPECT_EQ(sample->sampleRate, 48000.0);
        EXPECT_TRUE(sample->right.empty());
        ASSERT_EQ(sample->left.size(), o.frames);
        for (size_t i = 0; i < s.size(); i += 997)
            ASSERT_NEAR(sample->left[i], s[i], 1.0 / 32768) << "frame " << i;
    }
}

TEST(Payload, ReadMeIsExact) {
    const char* lines[] = {
        "VELK beta 1.3.0 \u2014 Windows de 64 bits \u2014 VST2",
        "",
        "El instalador copia VELK beta.dll y tres WAV en la carpeta elegida.",
        "No modifica el registro, los proyectos de tu DAW ni los plugins anteriores.",
        "No instala servicios ni se conecta a Internet. No requiere administrador.",
        "",
        "FL Studio: Options > Manage plugins > a\u00f1ade la carpeta de VELK beta >",
        "Verify plugins > Find installed plugins. \u00c1brelo como instrumento VELK beta.",
        "",
        "Teclado: A S D F G H J K. Selecciona tonalidad, escala y tipo de acorde.",
        "Grabar incluye cuenta audible 3, 2, 1. Detener finaliza o cancela la cuenta.",
        "Guarda o arrastra el MIDI antes de cerrar para conservar tu toma.",
        "Usa solo one shots propios o con permiso. Quitar un sonido de la biblioteca",
        "no elimina tu WAV original. Los ejemplos incluidos est\u00e1n afinados en C4.",
        "",
        "La instalaci\u00f3n en VST2 x64 est\u00e1 verificada mediante pruebas autom\u00e1ticas.",
        "La revisi\u00f3n de funcionamiento dentro de cada DAW, incluido FL Studio,",
        "sigue siendo necesaria. No se garantiza compatibilidad con todos los hosts.",
        "Este instalador no est\u00e1 firmado digitalmente. No se presenta como VST3.",
        "",
        "Desinstalaci\u00f3n manual: cierra tu DAW, conserva tus archivos personales y",
        "elimina \u00fanicamente la carpeta VELK beta que elegiste al instalar.",
        "",
        "Web y novedades: https://velk.example/beta",
    };
    std::string expected;
    for (const char* line : lines)
        expected += std::string(line) + "\n";
    const std::vector<uint8_t> b = readFile("LEEME-VELK.txt");
    EXPECT_EQ(std::string(b.begin(), b.end()), expected);
}

} // namespace
