// Writing the package's files through temporaries and renames.
#include <windows.h>

#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "installer/install_folder.hpp"
#include "installer/package.hpp"
#include "installer/payload_writer.hpp"

namespace setup {

namespace fs = std::filesystem;

namespace {

constexpr wchar_t refusedFolder[] = L"Elige una carpeta completa de tu usuario.";

// The system's description of the calling thread's last error code.
std::wstring errorText() {
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_FROM_SYSTEM,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (!buffer) return L"No se pudo completar la instalación.";
    std::unique_ptr<wchar_t, HLOCAL (*)(HLOCAL)> owned(buffer, LocalFree);
    return std::wstring(buffer, length);
}

} // namespace

fs::path targetFolder(std::wstring text) {
    std::optional<std::wstring> folder = installFolder(text);
    if (!folder) throw std::wstring(refusedFolder);
    return fs::path(*folder);
}

// The install folder never ends in a separator, so one backslash joins.
fs::path finalPath(const fs::path& folder, const wchar_t* relative) {
    return fs::path(folder.native() + L'\\' + relative);
}

// Finding nothing is an answer, not an error: the status query reports it
// through the error code as well, so only other errors are thrown.
bool occupied(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) return false;
    if (error) throw fs::filesystem_error("status", path, error);
    return true;
}

bool extract(const fs::path& folder, bool update, std::wstring& error) {
    try {
        if (!verifyPackage()) throw std::wstring(L"El paquete está incompleto. Vuelve a descargarlo.");

        for (const Payload& payload : payloads)
            if (occupied(finalPath(folder, payload.path)) && !update)
                throw std::wstring(
                    L"La carpeta ya contiene VELK. Cierra tu DAW y confirma la actualización.");

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
            if (file.fail()) throw std::wstring(L"No se pudo preparar el archivo.");
            written.push_back(temporary);
        }

        for (size_t i = 0; i < written.size(); ++i) {
            const fs::path target = finalPath(folder, payloads[i].path);
            if (!MoveFileExW(written[i].c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                // First thing after the failed move, while its code is the last error.
                const std::wstring reason = errorText();
                throw L"No se pudo reemplazar un archivo. Cierra FL Studio u otro DAW y reintenta.\n" +
                    reason;
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

} // namespace setup
