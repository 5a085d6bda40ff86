#pragma once
// Where a module named by its URL lives on disk: the file name is the text
// after the URL's last "/", its base the file name up to its last ".";
// the final path is "C:\Update\<base>\<file name>" and the download is
// written beside it with "ZU!" appended. Plain C++ (no Windows headers).
#include <string>

#include "common/update_folder.h"  // kUpdateFolder

inline constexpr wchar_t kPartialSuffix[] = L"ZU!";

// Empty when the URL has no "/", the file name has no ".", or the name
// could leave the update folder or is no file name at all (path
// separators, drive colons, wildcards, control characters, a base of
// dots only).
std::wstring ModuleFinalPath(const std::wstring& url);
std::wstring ModulePartialPath(const std::wstring& url);
// The sub-folder of the update folder the module's files go into, empty
// exactly when ModuleFinalPath is.
std::wstring ModuleFolder(const std::wstring& url);
