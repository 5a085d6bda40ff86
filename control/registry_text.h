#pragma once
// The control's registry helpers: values as text, existence of a key or
// value, and key listings, all on paths "ROOT_NAME\sub\key" (see
// registry_format.h). Keys are opened for reading only.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "control/registry_value_list.h"

// Empty when the path has no "\", the root name is unknown, the key or
// value cannot be read (1024 bytes at most) or its type has no text.
std::wstring ReadRegistryValueText(const std::wstring& key_path, const std::wstring& value_name);

// True when the key opens and, for a non-empty value name, that value can
// be queried.
bool RegistryEntryExists(const std::wstring& key_path, const std::wstring& value_name);

// The "KEYS:" / "VALUES:" listing; fills the sub-key names in enumeration
// order and the entries "name(LABEL)" of the named values. "Invalid Path"
// for an unknown root, "Key not Found!" for a key that does not open.
// *error gets the last-error code the page sees: 0, or 0x20000015 (with an
// empty text) when the path has no "\".
std::wstring ListRegistryKey(const std::wstring& key_path, std::vector<std::wstring>* subkeys,
                             std::vector<std::wstring>* values, long* error);

// The values of the key at a path, in enumeration order, for the searches
// of registry_value_list.h. Each is read with the 1024-byte buffer: a value
// whose data does not fit keeps its name, type and size but no data. A
// name too long for the 1024-character buffer is skipped. False when the
// path is not valid or the key does not open.
bool ReadRegistryKeyValues(const std::wstring& key_path, std::vector<RegistryValueEntry>* values);

enum class RegistryStringTypes { kPlainOnly, kPlainOrExpand };
// A string value up to its first null, stored as REG_SZ (or REG_EXPAND_SZ,
// not expanded, when allowed) and at most max_chars characters long.
bool ReadRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                        std::size_t max_chars, RegistryStringTypes types, std::wstring* text);
