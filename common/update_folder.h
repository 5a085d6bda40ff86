#pragma once
// C:\Update: where the control stages installers and keeps its records, the
// agent reads them, and the test switches ("Debug.ini", "debug.ini") live.
// On Windows every authenticated user may create folders in C:\ and owns
// what they create, so the folder is made and kept so that only
// Administrators and SYSTEM can write it, and a switch counts only in a
// file no standard user could have written.
#include <string>

inline constexpr wchar_t kUpdateFolder[] = L"C:\\Update";

// Makes sure the folder exists. An administrator creates it with owner
// Administrators and a protected list (SYSTEM and Administrators full
// control, Users read and execute, nothing inherited from C:\); finding it
// writable by a standard user, or a link in its place, the administrator
// takes it over: owner and list as above, then the debug files in it are
// deleted. A standard user creates a missing folder with the same list
// (owned by that user, so it stays untrusted until an administrator takes
// it over) and never changes an existing one. True when the folder exists
// afterwards.
bool EnsureUpdateFolder();

// A key of the INI file file_name in the update folder ("Debug.ini" for the
// control, "debug.ini" for the engine), read with a buffer of buffer_chars
// (terminator included). Only when the folder and the file are each owned
// by Administrators, SYSTEM or the administrator running this, and grant no
// write-type right to anyone else; otherwise every key reads as not set,
// as if the file were missing. True when the value is not empty.
bool ReadUpdateFolderIni(const std::wstring& file_name, const std::wstring& section,
                         const std::wstring& key, unsigned buffer_chars, std::wstring* value);
