#pragma once
// Writing the package into the install folder: all five files through
// temporaries beside them, then each moved into place. Failures are reported
// as a false result with the message for the user; nothing is undone.
#include <filesystem>
#include <string>

namespace setup {

// The install folder for a typed or picked text (installFolder); a refused
// folder throws the message for the user as a std::wstring.
std::filesystem::path targetFolder(std::wstring text);

// A file's final path in the install folder (which never ends in a separator).
std::filesystem::path finalPath(const std::filesystem::path& folder, const wchar_t* relative);

// Whether anything (any kind, links followed) is at path; throws the
// filesystem error for anything but "not found".
bool occupied(const std::filesystem::path& path);

// Writes the five files. Without update, anything already at a final path
// stops the run before anything is written. On failure, error holds the
// message for the user.
bool extract(const std::filesystem::path& folder, bool update, std::wstring& error);

} // namespace setup
