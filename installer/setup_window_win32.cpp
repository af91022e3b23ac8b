// The installer's window. Its state (controls, fonts, background brush) lives
// in one SetupWindow object, which the window holds from WM_NCCREATE on; the
// window procedure only dispatches to its handlers.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/package.hpp"
#include "installer/payload_writer.hpp"
#include "installer/setup_window_win32.hpp"

namespace setup {

namespace {

namespace fs = std::filesystem;

constexpr COLORREF backgroundColour = RGB(16, 18, 14);
constexpr COLORREF labelColour = RGB(233, 255, 79);
constexpr COLORREF otherStaticColour = RGB(245, 246, 236);

constexpr wchar_t className[] = L"VelkBetaInstaller13";

constexpr int idFolderEdit = 100;
constexpr int idChoose = 101;
constexpr int idInstall = 102;
constexpr int idClose = 103;

// The controls the window keeps a handle of.
enum class Kept { none, folderEdit, statusText, installButton };

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    int id;
    DWORD style; // added to WS_CHILD | WS_VISIBLE
    int x, y, width, height;
    bool title;
    Kept kept;
};

// In creation order; the default folder goes into the edit after the sixth.
const Control controls[] = {
    {L"STATIC", L"VELK beta", 0, 0, 30, 24, 560, 48, true, Kept::none},
    {L"STATIC", L"ACORDES CON UNA TECLA · VST2 · WINDOWS 64 BITS", 0, 0, 32, 80, 570, 26, false, Kept::none},
    {L"STATIC",
     L"Versión 1.3.0. Cierra FL Studio o tu DAW antes de instalar.\n"
     L"Incluye el plugin y tres one shots originales. No modifica tus proyectos.",
     0, 0, 32, 128, 570, 58, false, Kept::none},
    {L"STATIC", L"Carpeta del instrumento", 0, 0, 32, 208, 560, 24, false, Kept::none},
    {L"EDIT", L"", idFolderEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 32, 238, 456, 30, false,
     Kept::folderEdit},
    {L"BUTTON", L"Elegir…", idChoose, WS_TABSTOP, 500, 238, 98, 30, false, Kept::none},
    {L"STATIC",
     L"Instalación sin permisos de administrador. Tu DAW debe admitir VST2 x64.\n"
     L"Sin cambios en el registro, sin servicios y sin conexión a Internet.",
     0, 0, 32, 294, 570, 58, false, Kept::none},
    {L"STATIC", L"Elige una carpeta y pulsa Instalar.", 0, 0, 32, 365, 570, 42, false, Kept::statusText},
    {L"BUTTON", L"Instalar", idInstall, WS_TABSTOP | BS_DEFPUSHBUTTON, 380, 424, 104, 38, false,
     Kept::installButton},
    {L"BUTTON", L"Cerrar", idClose, WS_TABSTOP, 496, 424, 104, 38, false, Kept::none},
};

HFONT makeFont(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

std::wstring successText(const fs::path& folder) {
    return L"VELK beta está instalado en:\n" + folder.native() +
           L"\n\nEn FL Studio:\nOptions > Manage plugins > añade esta carpeta > Find installed plugins.\n\n"
           L"Es VST2 para Windows de 64 bits, no VST3.\n"
           L"Los proyectos con versiones anteriores no se modifican.\n\n"
           L"Para desinstalar: cierra el DAW y elimina únicamente esta carpeta VELK beta, conservando antes "
           L"tus "
           L"archivos personales.";
}

class SetupWindow {
  public:
    SetupWindow() : background(CreateSolidBrush(backgroundColour)) {}
    ~SetupWindow() { DeleteObject(background); }
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    // Registers the class, creates the window and runs its message loop.
    int run(HINSTANCE instance, int show);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT onCreate();
    LRESULT onDestroy();
    LRESULT onColourStatic(HDC dc, HWND control);
    LRESULT onCommand(int id);

    void createControl(const Control& control);
    void showDefaultFolder();
    void pickFolder();
    void install();

    HBRUSH background;
    HWND window = nullptr;
    HFONT bodyFont = nullptr;
    HFONT titleFont = nullptr;
    HWND folderEdit = nullptr;
    HWND statusText = nullptr;
    HWND installButton = nullptr;
};

int SetupWindow::run(HINSTANCE instance, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);

    // WM_NCCREATE hands `this` to the window, which stores its handle here.
    if (!CreateWindowExW(0, className, L"VELK beta · Instalador 1.3.0",
                         WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 650, 520,
                         nullptr, nullptr, instance, this))
        return 4;
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

LRESULT CALLBACK SetupWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<SetupWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<SetupWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) { // nothing may unwind into the system's code
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT SetupWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return onCreate();
    case WM_DESTROY: return onDestroy();
    case WM_CTLCOLORSTATIC:
        return onColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND: return onCommand(LOWORD(wParam));
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT SetupWindow::onCreate() {
    bodyFont = makeFont(-16, 400);
    titleFont = makeFont(-34, 700);
    for (int i = 0; i < 6; ++i)
        createControl(controls[i]);
    showDefaultFolder();
    for (int i = 6; i < 10; ++i)
        createControl(controls[i]);
    return 0;
}

LRESULT SetupWindow::onDestroy() {
    DeleteObject(bodyFont);
    DeleteObject(titleFont);
    PostQuitMessage(0);
    return 0;
}

LRESULT SetupWindow::onColourStatic(HDC dc, HWND control) {
    SetBkColor(dc, backgroundColour);
    SetTextColor(dc, GetDlgCtrlID(control) == 0 ? labelColour : otherStaticColour);
    return reinterpret_cast<LRESULT>(background);
}

LRESULT SetupWindow::onCommand(int id) {
    switch (id) {
    case idClose: DestroyWindow(window); break;
    case idInstall: install(); break;
    case idChoose: pickFolder(); break;
    default: break;
    }
    return 0;
}

void SetupWindow::createControl(const Control& control) {
    HWND handle = CreateWindowExW(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style,
                                  control.x, control.y, control.width, control.height, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont), TRUE);
    if (control.title) SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), TRUE);
    switch (control.kept) {
    case Kept::folderEdit: folderEdit = handle; break;
    case Kept::statusText: statusText = handle; break;
    case Kept::installButton: installButton = handle; break;
    case Kept::none: break;
    }
}

// The local application-data folder with Programs\VELK\VstPlugins\VELK beta,
// as it comes (not normalised); the edit stays empty when it is unknown.
void SetupWindow::showDefaultFolder() {
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

// "Elegir…": a folder of the file system, turned into the install folder. The
// picker reports nothing; the edit keeps its text unless a folder is taken.
void SetupWindow::pickFolder() {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog))))
        return;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    dialog->SetTitle(L"Elige la carpeta VST2; se añadirá una subcarpeta VELK beta");
    if (FAILED(dialog->Show(window))) {
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

// "Instalar": runs synchronously on the window's thread.
void SetupWindow::install() {
    try {
        std::vector<wchar_t> typed(32768, L'\0');
        GetWindowTextW(folderEdit, typed.data(), 32768);
        const fs::path folder = targetFolder(typed.data());
        SetWindowTextW(folderEdit, folder.c_str());

        if (occupied(finalPath(folder, L"VELK beta.dll")) &&
            MessageBoxW(
                window,
                L"Se actualizarán solo los archivos de VELK incluidos en este instalador. Cierra tu DAW "
                L"antes de continuar. ¿Actualizar?",
                L"Actualizar VELK beta", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;

        EnableWindow(installButton, FALSE);
        SetWindowTextW(statusText, L"Instalando el instrumento y sus tres sonidos…");
        std::wstring error;
        if (extract(folder, true, error)) {
            SetWindowTextW(statusText, L"Instalado. Añade esta carpeta al buscador de plugins de tu DAW.");
            MessageBoxW(window, successText(folder).c_str(), L"VELK beta instalado", MB_ICONINFORMATION);
            SetWindowTextW(installButton, L"Instalado");
        } else {
            EnableWindow(installButton, TRUE);
            SetWindowTextW(statusText, L"No se completó la instalación.");
            MessageBoxW(window, error.c_str(), L"VELK", MB_ICONERROR);
        }
    } catch (const std::wstring& refusal) {
        MessageBoxW(window, refusal.c_str(), L"Revisa la carpeta", MB_ICONWARNING);
    } catch (...) {
        MessageBoxW(window, L"No se pudo usar esa carpeta.", L"VELK", MB_ICONERROR);
    }
}

} // namespace

int runWindow(HINSTANCE instance, int show) {
    if (!verifyPackage()) {
        MessageBoxW(nullptr, L"El instalador está incompleto.", L"VELK", MB_ICONERROR);
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = 4;
    {
        SetupWindow setupWindow; // its brush goes before the apartment does
        code = setupWindow.run(instance, show);
    }
    CoUninitialize();
    return code;
}

} // namespace setup
