// VELK.Beta.Setup: writes the plug-in, its three one-shots and the read-me,
// all embedded as resources, into one folder of the user's choice, from a
// small window or from the command line. One thread does everything, and
// nothing is kept between runs: no registry, no shortcut, no record.
//
// Command line: --verify (the package check only: 0 or 2), --extract-test
// FOLDER (installs without a window and replaces nothing: 0 or 3), anything
// else opens the window (0, 2 or 4).
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

#include "installer/package.hpp"
#include "installer/payload_writer.hpp"
#include "installer/setup_window_win32.hpp"

namespace {

// --extract-test FOLDER: 0 when all five files were written, else 3.
int extractTest(const wchar_t* text) {
    try {
        std::wstring error;
        return setup::extract(setup::targetFolder(text), false, error) ? 0 : 3;
    } catch (...) {
        return 3;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) count = 0;
    if (count >= 2 && std::wcscmp(arguments[1], L"--verify") == 0) {
        LocalFree(arguments);
        return setup::verifyPackage() ? 0 : 2;
    }
    if (count == 3 && std::wcscmp(arguments[1], L"--extract-test") == 0) {
        const int code = extractTest(arguments[2]);
        LocalFree(arguments);
        return code;
    }
    LocalFree(arguments);
    return setup::runWindow(instance, show);
}
