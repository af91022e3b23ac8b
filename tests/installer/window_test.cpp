// The installer's window as a person meets it, driven from outside under Wine:
// the controls, the install flow with its message boxes, the status text and
// the button state, refusals, a failed rename, incomplete packages and the
// command lines that open the window.
//
// Arguments: --setup EXE --plugin FILE --payload DIR --work DIR
//            [--shots DIR] [--incomplete EXE]... (Linux paths)
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/window_probe.hpp"

namespace {

std::wstring setupProgram, pluginFile, payloadFolder, workFolder, shotsFolder;
std::vector<std::wstring> incompletePrograms;

const wchar_t* const installedFiles[][2] = {
    {L"VELK beta.dll", nullptr}, // compared with the plug-in file
    {L"One_Shots\\VELK_Bell_C4.wav", L"VELK_Bell_C4.wav"},
    {L"One_Shots\\VELK_Pluck_C4.wav", L"VELK_Pluck_C4.wav"},
    {L"One_Shots\\VELK_Soft_C4.wav", L"VELK_Soft_C4.wav"},
    {L"LEEME-VELK.txt", L"LEEME-VELK.txt"},
};

std::vector<char> source(size_t row) {
    return velktest::fileBytes(installedFiles[row][1] ? payloadFolder + L"\\" + installedFiles[row][1]
                                                      : pluginFile);
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder under the work folder (removed by the wrapper script first).
std::wstring folder(const wchar_t* name) {
    const std::wstring path = workFolder + L"\\" + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void writeFile(const std::wstring& path, const char* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(std::strlen(bytes)), &written, nullptr);
    CloseHandle(file);
}

FILETIME modified(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void expectInstalled(const std::wstring& installFolder) {
    for (size_t row = 0; row < 5; ++row) {
        const std::wstring path = installFolder + L"\\" + installedFiles[row][0];
        EXPECT_TRUE(velktest::fileBytes(path) == source(row)) << "differs: " << testing::PrintToString(path);
        EXPECT_FALSE(exists(path + L".velk-new"));
    }
}

std::wstring successText(const std::wstring& installFolder) {
    return L"VELK beta está instalado en:\n" + installFolder +
           L"\n\nEn FL Studio:\nOptions > Manage plugins > añade esta carpeta > Find installed plugins.\n\n"
           L"Es VST2 para Windows de 64 bits, no VST3.\nLos proyectos con versiones anteriores no se "
           L"modifican.\n\n"
           L"Para desinstalar: cierra el DAW y elimina únicamente esta carpeta VELK beta, conservando antes "
           L"tus "
           L"archivos personales.";
}

const wchar_t updateQuestion[] =
    L"Se actualizarán solo los archivos de VELK incluidos en este instalador. Cierra tu "
    L"DAW antes de continuar. ¿Actualizar?";
const wchar_t readyStatus[] = L"Elige una carpeta y pulsa Instalar.";
const wchar_t installedStatus[] = L"Instalado. Añade esta carpeta al buscador de plugins de tu DAW.";
const wchar_t failedStatus[] = L"No se completó la instalación.";

// One running installer with its window and the controls the tests use.
struct Installer {
    explicit Installer(const std::wstring& arguments = L"") : process(setupProgram, arguments) {
        window = velktest::findWindow(process.id(), L"VelkBetaInstaller13");
        if (!window) return;
        controls = velktest::children(window);
        if (controls.size() == 10) {
            edit = controls[4];
            status = controls[7];
            install = controls[8];
            close = controls[9];
        }
    }

    // Closes through "Cerrar" and returns the exit code (-1: still running).
    long closeWindow() {
        velktest::click(close);
        const std::optional<DWORD> code = process.wait();
        return code ? static_cast<long>(*code) : -1;
    }

    velktest::Box expectBox(const wchar_t* caption) {
        std::optional<velktest::Box> box = velktest::findMessageBox(process.id(), window);
        if (!box) {
            ADD_FAILURE() << "no message box " << testing::PrintToString(std::wstring(caption));
            return {};
        }
        EXPECT_EQ(box->caption, caption);
        return *box;
    }

    velktest::Process process;
    HWND window = nullptr;
    std::vector<HWND> controls;
    HWND edit = nullptr, status = nullptr, install = nullptr, close = nullptr;
};

std::wstring defaultFolder() {
    wchar_t* local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)))
        folder = std::wstring(local) + L"\\Programs\\VELK\\VstPlugins\\VELK beta";
    CoTaskMemFree(local);
    return folder;
}

struct ControlRow {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    LONG style; // bits that must be set
    RECT rect;
};

TEST(SetupWindow, ShowsTitleControlsAndDefaultFolder) {
    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    wchar_t title[128] = {};
    GetWindowTextW(setup.window, title, 128);
    EXPECT_STREQ(title, L"VELK beta · Instalador 1.3.0");
    const LONG style = GetWindowLongW(setup.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    RECT outer{};
    GetWindowRect(setup.window, &outer);
    EXPECT_EQ(outer.right - outer.left, 650);
    EXPECT_EQ(outer.bottom - outer.top, 520);

    const ControlRow rows[] = {
        {L"Static", L"VELK beta", 0, 0, {30, 24, 590, 72}},
        {L"Static", L"ACORDES CON UNA TECLA · VST2 · WINDOWS 64 BITS", 0, 0, {32, 80, 602, 106}},
        {L"Static",
         L"Versión 1.3.0. Cierra FL Studio o tu DAW antes de instalar.\nIncluye el plugin y tres one shots "
         L"originales. No modifica tus proyectos.",
         0,
         0,
         {32, 128, 602, 186}},
        {L"Static", L"Carpeta del instrumento", 0, 0, {32, 208, 592, 232}},
        // The edit control turns WS_BORDER into a border of its own.
        {L"Edit", nullptr, 100, WS_TABSTOP | ES_AUTOHSCROLL, {32, 238, 488, 268}},
        {L"Button", L"Elegir…", 101, WS_TABSTOP, {500, 238, 598, 268}},
        {L"Static",
         L"Instalación sin permisos de administrador. Tu DAW debe admitir VST2 x64.\nSin cambios en el "
         L"registro, "
         L"sin servicios y sin conexión a Internet.",
         0,
         0,
         {32, 294, 602, 352}},
        {L"Static", readyStatus, 0, 0, {32, 365, 602, 407}},
        {L"Button", L"Instalar", 102, WS_TABSTOP | BS_DEFPUSHBUTTON, {380, 424, 484, 462}},
        {L"Button", L"Cerrar", 103, WS_TABSTOP, {496, 424, 600, 462}},
    };
    ASSERT_EQ(setup.controls.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(i + 1);
        HWND control = setup.controls[i];
        EXPECT_EQ(velktest::className(control), rows[i].className);
        if (rows[i].text) {
            EXPECT_EQ(velktest::text(control), rows[i].text);
        }
        EXPECT_EQ(GetDlgCtrlID(control), rows[i].id);
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & rows[i].style, rows[i].style);
        const RECT r = velktest::placement(control);
        EXPECT_EQ(r.left, rows[i].rect.left);
        EXPECT_EQ(r.top, rows[i].rect.top);
        EXPECT_EQ(r.right, rows[i].rect.right);
        EXPECT_EQ(r.bottom, rows[i].rect.bottom);
        EXPECT_TRUE(IsWindowEnabled(control));
    }
    EXPECT_EQ(velktest::text(setup.edit), defaultFolder());

    // The client area is painted dark, as a person sees it.
    COLORREF corner = CLR_INVALID;
    velktest::waitUntil([&] {
        HDC dc = GetDC(setup.window);
        corner = GetPixel(dc, 8, 8);
        ReleaseDC(setup.window, dc);
        return corner == RGB(16, 18, 14);
    });
    EXPECT_EQ(corner, RGB(16, 18, 14));

    EXPECT_TRUE(velktest::screenshot(shotsFolder, L"installer-window")) << "nobody took the screenshot";
    EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
}

TEST(SetupWindow, EmptyFolderIsRefusedAndNothingChanges) {
    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    ASSERT_TRUE(velktest::type(setup.edit, L"")) << "the edit never held the typed text";
    velktest::click(setup.install);
    velktest::Box box = setup.expectBox(L"Revisa la carpeta");
    EXPECT_EQ(box.text, L"Elige una carpeta completa de tu usuario.");
    EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
    EXPECT_TRUE(velktest::waitUntil([&] { return !velktest::anyMessageBox(setup.process.id()); }));
    EXPECT_EQ(velktest::text(setup.edit), L"");
    EXPECT_TRUE(IsWindowEnabled(setup.install));
    EXPECT_EQ(velktest::text(setup.status), readyStatus);

    // A drive root typed by hand is refused the same way and stays as typed.
    ASSERT_TRUE(velktest::type(setup.edit, L"Z:/")) << "the edit never held the typed text";
    velktest::click(setup.install);
    box = setup.expectBox(L"Revisa la carpeta");
    EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
    EXPECT_TRUE(velktest::waitUntil([&] { return !velktest::anyMessageBox(setup.process.id()); }));
    EXPECT_EQ(velktest::text(setup.edit), L"Z:/");

    // The close box ends the program too.
    PostMessageW(setup.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(setup.process.wait().value_or(99), 0u) << "99: still running";
}

TEST(SetupWindow, InstallsIntoATypedFolderThenAsksBeforeUpdating) {
    const std::wstring base = folder(L"typed");
    std::wstring typed = base;
    for (wchar_t& c : typed)
        if (c == L'\\') c = L'/';
    const std::wstring installFolder = base + L"\\VELK beta";
    {
        Installer setup;
        ASSERT_TRUE(setup.window) << "no installer window showed";
        ASSERT_TRUE(velktest::type(setup.edit, typed)) << "the edit never held the typed text";
        velktest::click(setup.install);
        velktest::Box box = setup.expectBox(L"VELK beta instalado");
        EXPECT_EQ(box.text, successText(installFolder));
        EXPECT_EQ(velktest::text(setup.edit), installFolder);
        EXPECT_EQ(velktest::text(setup.status), installedStatus);
        EXPECT_FALSE(IsWindowEnabled(setup.install));
        EXPECT_EQ(velktest::text(setup.install), L"Instalar"); // renamed only after the box
        EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
        EXPECT_TRUE(velktest::waitUntil([&] { return velktest::text(setup.install) == L"Instalado"; }));
        EXPECT_FALSE(IsWindowEnabled(setup.install));
        expectInstalled(installFolder);
        EXPECT_TRUE(velktest::screenshot(shotsFolder, L"installer-installed"))
            << "nobody took the screenshot";
        EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
    }

    const FILETIME before = modified(installFolder + L"\\VELK beta.dll");
    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    ASSERT_TRUE(velktest::type(setup.edit, typed)) << "the edit never held the typed text";
    velktest::click(setup.install);
    velktest::Box question = setup.expectBox(L"Actualizar VELK beta");
    EXPECT_EQ(question.text, updateQuestion);
    EXPECT_TRUE(velktest::answer(question, IDNO)) << "the box stayed open";
    EXPECT_TRUE(velktest::waitUntil([&] { return !velktest::anyMessageBox(setup.process.id()); }));
    EXPECT_EQ(velktest::text(setup.edit), installFolder); // normalised even when declined
    EXPECT_EQ(velktest::text(setup.status), readyStatus);
    EXPECT_TRUE(IsWindowEnabled(setup.install));
    const FILETIME after = modified(installFolder + L"\\VELK beta.dll");
    EXPECT_EQ(CompareFileTime(&before, &after), 0);

    velktest::click(setup.install);
    question = setup.expectBox(L"Actualizar VELK beta");
    EXPECT_TRUE(velktest::answer(question, IDYES)) << "the box stayed open";
    velktest::Box done = setup.expectBox(L"VELK beta instalado");
    EXPECT_TRUE(velktest::answer(done, IDOK)) << "the box stayed open";
    EXPECT_TRUE(velktest::waitUntil([&] { return velktest::text(setup.install) == L"Instalado"; }));
    expectInstalled(installFolder);
    EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
}

TEST(SetupWindow, ReplacesOneShotsWithoutAskingWhenThePluginIsMissing) {
    folder(L"shots-only");
    const std::wstring installFolder = folder(L"shots-only\\VELK beta");
    CreateDirectoryW((installFolder + L"\\One_Shots").c_str(), nullptr);
    writeFile(installFolder + L"\\One_Shots\\VELK_Bell_C4.wav", "old bell");
    writeFile(installFolder + L"\\LEEME-VELK.txt", "old read-me");

    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    ASSERT_TRUE(velktest::type(setup.edit, installFolder)) << "the edit never held the typed text";
    velktest::click(setup.install);
    velktest::Box box = setup.expectBox(L"VELK beta instalado");
    EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
    expectInstalled(installFolder);
    EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
}

// The system's text for the error that moving a scratch file onto target
// gives here and now.
std::wstring moveError(const std::wstring& target) {
    const std::wstring from = folder(L"probe") + L"\\file";
    writeFile(from, "x");
    if (MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return L"(the move succeeded)";
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer ? buffer : L"No se pudo completar la instalación.";
    LocalFree(buffer);
    return text;
}

const wchar_t renameFailed[] =
    L"No se pudo reemplazar un archivo. Cierra FL Studio u otro DAW y reintenta.\n";

TEST(SetupWindow, FailedRenameNamesTheSystemReasonAndKeepsWhatWasDone) {
    folder(L"blocked");
    const std::wstring installFolder = folder(L"blocked\\VELK beta");
    CreateDirectoryW((installFolder + L"\\One_Shots").c_str(), nullptr);
    // A folder where the third one-shot goes: its rename must fail.
    const std::wstring blocker = installFolder + L"\\One_Shots\\VELK_Soft_C4.wav";
    CreateDirectoryW(blocker.c_str(), nullptr);
    const std::wstring expectedReason = moveError(blocker);
    ASSERT_NE(expectedReason, L"(the move succeeded)");

    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    ASSERT_TRUE(velktest::type(setup.edit, installFolder)) << "the edit never held the typed text";
    velktest::click(setup.install);
    velktest::Box box = setup.expectBox(L"VELK");
    EXPECT_EQ(box.text, renameFailed + expectedReason);
    EXPECT_EQ(velktest::text(setup.status), failedStatus);
    EXPECT_TRUE(IsWindowEnabled(setup.install));
    EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
    EXPECT_TRUE(velktest::waitUntil([&] { return !velktest::anyMessageBox(setup.process.id()); }));
    EXPECT_EQ(velktest::text(setup.install), L"Instalar");

    // The plug-in and the first two one-shots are in place; the rest waits
    // in its temporaries, and nothing was undone.
    for (size_t row = 0; row < 3; ++row)
        EXPECT_TRUE(velktest::fileBytes(installFolder + L"\\" + installedFiles[row][0]) == source(row))
            << row;
    EXPECT_TRUE(velktest::fileBytes(installFolder + L"\\One_Shots\\VELK_Soft_C4.wav.velk-new") == source(3));
    EXPECT_TRUE(velktest::fileBytes(installFolder + L"\\LEEME-VELK.txt.velk-new") == source(4));
    EXPECT_FALSE(exists(installFolder + L"\\LEEME-VELK.txt"));
    EXPECT_FALSE(exists(installFolder + L"\\VELK beta.dll.velk-new"));
    EXPECT_EQ(GetFileAttributesW((installFolder + L"\\One_Shots\\VELK_Soft_C4.wav").c_str()) &
                  FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
}

TEST(SetupWindow, PluginHeldOpenByAHostReplacesNothing) {
    folder(L"held");
    const std::wstring installFolder = workFolder + L"\\held\\VELK beta";
    {
        velktest::Process first(setupProgram, L"--extract-test \"" + installFolder + L"\"");
        ASSERT_EQ(first.wait().value_or(99), 0u) << "99: still running";
    }
    for (size_t row = 0; row < 5; ++row)
        writeFile(installFolder + L"\\" + installedFiles[row][0], "old");
    // A host has the plug-in open, as a loaded library is.
    HANDLE host = CreateFileW((installFolder + L"\\VELK beta.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(host, INVALID_HANDLE_VALUE);
    const std::wstring expectedReason = moveError(installFolder + L"\\VELK beta.dll");
    ASSERT_NE(expectedReason, L"(the move succeeded)");

    Installer setup;
    ASSERT_TRUE(setup.window) << "no installer window showed";
    ASSERT_TRUE(velktest::type(setup.edit, installFolder)) << "the edit never held the typed text";
    velktest::click(setup.install);
    EXPECT_TRUE(velktest::answer(setup.expectBox(L"Actualizar VELK beta"), IDYES)) << "the box stayed open";
    velktest::Box box = setup.expectBox(L"VELK");
    EXPECT_EQ(box.text, renameFailed + expectedReason);
    EXPECT_EQ(velktest::text(setup.status), failedStatus);
    EXPECT_TRUE(velktest::answer(box, IDOK)) << "the box stayed open";
    CloseHandle(host);

    for (size_t row = 0; row < 5; ++row) {
        const std::wstring path = installFolder + L"\\" + installedFiles[row][0];
        EXPECT_TRUE(velktest::fileBytes(path) == std::vector<char>({'o', 'l', 'd'})) << row;
        EXPECT_TRUE(velktest::fileBytes(path + L".velk-new") == source(row)) << row;
    }
    EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
}

TEST(SetupWindow, OtherCommandLinesOpenTheWindow) {
    const wchar_t* const lines[] = {
        L"--extract-test", L"--extract-test Z:\\one Z:\\two", L"--EXTRACT-TEST Z:\\one", L"--Verify",
        L"extra words",
    };
    for (const wchar_t* line : lines) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(line)));
        Installer setup(line);
        ASSERT_TRUE(setup.window) << "no installer window showed";
        EXPECT_EQ(setup.closeWindow(), 0) << "-1: still running";
    }
    EXPECT_FALSE(exists(L"Z:\\one"));
}

TEST(SetupWindow, IncompletePackageSaysSoAndExitsWith2) {
    ASSERT_FALSE(incompletePrograms.empty());
    for (const std::wstring& program : incompletePrograms) {
        SCOPED_TRACE(testing::PrintToString(program));
        velktest::Process process(program, L"");
        ASSERT_TRUE(process.started());
        std::optional<velktest::Box> box = velktest::findMessageBox(process.id(), nullptr);
        ASSERT_TRUE(box) << "no message box showed";
        EXPECT_EQ(box->caption, L"VELK");
        EXPECT_EQ(box->text, L"El instalador está incompleto.");
        EXPECT_FALSE(velktest::findWindow(process.id(), L"VelkBetaInstaller13", 0));
        EXPECT_TRUE(velktest::answer(*box, IDOK)) << "the box stayed open";
        EXPECT_EQ(process.wait().value_or(99), 2u) << "99: still running";
    }
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::wstring value = velktest::windowsPath(argv[i + 1]);
        if (option == "--setup")
            setupProgram = value;
        else if (option == "--plugin")
            pluginFile = value;
        else if (option == "--payload")
            payloadFolder = value;
        else if (option == "--work")
            workFolder = value;
        else if (option == "--shots")
            shotsFolder = value;
        else if (option == "--incomplete")
            incompletePrograms.push_back(value);
    }
    if (setupProgram.empty() || pluginFile.empty() || payloadFolder.empty() || workFolder.empty()) {
        std::fprintf(stderr, "usage: --setup EXE --plugin FILE --payload DIR --work DIR [--shots DIR] "
                             "[--incomplete EXE]...\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
