#pragma once
// What a single file or folder name may hold so that it names exactly one
// entry of the folder it is put in. Plain C++ (no Windows headers).
#include <string>

namespace zu {

// False for control characters, path separators, the drive colon,
// wildcards, quotes and redirection characters.
bool IsFileNameChar(wchar_t c);

// A name Windows stores as given and opens as a file: only file name
// characters, no "..", no trailing dot or blank (Windows drops them, so
// the name on disk would differ), no device name (CON, NUL, COM1 ...,
// whatever extension follows). False for an empty name.
bool IsPlainFileName(const std::wstring& name);

}  // namespace zu
