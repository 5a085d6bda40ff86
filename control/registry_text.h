#pragma once
// The control's registry helpers: values as text, existence of a key or
// value, and key listings, all on paths "ROOT_NAME\sub\key" (see
// registry_format.h). Keys are opened for reading only.
#include <string>
#include <vector>

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
