#pragma once
// The installer's folder rules on plain wide strings. The Windows path grammar
// is written out here (drive and network roots, both separators, lexical
// normalisation) because the cross-compiler's filesystem library gives a
// network root such as \\server\share no root name. Includes no platform
// header, so the rules are also tested natively.
#include <optional>
#include <string>

namespace setup {

// The install folder for a typed or picked folder, or nothing when the folder
// is refused: only a drive path with its root directory or a network path is
// taken, never a root alone. "VELK beta" is appended unless it is exactly the
// last element already; then "." and ".." are resolved and separators become
// single backslashes. Nothing is looked up on the disk.
std::optional<std::wstring> installFolder(const std::wstring& text);

} // namespace setup
