// VELK.Beta.Setup: writes the plug-in, its three one-shots and the read-me,
// all embedded as resources, into one folder of the user's choice, from a
// small window or from the command line. One thread does everything, and
// nothing is kept between runs: no registry, no shortcut, no record.
#include <windows.h>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdint>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "installer/install_folder.hpp"

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The package and how it is written

struct Payload {
    uint16_t id;
    const wchar_t* path; // relative to the install folder
};

// The order is that of the existence test, the writes and the renames: the
// plug-in is moved into place first and the read-me last.
constexpr Payload payloads[] = {
    {101, L"VELK beta.dll"},
    {102, L"One_Shots\\VELK_Bell_C4.wav"},
    {103, L"One_Shots\\VELK_Pluck_C4.wav"},
    {104, L"One_Shots\\VELK_Soft_C4.wav"},
    {105, L"LEEME-VELK.txt"},
};

constexpr wchar_t refusedFolder[] = L"Elige una carpeta completa de tu usuario.";

struct Bytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// A resource that is not found, cannot be locked or is empty counts as missing.
Bytes resourceBytes(uint16_t id) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(self, found);
    if (!loaded)
        return {};
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(self, found);
    if (!data || size == 0)
        return {};
    return {static_cast<const uint8_t*>(data), size};
}

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// True when every payload is there and the plug-in looks like an x64 image.
bool verify() {
    const Bytes plugin = resourceBytes(101);
    const uint64_t n = plugin.size;
    if (n < 1024)
        return false;
    const uint8_t* b = plugin.data;
    if (b[0] != 'M' || b[1] != 'Z')
        return false;
    // 64-bit arithmetic: a huge header offset must not wrap around.
    const uint64_t e = read32(b + 60);
    if (e + 26 >= n)
        return false;
    if (b[e] != 'P' || b[e + 1] != 'E')
        return false;
    if (b[e + 4] != 0x64 || b[e + 5] != 0x86)
        return false;
    for (const Payload& payload : payloads)
        if (!resourceBytes(payload.id).data)
            return false;
    return true;
}

// The install folder for a text, or the refusal thrown as the message itself.
fs::path targetFolder(std::wstring text) {
    std::optional<std::wstring> folder = setup::installFolder(text);
    if (!folder)
        throw std::wstring(refusedFolder);
    return fs::path(*folder);
}

// The install folder never ends in a separator, so one backslash joins.
fs::path finalPath(const fs::path& folder, const wchar_t* relative) {
    return fs::path(folder.native() + L'\\' + relative);
}

// Whether anything (any kind, links followed) is at path. Finding nothing is
// an answer, not an error: the status query reports it through the error
// code as well, so only other errors are thrown.
bool occupied(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return false;
    if (error)
        throw fs::filesystem_error("status", path, error);
    return true;
}

// The system's description of the calling thread's last error code.
std::wstring errorText() {
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_FROM_SYSTEM,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (!buffer)
        return L"No se pudo completar la instalación.";
    std::unique_ptr<wchar_t, HLOCAL (*)(HLOCAL)> owned(buffer, LocalFree);
    return std::wstring(buffer, length);
}

// Writes all five files through temporaries beside them, then moves each into
// place. Without update, anything already at a final path stops the run before
// anything is written. Nothing is undone after a failure.
bool extract(const fs::path& folder, bool update, std::wstring& error) {
    try {
        if (!verify())
            throw std::wstring(L"El paquete está incompleto. Vuelve a descargarlo.");

        for (const Payload& payload : payloads)
            if (occupied(finalPath(folder, payload.path)) && !update)
                throw std::wstring(L"La carpeta ya contiene VELK. Cierra tu DAW y confirma la actualización.");

        fs::create_directories(finalPath(folder, L"One_Shots"));

        std::vector<fs::path> written;
        for (const Payload& payload : payloads) {
            const fs::path temporary(finalPath(folder, payload.path).native() + L".velk-new");
            const Bytes bytes = resourceBytes(payload.id);
            std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
            if (!file.is_open())
                throw std::wstring(L"No se puede escribir en esa carpeta. Elige una carpeta de tu usuario.");
            file.write(reinterpret_cast<const char*>(bytes.data), static_cast<std::streamsize>(bytes.size));
            // Buffered bytes reach the disk only here: a failed flush or close
            // is a failed write.
            file.flush();
            file.close();
            if (file.fail())
                throw std::wstring(L"No se pudo preparar el archivo.");
            written.push_back(temporary);
        }

        for (size_t i = 0; i < written.size(); ++i) {
            const fs::path target = finalPath(folder, payloads[i].path);
            if (!MoveFileExW(written[i].c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                // First thing after the failed move, while its code is the last error.
                const std::wstring reason = errorText();
                throw L"No se pudo reemplazar un archivo. Cierra FL Studio u otro DAW y reintenta.\n" + reason;
            }
        }
        return true;
    } catch (const std::wstring& message) {
        error = message;
    } catch (const std::exception&) {
        error = L"No se pudo escribir el plugin. Revisa la ruta, los permisos y el espacio disponible.";
    }
    return false;
}

// ---------------------------------------------------------------------------
// The window

HBRUSH background = nullptr;
HWND windowHandle = nullptr;
HFONT bodyFont = nullptr;
HFONT titleFont = nullptr;
HWND folderEdit = nullptr;
HWND statusText = nullptr;
HWND installButton = nullptr;

constexpr COLORREF backgroundColour = RGB(16, 18, 14);
constexpr COLORREF labelColour = RGB(233, 255, 79);
constexpr COLORREF otherStaticColour = RGB(245, 246, 236);

constexpr int idFolderEdit = 100;
constexpr int idChoose = 101;
constexpr int idInstall = 102;
constexpr int idClose = 103;

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    DWORD style; // added to WS_CHILD | WS_VISIBLE
    int x, y, width, height;
    bool title;
    HWND* kept;
};

// In creation order; the default folder goes into the edit after the sixth.
const Control controls[] = {
    {L"STATIC", L"VELK beta", 0, 0, 30, 24, 560, 48, true, nullptr},
    {L"STATIC", L"ACORDES CON UNA TECLA · VST2 · WINDOWS 64 BITS", 0, 0, 32, 80, 570, 26, false, nullptr},
    {L"STATIC",
     L"Versión 1.3.0. Cierra FL Studio o tu DAW antes de instalar.\n"
     L"Incluye el plugin y tres one shots originales. No modifica tus proyectos.",
     0, 0, 32, 128, 570, 58, false, nullptr},
    {L"STATIC", L"Carpeta del instrumento", 0, 0, 32, 208, 560, 24, false, nullptr},
    {L"EDIT", L"", idFolderEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 32, 238, 456, 30, false, &folderEdit},
    {L"BUTTON", L"Elegir…", idChoose, WS_TABSTOP, 500, 238, 98, 30, false, nullptr},
    {L"STATIC",
     L"Instalación sin permisos de administrador. Tu DAW debe admitir VST2 x64.\n"
     L"Sin cambios en el registro, sin servicios y sin conexión a Internet.",
     0, 0, 32, 294, 570, 58, false, nullptr},
    {L"STATIC", L"Elige una carpeta y pulsa Instalar.", 0, 0, 32, 365, 570, 42, false, &statusText},
    {L"BUTTON", L"Instalar", idInstall, WS_TABSTOP | BS_DEFPUSHBUTTON, 380, 424, 104, 38, false, &installButton},
    {L"BUTTON", L"Cerrar", idClose, WS_TABSTOP, 496, 424, 104, 38, false, nullptr},
};

HFONT makeFont(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

void createControl(const Control& control) {
    HWND handle = CreateWindowExW(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style,
                                  control.x, control.y, control.width, control.height, windowHandle,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont), TRUE);
    if (control.title)
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), TRUE);
    if (control.kept)
        *control.kept = handle;
}

// The local application-data folder with Programs\VELK\VstPlugins\VELK beta,
// as it comes (not normalised); the edit stays empty when it is unknown.
void showDefaultFolder() {
    wchar_t* local = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
        try {
            const fs::path folder = fs::path(local) / L"Programs" / L"VELK" / L"VstPlugins" / L"VELK beta";
            SetWindowTextW(folderEdit, folder.c_str());
        } catch (...) {
        }
    }
    CoTaskMemFree(local); // also owed after a failure; null is allowed
}

LRESULT onCreate(HWND window) {
    windowHandle = window;
    bodyFont = makeFont(-16, 400);
    titleFont = makeFont(-34, 700);
    for (int i = 0; i < 6; ++i)
        createControl(controls[i]);
    showDefaultFolder();
    for (int i = 6; i < 10; ++i)
        createControl(controls[i]);
    return 0;
}

LRESULT onDestroy() {
    DeleteObject(bodyFont);
    DeleteObject(titleFont);
    PostQuitMessage(0);
    return 0;
}

LRESULT onColourStatic(HDC dc, HWND control) {
    SetBkColor(dc, backgroundColour);
    SetTextColor(dc, GetDlgCtrlID(control) == 0 ? labelColour : otherStaticColour);
    return reinterpret_cast<LRESULT>(background);
}

// "Elegir…": a folder of the file system, turned into the install folder. The
// picker reports nothing; the edit keeps its text unless a folder is taken.
void pickFolder() {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog))))
        return;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    dialog->SetTitle(L"Elige la carpeta VST2; se añadirá una subcarpeta VELK beta");
    if (FAILED(dialog->Show(windowHandle))) {
        dialog->Release();
        return;
    }
    IShellItem* item = nullptr;
    if (FAILED(dialog->GetResult(&item))) {
        dialog->Release();
        return;
    }
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        item->Release();
        dialog->Release();
        return;
    }
    try {
        const fs::path folder = targetFolder(path);
        SetWindowTextW(folderEdit, folder.c_str());
    } catch (...) {
    }
    CoTaskMemFree(path);
    item->Release();
    dialog->Release();
}

std::wstring successText(const fs::path& folder) {
    return L"VELK beta está instalado en:\n" + folder.native() +
           L"\n\nEn FL Studio:\nOptions > Manage plugins > añade esta carpeta > Find installed plugins.\n\n"
           L"Es VST2 para Windows de 64 bits, no VST3.\n"
           L"Los proyectos con versiones anteriores no se modifican.\n\n"
           L"Para desinstalar: cierra el DAW y elimina únicamente esta carpeta VELK beta, conservando antes tus "
           L"archivos personales.";
}

// "Instalar": runs synchronously on the window's thread.
void install() {
    try {
        std::vector<wchar_t> typed(32768, L'\0');
        GetWindowTextW(folderEdit, typed.data(), 32768);
        const fs::path folder = targetFolder(typed.data());
        SetWindowTextW(folderEdit, folder.c_str());

        if (occupied(finalPath(folder, L"VELK beta.dll")) &&
            MessageBoxW(windowHandle,
                        L"Se actualizarán solo los archivos de VELK incluidos en este instalador. Cierra tu DAW "
                        L"antes de continuar. ¿Actualizar?",
                        L"Actualizar VELK beta", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        EnableWindow(installButton, FALSE);
        SetWindowTextW(statusText, L"Instalando el instrumento y sus tres sonidos…");
        std::wstring error;
        if (extract(folder, true, error)) {
            SetWindowTextW(statusText, L"Instalado. Añade esta carpeta al buscador de plugins de tu DAW.");
            MessageBoxW(windowHandle, successText(folder).c_str(), L"VELK beta instalado", MB_ICONINFORMATION);
            SetWindowTextW(installButton, L"Instalado");
        } else {
            EnableWindow(installButton, TRUE);
            SetWindowTextW(statusText, L"No se completó la instalación.");
            MessageBoxW(windowHandle, error.c_str(), L"VELK", MB_ICONERROR);
        }
    } catch (const std::wstring& refusal) {
        MessageBoxW(windowHandle, refusal.c_str(), L"Revisa la carpeta", MB_ICONWARNING);
    } catch (...) {
        MessageBoxW(windowHandle, L"No se pudo usar esa carpeta.", L"VELK", MB_ICONERROR);
    }
}

LRESULT onCommand(HWND window, int id) {
    switch (id) {
    case idClose:
        DestroyWindow(window);
        break;
    case idInstall:
        install();
        break;
    case idChoose:
        pickFolder();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_DESTROY:
        return onDestroy();
    case WM_CTLCOLORSTATIC:
        return onColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        return onCommand(window, LOWORD(wParam));
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// --extract-test FOLDER: 0 when all five files were written, else 3.
int extractTest(const wchar_t* text) {
    try {
        std::wstring error;
        return extract(targetFolder(text), false, error) ? 0 : 3;
    } catch (...) {
        return 3;
    }
}

int runWindow(HINSTANCE instance, int show) {
    if (!verify()) {
        MessageBoxW(nullptr, L"El instalador está incompleto.", L"VELK", MB_ICONERROR);
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    background = CreateSolidBrush(backgroundColour);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = L"VelkBetaInstaller13";
    RegisterClassW(&windowClass);

    HWND window = CreateWindowExW(0, L"VelkBetaInstaller13", L"VELK beta · Instalador 1.3.0",
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 650, 520,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        DeleteObject(background);
        CoUninitialize();
        return 4;
    }
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    DeleteObject(background);
    CoUninitialize();
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        count = 0;
    if (count >= 2 && std::wcscmp(arguments[1], L"--verify") == 0) {
        LocalFree(arguments);
        return verify() ? 0 : 2;
    }
    if (count == 3 && std::wcscmp(arguments[1], L"--extract-test") == 0) {
        const int code = extractTest(arguments[2]);
        LocalFree(arguments);
        return code;
    }
    LocalFree(arguments);
    return runWindow(instance, show);
}
