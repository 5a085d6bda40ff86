#pragma once
// What the page reads from files: a file's version and last write time
// (environment references in the path expanded), the first line of a
// version text file, and an application's version text found through its
// "VersionPath" entry. Each answers "" when there is nothing to read and
// puts the page's last-error code for that case in *error (0 otherwise).
#include <windows.h>

#include <string>

// Expanded paths longer than this are not read.
inline constexpr std::size_t kExpandedPathChars = 260;

// Bytes of the system code page as text.
std::wstring FromSystemCodePage(const std::string& bytes);

// The path names a file, not a folder.
bool IsExistingFile(const std::wstring& path);

// "%d.%d.%d.%d" of the file's fixed version information (high and low
// word of the most, then of the least significant part); "" when the
// file has no version information.
std::wstring FileVersionText(const std::wstring& path);

// The moment in local time (the zone's rule for that date), formatted
// "%Y-%m-%d-%X" by the C library.
std::wstring FormatLocalFileTime(const FILETIME& utc);

// GetFileVersion / GetFileLastWriteTime: 0x20000005 when the expanded path
// is no file (or the file cannot be opened for reading). A file without
// version information answers "" with 0.
std::wstring ReadFileVersionForPage(const std::wstring& path, long* error);
std::wstring ReadFileLastWriteTimeForPage(const std::wstring& path, long* error);

// ReadVersionTXT: the first line (at most 128 bytes) of the file, read in
// the system code page; 0x20000009 when that is "".
std::wstring ReadVersionTextForPage(const std::wstring& path, long* error);
// ReadApplicationVersionTXT: the same for the file that HKLM
// "SOFTWARE\Vexa Corporation\Shared Info\VersionPath\<name>" "Version"
// (at most 255 characters) names.
std::wstring ReadApplicationVersionTextForPage(const std::wstring& app_name, long* error);
