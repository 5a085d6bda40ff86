#pragma once
// Where a module named by its URL lives on disk: the file name is the text
// after the URL's last "/", its base the file name up to its last ".";
// the final path is "C:\Update\<base>\<file name>" and the download is
// written beside it with "ZU!" appended. Plain C++ (no Windows headers).
#include <string>

#include "common/update_folder.h"  // kUpdateFolder

inline constexpr wchar_t kPartialSuffix[] = L"ZU!";
// The partial path (the longest of the three) must fit MAX_PATH with its
// terminator.
inline constexpr std::size_t kMaxModulePathChars = 259;

// Empty when the URL has no "/" or the file name has no ".", and whenever
// the name could put a file anywhere but its own folder below C:\Update or
// is no plain file name on Windows: path separators, drive colons,
// wildcards, control characters, "..", a trailing dot or blank (Windows
// drops them, so the name on disk would differ), an empty base, a device
// name (CON, NUL, COM1 ...), or a path too long for MAX_PATH.
std::wstring ModuleFinalPath(const std::wstring& url);
std::wstring ModulePartialPath(const std::wstring& url);
// The sub-folder of the update folder the module's files go into, empty
// exactly when ModuleFinalPath is.
std::wstring ModuleFolder(const std::wstring& url);
