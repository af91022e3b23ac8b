#pragma once
// The reply of the multi-select open dialog: one full path, or a folder
// followed by file names, each ended by a NUL and the list by an empty string.
#include <string>
#include <vector>

namespace palmtone {

// The chosen paths in the dialog's order. The walk never leaves the buffer: a
// name that runs to its end without a NUL is dropped, and a buffer without any
// NUL gives nothing.
std::vector<std::wstring> selectedPaths(const std::vector<wchar_t>& buffer);

// folder and name joined by a backslash, unless folder already ends in a separator.
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);

} // namespace palmtone
