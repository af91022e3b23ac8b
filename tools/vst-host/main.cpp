// velk-host: renders a short chord progression through a VST 2.4 plug-in DLL into
// a WAV file and prints the MIDI the plug-in sent back, one event per line.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/vst-host/editor_frame.hpp"
#include "tools/vst-host/host_instance.hpp"
#include "tools/vst-host/plugin_library.hpp"
#include "tools/vst-host/progression.hpp"
#include "tools/vst-host/schedule.hpp"
#include "tools/vst-host/wave_file.hpp"
#include "tools/vst-host/wine_path.hpp"

namespace {

const char* usage = "usage: velk-host render <plugin.dll> <out.wav> [options]\n"
                    "  --progression LIST  chord roots, one per bar (default C4,A3,F3,G3)\n"
                    "  --mode 0|1          input mode: 0 scale degrees, 1 real roots (default 1)\n"
                    "  --rate HZ           sample rate (default 48000)\n"
                    "  --bpm N             tempo answered to the plug-in (default 120)\n"
                    "  --block N           block size (default 512)\n"
                    "  --float             write 32-bit float instead of 16-bit PCM\n"
                    "usage: velk-host show <plugin.dll> <folder> [--keys LETTERS] [--name NAME]\n"
                    "  opens the plug-in's editor, holds the chord keys LETTERS (default A), then\n"
                    "  creates <folder>\\NAME.ready and waits up to 30 s for NAME.done (a\n"
                    "  screenshot taken from outside) before it releases the keys and closes\n";

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

const char* kind(uint8_t status) {
    switch (status & 0xF0) {
    case 0x80: return "note-off";
    case 0x90: return "note-on";
    default: return "other";
    }
}

int render(const std::vector<std::wstring>& args) {
    if (args.size() < 4) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string roots = "C4,A3,F3,G3";
    int mode = 1;
    double rate = 48000.0, bpm = 120.0;
    int block = 512;
    auto format = vsthost::WaveFormat::pcm16;
    for (size_t i = 4; i < args.size(); ++i) {
        const std::string a = narrow(args[i]);
        const bool hasValue = i + 1 < args.size();
        if (a == "--float")
            format = vsthost::WaveFormat::float32;
        else if (a == "--progression" && hasValue)
            roots = narrow(args[++i]);
        else if (a == "--mode" && hasValue)
            mode = std::stoi(narrow(args[++i]));
        else if (a == "--rate" && hasValue)
            rate = std::stod(narrow(args[++i]));
        else if (a == "--bpm" && hasValue)
            bpm = std::stod(narrow(args[++i]));
        else if (a == "--block" && hasValue)
            block = std::stoi(narrow(args[++i]));
        else {
            std::fprintf(stderr, "unknown option %s\n%s", a.c_str(), usage);
            return 2;
        }
    }
    if ((mode != 0 && mode != 1) || block < 1 || !(rate >= 8000 && rate <= 384000) || !(bpm > 0)) {
        std::fputs(usage, stderr);
        return 2;
    }

    const vsthost::Progression song = vsthost::progression(vsthost::parseRoots(roots), bpm, rate);
    vsthost::PluginLibrary library(vsthost::windowsPath(args[2]));
    vsthost::Host host(library);
    host.setTempo(vsthost::TempoAnswer::valid, bpm);
    host.start(rate, block);
    host.setParameter(6, mode / 2.0f); // "Entrada"
    vsthost::play(host, song.events, vsthost::uniformBlocks(song.frames, block));
    host.suspend();
    host.dispatch(vst2::op::stopProcessing);

    const auto& left = host.left();
    const auto& right = host.right();
    float peak = 0.0f;
    bool finite = true;
    for (size_t i = 0; i < left.size(); ++i) {
        finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    vsthost::writeFile(vsthost::windowsPath(args[3]),
                       vsthost::encodeWave(left, right, static_cast<uint32_t>(rate), format));

    std::printf("MIDI from the plug-in (sample, status, data 1, data 2):\n");
    for (const vsthost::OutputMidi& m : vsthost::outputMidi(host.received()))
        std::printf("%9lld  0x%02X %3u %3u  %s ch %d\n", static_cast<long long>(m.time), m.status, m.data1,
                    m.data2, kind(m.status), (m.status & 0x0F) + 1);
    std::printf("wrote %s: %zu frames at %.0f Hz, peak %.3f\n", narrow(args[3]).c_str(), left.size(), rate,
                peak);
    host.close();
    if (!finite || peak > 1.0f) {
        std::fprintf(stderr, "the plug-in produced samples outside -1..1 or not finite\n");
        return 1;
    }
    return 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int show(const std::vector<std::wstring>& args) {
    if (args.size() < 4) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::wstring keys = L"A", name = L"editor";
    for (size_t i = 4; i + 1 < args.size(); i += 2) {
        if (args[i] == L"--keys")
            keys = args[i + 1];
        else if (args[i] == L"--name")
            name = args[i + 1];
        else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    vsthost::PluginLibrary library(vsthost::windowsPath(args[2]));
    vsthost::Host host(library);
    host.keepAudio(false);
    host.start();
    vsthost::EditorFrame frame(host);
    if (frame.open() != 1 || !frame.editor()) {
        std::fprintf(stderr, "velk-host: the plug-in opened no editor\n");
        return 1;
    }
    HWND editor = frame.editor();
    frame.pump(300);
    for (wchar_t key : keys)
        vsthost::sendKey(editor, WM_KEYDOWN, static_cast<UINT>(key));
    frame.pump(700);

    const std::wstring folder = vsthost::windowsPath(args[3]);
    const std::wstring ready = folder + L"\\" + name + L".ready", done = folder + L"\\" + name + L".done";
    DeleteFileW(done.c_str());
    CloseHandle(CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int waited = 0; waited < 300 && !exists(done); ++waited)
        frame.pump(100);
    const bool shot = exists(done);
    DeleteFileW(done.c_str());

    for (wchar_t key : keys)
        vsthost::sendKey(editor, WM_KEYUP, static_cast<UINT>(key));
    frame.pump(100);
    std::printf("MIDI from the plug-in while the keys %s were held:\n", narrow(keys).c_str());
    for (const vsthost::OutputMidi& m : vsthost::outputMidi(host.received()))
        std::printf("  0x%02X %3u %3u  %s\n", m.status, m.data1, m.data2, kind(m.status));
    frame.close();
    if (!shot) {
        std::fprintf(stderr, "velk-host: nobody took the screenshot\n");
        return 1;
    }
    return 0;
}

} // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    try {
        if (args.size() >= 2 && args[1] == L"render") return render(args);
        if (args.size() >= 2 && args[1] == L"show") return show(args);
        std::fputs(usage, stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velk-host: %s\n", e.what());
        return 1;
    }
}
