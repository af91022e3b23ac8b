// WAV decoding: sox-written files against sox's own read-back, built images for
// every refusal and odd layout, file reading, and the WAV path filter.
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "plugin/media/wave.hpp"
#include "tests/support/media_support.hpp"

using namespace velktest;
using palmtone::decodeWave;
using palmtone::isWavePath;
using palmtone::loadWave;

namespace {

const char* const badRiff = "Elige un archivo WAV RIFF valido";
const char* const incomplete = "El archivo WAV esta incompleto";
const char* const noAudio = "Faltan datos de audio en el WAV";
const char* const badBlock = "El archivo WAV tiene un bloque incompleto";
const char* const badExtensible = "Formato WAV extensible no compatible";
const char* const badFormat = "Usa WAV mono o estereo PCM de 8/16/24/32 bits, o float de 32/64 bits";
const char* const badLength = "El one shot debe durar entre 2 muestras y 30 segundos";
const char* const badSamples = "El WAV contiene muestras no validas";

// The message decodeWave refuses with, or "" when it decodes.
std::string refusal(const Bytes& bytes) {
    try {
        decodeWave(bytes, L"x");
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

std::string loadRefusal(const std::wstring& path) {
    try {
        loadWave(path);
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

// The bins the decoder must produce for the channels it returned.
void expectPeaks(const palmtone::SampleData& s) {
    float peaks[96] = {};
    const size_t frames = s.left.size();
    for (size_t i = 0; i < frames; ++i) {
        const size_t k = i * 96 / frames;
        peaks[k] = std::max(peaks[k], std::fabs(s.left[i]));
        if (!s.right.empty()) peaks[k] = std::max(peaks[k], std::fabs(s.right[i]));
    }
    for (int k = 0; k < 96; ++k)
        EXPECT_EQ(s.peaks[k], peaks[k]) << "bin " << k;
}

struct FixtureLine {
    std::string name, expect;
    double rate;
    size_t channels;
};

std::vector<FixtureLine> manifest() {
    std::ifstream in(std::filesystem::path(hostPath(fixtureDir() + "/manifest.txt")));
    std::vector<FixtureLine> lines;
    FixtureLine l;
    while (in >> l.name >> l.expect >> l.rate >> l.channels)
        lines.push_back(l);
    return lines;
}

std::vector<float> soxFloats(const std::string& name) {
    const Bytes raw = readBytes(fixtureDir() + "/" + name + ".f32");
    std::vector<float> v(raw.size() / 4);
    std::memcpy(v.data(), raw.data(), v.size() * 4);
    return v;
}

} // namespace

TEST(DecodeWave, MatchesSoxReadBackForEveryFormatAndRate) {
    const std::vector<FixtureLine> lines = manifest();
    ASSERT_GE(lines.size(), 40u) << "fixtures missing in " << fixtureDir();
    for (const FixtureLine& f : lines) {
        SCOPED_TRACE(f.name);
        const std::wstring path = hostPath(fixtureDir() + "/" + f.name + ".wav");
        if (f.expect != "ok") {
            EXPECT_EQ(loadRefusal(path), f.expect == "format" ? badFormat : badLength);
            continue;
        }
        const auto s = loadWave(path);
        EXPECT_EQ(s->name, std::wstring(f.name.begin(), f.name.end()));
        EXPECT_EQ(s->sampleRate, f.rate);
        EXPECT_FALSE(s->hasRoot);
        EXPECT_EQ(s->rootNote, 60);
        EXPECT_EQ(s->serial, 0);
        EXPECT_EQ(asVector(s->file), readBytes(fixtureDir() + "/" + f.name + ".wav"));
        EXPECT_EQ(s->right.empty(), f.channels == 1);

        const std::vector<float> sox = soxFloats(f.name);
        ASSERT_EQ(s->left.size() * f.channels, sox.size());
        // sox rounds 32-bit integers and doubles to float its own way, a few units
        // of 2^-26 off the nearest float; every other format must agree exactly.
        const bool soxRounds = f.name.rfind("s32", 0) == 0 || f.name.rfind("f64", 0) == 0;
        const double tolerance = soxRounds ? std::ldexp(1.0, -24) : 0.0;
        size_t mismatches = 0;
        for (size_t i = 0; i < s->left.size(); ++i) {
            mismatches += std::fabs(s->left[i] - sox[i * f.channels]) > tolerance;
            if (f.channels == 2) mismatches += std::fabs(s->right[i] - sox[i * 2 + 1]) > tolerance;
        }
        EXPECT_EQ(mismatches, 0u);
        expectPeaks(*s);
    }
}

TEST(DecodeWave, RefusesEachBrokenImageWithItsMessage) {
    const Bytes fmt16 = fmtData(1, 1, 48000, 16);
    const Bytes twoFrames = {1, 0, 2, 0};
    const Bytes valid = riff({{"fmt ", fmt16}, {"data", twoFrames}});
    uint8_t otherTail[12];
    std::memcpy(otherTail, standardTail, 12);
    otherTail[11] ^= 1;

    auto withRiffSize = [](Bytes b, uint32_t size) {
        b[4] = uint8_t(size);
        b[5] = uint8_t(size >> 8);
        b[6] = uint8_t(size >> 16);
        b[7] = uint8_t(size >> 24);
        return b;
    };
    Bytes notRiff = valid;
    notRiff[0] = 'r';
    Bytes notWave = valid;
    notWave[11] = 'e';
    // A header whose chunk size would wrap a 32-bit offset.
    Bytes huge = riff({{"fmt ", fmt16}, {"JUNK", Bytes(8, 0)}, {"data", twoFrames}});
    huge[36 + 4] = huge[36 + 5] = huge[36 + 6] = huge[36 + 7] = 0xFF;

    const struct {
        const char* what;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"43 bytes", truncated(valid, 43), badRiff},
        {"no RIFF", notRiff, badRiff},
        {"no WAVE", notWave, badRiff},
        {"RIFF size 3", padded(withRiffSize(valid, 3), 8), incomplete},
        {"RIFF size one past the image", withRiffSize(valid, uint32_t(valid.size() - 7)), incomplete},
        {"RIFF size near 2^32", withRiffSize(valid, 0xFFFFFFF8u), incomplete},
        {"RIFF size 11", padded(withRiffSize(valid, 11), 0), noAudio},
        {"chunk past the RIFF chunk", huge, badBlock},
        {"data past the RIFF chunk",
         withRiffSize(padded(riff({{"fmt ", fmt16}, {"data", twoFrames}}), 2), 39), badBlock},
        {"no fmt", riff({{"data", Bytes(40, 0)}}), noAudio},
        {"no data", riff({{"fmt ", fmt16}, {"JUNK", Bytes(20, 0)}}), noAudio},
        {"fmt of 15 bytes", riff({{"fmt ", Bytes(fmt16.begin(), fmt16.end() - 1)}, {"data", Bytes(20, 0)}}),
         noAudio},
        {"last fmt too small", riff({{"fmt ", fmt16}, {"data", twoFrames}, {"fmt ", Bytes(14, 0)}}), noAudio},
        // The short extensible "fmt " ends the image: reading 40 bytes would overrun.
        {"extensible fmt of 39 bytes",
         riff({{"data", twoFrames}, {"fmt ", truncated(extensibleFmtData(1, 1, 48000, 16), 39), false}}),
         badExtensible},
        {"extensible fmt of 18 bytes",
         riff({{"data", twoFrames}, {"fmt ", truncated(extensibleFmtData(1, 1, 48000, 16), 18)}}),
         badExtensible},
        {"extension size 21", riff({{"fmt ", extensibleFmtData(1, 1, 48000, 16, 21)}, {"data", twoFrames}}),
         badExtensible},
        {"other GUID tail",
         riff({{"fmt ", extensibleFmtData(1, 1, 48000, 16, 22, otherTail)}, {"data", twoFrames}}),
         badExtensible},
        {"extensible code 2", riff({{"fmt ", extensibleFmtData(2, 1, 48000, 16)}, {"data", twoFrames}}),
         badFormat},
        {"rate 7999", riff({{"fmt ", fmtData(1, 1, 7999, 16)}, {"data", twoFrames}}), badFormat},
        {"rate 192001", riff({{"fmt ", fmtData(1, 1, 192001, 16)}, {"data", twoFrames}}), badFormat},
        {"0 channels", riff({{"fmt ", fmtData(1, 0, 48000, 16)}, {"data", twoFrames}}), badFormat},
        {"3 channels", riff({{"fmt ", fmtData(1, 3, 48000, 16)}, {"data", Bytes(12, 0)}}), badFormat},
        {"tag 2", riff({{"fmt ", fmtData(2, 1, 48000, 16)}, {"data", twoFrames}}), badFormat},
        {"12-bit PCM", riff({{"fmt ", fmtData(1, 1, 48000, 12, 2)}, {"data", twoFrames}}), badFormat},
        {"16-bit float", riff({{"fmt ", fmtData(3, 1, 48000, 16)}, {"data", twoFrames}}), badFormat},
        {"24-bit float", riff({{"fmt ", fmtData(3, 1, 48000, 24)}, {"data", Bytes(6, 0)}}), badFormat},
        {"block align 3", riff({{"fmt ", fmtData(1, 1, 48000, 16, 3)}, {"data", Bytes(6, 0)}}), badFormat},
        {"data of 5 bytes", riff({{"fmt ", fmt16}, {"data", Bytes(5, 0)}}), badFormat},
        {"empty data", riff({{"fmt ", fmt16}, {"data", {}}}), badLength},
        {"one frame", riff({{"fmt ", fmt16}, {"data", {0, 0}}, {"JUNK", Bytes(4, 0)}}), badLength},
        {"30 s and one frame at 8000 Hz",
         riff({{"fmt ", fmtData(1, 1, 8000, 8)}, {"data", Bytes(240001, 128)}}), badLength},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusal(c.bytes), c.message) << c.what;
}

TEST(DecodeWave, RefusesNonFiniteFloatsAsAWhole) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Bytes f32;
    for (float v : {0.0f, 0.5f, nan, 0.25f})
        putF32(f32, v);
    Bytes f64;
    for (double v : {0.0, -inf})
        putF64(f64, v);
    EXPECT_EQ(refusal(riff({{"fmt ", fmtData(3, 1, 48000, 32)}, {"data", f32}})), badSamples);
    EXPECT_EQ(refusal(riff({{"fmt ", fmtData(3, 1, 48000, 64)}, {"data", f64}})), badSamples);
}

TEST(DecodeWave, ConvertsEachFormatAtItsLimits) {
    Bytes u8 = {0, 255, 128};
    Bytes s16;
    for (int v : {-32768, 32767, 0})
        put16(s16, uint16_t(v));
    const Bytes s24 = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF};
    Bytes s32;
    for (uint32_t v : {0x80000000u, 0x7FFFFFFFu, 0x40000000u})
        put32(s32, v);
    Bytes f32;
    for (float v : {1.5f, -2.0f, -0.25f})
        putF32(f32, v);
    Bytes f64;
    for (double v : {1e300, -0.125, 0.1})
        putF64(f64, v);

    const struct {
        uint32_t tag, bits;
        Bytes data;
        float expected[3];
    } cases[] = {
        {1, 8, u8, {-1.0f, 0.9921875f, 0.0f}},
        {1, 16, s16, {-1.0f, 32767.0f / 32768.0f, 0.0f}},
        {1, 24, s24, {-1.0f, float(8388607.0 / 8388608.0), float(-1.0 / 8388608.0)}},
        {1, 32, s32, {-1.0f, float(2147483647.0 / 2147483648.0), 0.5f}},
        {3, 32, f32, {1.0f, -1.0f, -0.25f}},
        {3, 64, f64, {1.0f, -0.125f, float(0.1)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        const Bytes image = riff({{"fmt ", fmtData(c.tag, 1, 44100, c.bits)}, {"data", c.data}});
        const auto s = decodeWave(image, L"limits");
        ASSERT_EQ(s->left.size(), 3u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(s->left[i], c.expected[i]) << i;
        EXPECT_TRUE(s->right.empty());
        EXPECT_EQ(asVector(s->file), image);
        EXPECT_EQ(s->name, L"limits");
    }
}

TEST(DecodeWave, ExtensibleStandardSubFormatsDecode) {
    Bytes pcm;
    for (int v : {16384, -16384})
        put16(pcm, uint16_t(v));
    Bytes ieee;
    for (float v : {0.5f, -0.5f, 0.25f, -0.25f})
        putF32(ieee, v);
    const auto a = decodeWave(riff({{"fmt ", extensibleFmtData(1, 1, 48000, 16)}, {"data", pcm}}), L"a");
    EXPECT_EQ(asVector(a->left), (std::vector<float>{0.5f, -0.5f}));
    const auto b = decodeWave(riff({{"fmt ", extensibleFmtData(3, 2, 96000, 32)}, {"data", ieee}}), L"b");
    EXPECT_EQ(asVector(b->left), (std::vector<float>{0.5f, 0.25f}));
    EXPECT_EQ(asVector(b->right), (std::vector<float>{-0.5f, -0.25f}));
    EXPECT_EQ(b->sampleRate, 96000.0);
}

TEST(DecodeWave, WalksChunksAsTheFormatSays) {
    const Bytes fmt8 = fmtData(1, 1, 8000, 8);
    const Bytes fmt16 = fmtData(1, 1, 48000, 16);
    const Bytes a = {0, 64, 255};       // 8-bit: -1, -0.5, 0.9921875
    const Bytes b = {0, 0x40, 0, 0xC0}; // 16-bit: 0.5, -0.5
    struct Expect {
        size_t frames;
        float first;
        double rate;
        int32_t root;
        bool hasRoot;
    };
    const struct {
        const char* what;
        Bytes bytes;
        Expect expect;
    } cases[] = {
        {"the last fmt counts",
         riff({{"fmt ", fmt16}, {"data", a}, {"fmt ", fmt8}}),
         {3, -1.0f, 8000, 60, false}},
        {"the first data counts",
         riff({{"fmt ", fmt16}, {"data", b}, {"data", {0, 0}}}),
         {2, 0.5f, 48000, 60, false}},
        {"an empty first data counts",
         riff({{"fmt ", fmt16}, {"data", {}}, {"data", b}}),
         {0, 0, 0, 0, false}},
        {"odd chunk then its pad byte",
         riff({{"fmt ", fmt16}, {"LIST", {1, 2, 3}}, {"data", b}}),
         {2, 0.5f, 48000, 60, false}},
        {"odd data ends the RIFF chunk without its pad",
         riff({{"fmt ", fmt8}, {"data", a, false}}),
         {3, -1.0f, 8000, 60, false}},
        {"smpl unity 48",
         riff({{"fmt ", fmt16}, {"smpl", smplData(48)}, {"data", b}}),
         {2, 0.5f, 48000, 48, true}},
        {"smpl unity 127",
         riff({{"fmt ", fmt16}, {"data", b}, {"smpl", smplData(127, 60)}}),
         {2, 0.5f, 48000, 127, true}},
        {"smpl of 35 bytes",
         riff({{"fmt ", fmt16}, {"smpl", smplData(48, 35)}, {"data", b}}),
         {2, 0.5f, 48000, 60, false}},
        {"smpl unity 128",
         riff({{"fmt ", fmt16}, {"smpl", smplData(128)}, {"data", b}}),
         {2, 0.5f, 48000, 60, false}},
        {"a later valid smpl replaces",
         riff({{"fmt ", fmt16}, {"smpl", smplData(40)}, {"data", b}, {"smpl", smplData(50)}}),
         {2, 0.5f, 48000, 50, true}},
        {"a later invalid smpl changes nothing",
         riff({{"fmt ", fmt16}, {"smpl", smplData(40)}, {"smpl", smplData(0x100)}, {"data", b}}),
         {2, 0.5f, 48000, 40, true}},
        {"identifiers are case-sensitive",
         riff({{"fmt ", fmt16}, {"DATA", a}, {"SMPL", smplData(40)}, {"data", b}}),
         {2, 0.5f, 48000, 60, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.expect.frames == 0) {
            EXPECT_EQ(refusal(c.bytes), badLength);
            continue;
        }
        const auto s = decodeWave(c.bytes, L"walk");
        EXPECT_EQ(s->left.size(), c.expect.frames);
        EXPECT_EQ(s->left[0], c.expect.first);
        EXPECT_EQ(s->sampleRate, c.expect.rate);
        EXPECT_EQ(s->rootNote, c.expect.root);
        EXPECT_EQ(s->hasRoot, c.expect.hasRoot);
    }
}

TEST(DecodeWave, KeepsBytesAfterTheRiffChunkUnread) {
    // What follows the RIFF chunk looks like a broken chunk; it is never walked.
    Bytes image = pcm16Mono({100, 200});
    for (int v : {int('J'), int('U'), int('N'), int('K'), 0xFF, 0xFF, 0xFF, 0xFF, 7})
        image.push_back(uint8_t(v));
    const auto s = decodeWave(image, L"tail");
    EXPECT_EQ(asVector(s->file), image);
    EXPECT_EQ(s->left.size(), 2u);
}

TEST(DecodeWave, OwnedAndBorrowedBytesDecodeAlikeAcrossManyPieces) {
    // A borrowed image (a state chunk's) is copied and converted piece by piece;
    // an owned one (a file's) in one go. 50,000 24-bit stereo frames span several
    // pieces, whose ends fall inside peak bins; odd chunks lie before and after.
    std::mt19937 random(11);
    Bytes frames(50000 * 6);
    for (uint8_t& b : frames)
        b = uint8_t(random());
    const Bytes image = riff(
        {{"LIST", {1, 2, 3}}, {"fmt ", fmtData(1, 2, 96000, 24)}, {"data", frames}, {"smpl", smplData(72)}});
    const auto borrowed = decodeWave(image.data(), image.size(), L"b");
    const auto owned = decodeWave(palmtone::WaveImage(image.begin(), image.end()), L"o");
    EXPECT_EQ(asVector(borrowed->file), image);
    EXPECT_EQ(asVector(owned->file), image);
    EXPECT_EQ(asVector(borrowed->left), asVector(owned->left));
    EXPECT_EQ(asVector(borrowed->right), asVector(owned->right));
    EXPECT_EQ(borrowed->rootNote, 72);
    expectPeaks(*borrowed);
    expectPeaks(*owned);

    // A NaN in the last frame refuses both, however much was converted before.
    Bytes floats;
    for (int i = 0; i < 40000; ++i)
        putF32(floats, i == 39999 ? std::nanf("") : 0.5f);
    const Bytes bad = riff({{"fmt ", fmtData(3, 1, 48000, 32)}, {"data", floats}});
    EXPECT_EQ(refusal(bad), badSamples);
    EXPECT_THROW(decodeWave(palmtone::WaveImage(bad.begin(), bad.end()), L"o"), std::runtime_error);
}

TEST(DecodeWave, AcceptsThirtySecondsAtTheLowestRate) {
    const auto s =
        decodeWave(riff({{"fmt ", fmtData(1, 1, 8000, 8)}, {"data", Bytes(240000, 128)}}), L"long");
    EXPECT_EQ(s->left.size(), 240000u);
}

TEST(DecodeWave, PeaksTakeTheLouderChannelPerBin) {
    // 192 stereo frames, two per bin; the right channel is louder in bin 10 only.
    Bytes data;
    for (int i = 0; i < 192; ++i) {
        const int left = i == 7 ? -20000 : 1000 * (i % 5);
        const int right = (i == 21 ? 30000 : 500);
        put16(data, uint16_t(left));
        put16(data, uint16_t(right));
    }
    const auto s = decodeWave(riff({{"fmt ", fmtData(1, 2, 48000, 16)}, {"data", data}}), L"p");
    expectPeaks(*s);
    EXPECT_EQ(s->peaks[10], 30000.0f / 32768.0f);
    EXPECT_EQ(s->peaks[3], 20000.0f / 32768.0f);
}

TEST(DecodeWave, TwoFramesFillBinsZeroAndFortyEight) {
    const auto s = decodeWave(pcm16Mono({-8192, 16384}), L"two");
    for (int k = 0; k < 96; ++k) {
        const float expected = k == 0 ? 0.25f : (k == 48 ? 0.5f : 0.0f);
        EXPECT_EQ(s->peaks[k], expected) << k;
    }
}

TEST(DecodeWave, RefusesImagesOutsideTheSizeLimits) {
    Bytes big = riff({{"fmt ", fmtData(1, 1, 48000, 16)}, {"data", {0, 0, 0, 0}}});
    big.resize(palmtone::maxWaveBytes + 1, 0);
    EXPECT_EQ(refusal(big), badRiff);
    // 64 MiB exactly is accepted, however much of it is padding.
    big.resize(palmtone::maxWaveBytes);
    EXPECT_EQ(refusal(big), "");
}

TEST(LoadWave, ReadsAndRefusesFiles) {
    const std::string dir = scratchDir("load_wave");
    const Bytes small = pcm16Mono({1, 2, 3});
    writeBytes(dir + "/Take.One.wav", small);
    writeBytes(dir + "/short.wav", Bytes(small.begin(), small.begin() + 43));
    Bytes exact = small;
    exact.resize(palmtone::maxWaveBytes, 0);
    writeBytes(dir + "/exact.wav", exact);
    exact.push_back(0);
    writeBytes(dir + "/over.wav", exact);
    writeBytes(dir + "/broken.wav", Bytes(small.begin(), small.end() - 1));
    std::filesystem::create_directories(std::filesystem::path(hostPath(dir + "/folder.wav")));

    const auto s = loadWave(hostPath(dir + "/Take.One.wav"));
    EXPECT_EQ(s->name, L"Take.One");
    EXPECT_EQ(asVector(s->file), small);
    EXPECT_EQ(loadWave(hostPath(dir + "/exact.wav"))->file.size(), palmtone::maxWaveBytes);

    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {dir + "/missing.wav", "No se pudo abrir ese WAV"},
        {dir + "/folder.wav", "No se pudo abrir ese WAV"},
        {dir + "/short.wav", "El WAV debe ocupar menos de 64 MB"},
        {dir + "/over.wav", "El WAV debe ocupar menos de 64 MB"},
        {dir + "/broken.wav", incomplete},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadRefusal(hostPath(c.path)), c.message) << c.path;
    // A zero inside the path would name a different file.
    std::wstring withZero = hostPath(dir + "/Take.One.wav");
    withZero.insert(withZero.size() - 4, 1, L'\0');
    EXPECT_EQ(loadRefusal(withZero), "No se pudo abrir ese WAV");
}

TEST(IsWavePath, AcceptsAbsoluteDriveAndNetworkPathsEndingInWav) {
    const struct {
        std::wstring path;
        bool accepted;
    } cases[] = {
        {L"C:\\Samples\\kick.wav", true},
        {L"c:/samples/kick.WAV", true},
        {L"D:\\a.WaV", true},
        {L"\\\\server\\share\\kick.wav", true},
        {L"//server/share/kick.Wav", true},
        {L"\\\\?\\C:\\long\\kick.wav", true},
        {L"C:\\x.y.wav", true},
        {L"", false},
        {L"kick.wav", false},
        {L"Samples\\kick.wav", false},
        {L"\\Samples\\kick.wav", false},
        {L"C:kick.wav", false},
        {L"1:\\kick.wav", false},
        {L"\\\\\\server\\kick.wav", false},
        {L"\\\\server.wav", false},
        {L"C:\\kick.wavs", false},
        {L"C:\\kick.wa", false},
        {L"C:\\kick.wav\\", false},
        {L"C:\\.wav", false},
        {L"C:\\kick", false},
        {L"C:\\kick.wav.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isWavePath(c.path), c.accepted) << std::string(c.path.begin(), c.path.end());

    std::wstring longest = L"C:\\" + std::wstring(32767 - 7, L'a') + L".wav";
    ASSERT_EQ(longest.size(), 32767u);
    EXPECT_TRUE(isWavePath(longest));
    EXPECT_FALSE(isWavePath(L"a" + longest));
}
