#include "control/registry_text.h"

#include <windows.h>

#include <cwchar>

#include "common/framework/handle.h"
#include "control/error_codes.h"
#include "control/registry_format.h"

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      return HKEY_USERS;
  }
  return nullptr;
}

// Opens a path for reading; false when it is not a valid path or the key
// does not open.
bool OpenPath(const std::wstring& path, zu::UniqueRegKey* key, PathSplit* split = nullptr) {
  RegistryRoot root{};
  std::wstring subkey;
  const PathSplit s = SplitRegistryPath(path, &root, &subkey);
  if (split) *split = s;
  if (s != PathSplit::kOk) return false;
  if (::RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_READ, key->put()) != ERROR_SUCCESS) {
    key->reset();
    return false;
  }
  return true;
}

}  // namespace

std::wstring ReadRegistryValueText(const std::wstring& key_path, const std::wstring& value_name) {
  zu::UniqueRegKey key;
  if (!OpenPath(key_path, &key)) return std::wstring();
  BYTE data[kValueTextBufferBytes];
  DWORD type = 0, size = sizeof(data);
  if (::RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, data, &size) !=
      ERROR_SUCCESS)
    return std::wstring();
  return FormatValueText(type, data, size);
}

bool RegistryEntryExists(const std::wstring& key_path, const std::wstring& value_name) {
  zu::UniqueRegKey key;
  if (!OpenPath(key_path, &key)) return false;
  if (value_name.empty()) return true;
  return ::RegQueryValueExW(key.get(), value_name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

std::wstring ListRegistryKey(const std::wstring& key_path, std::vector<std::wstring>* subkeys,
                             std::vector<std::wstring>* values, long* error) {
  *error = kZuErrorSuccess;
  subkeys->clear();
  values->clear();
  zu::UniqueRegKey key;
  PathSplit split = PathSplit::kOk;
  if (!OpenPath(key_path, &key, &split)) {
    switch (split) {
      case PathSplit::kNoSeparator:
        *error = kZuErrorInvalidArgument;
        return std::wstring();
      case PathSplit::kUnknownRoot:
        return kListingInvalidPath;
      case PathSplit::kOk:
        break;
    }
    return kListingKeyNotFound;
  }

  RegistryListingText listing;
  wchar_t name[kRegistryNameChars];
  // A name too long for the buffer is skipped; any other failure ends the
  // enumeration, so that a failing index can never loop.
  for (DWORD index = 0;; ++index) {
    DWORD chars = kRegistryNameChars;
    const LONG r = ::RegEnumKeyExW(key.get(), index, name, &chars, nullptr, nullptr, nullptr,
                                   nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    const std::wstring subkey(name, chars);
    listing.AddSubKey(subkey);
    subkeys->push_back(subkey);
  }
  listing.BeginValues();
  for (DWORD index = 0;; ++index) {
    DWORD chars = kRegistryNameChars, type = 0;
    const LONG r =
        ::RegEnumValueW(key.get(), index, name, &chars, nullptr, &type, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    const std::wstring value(name, chars);
    const std::wstring entry = listing.AddValue(value, type);
    if (!value.empty() && !entry.empty()) values->push_back(entry);
  }
  return listing.text();
}

bool ReadRegistryKeyValues(const std::wstring& key_path, std::vector<RegistryValueEntry>* values) {
  values->clear();
  zu::UniqueRegKey key;
  if (!OpenPath(key_path, &key)) return false;
  std::vector<wchar_t> name(kRegistryNameChars);
  // Names first, data by name: a too-long name and too-big data are told
  // apart. Any failure but a too-long name ends the walk, so that a key
  // deleted meanwhile cannot keep it going.
  for (DWORD index = 0;; ++index) {
    DWORD chars = kRegistryNameChars;
    const LONG r = ::RegEnumValueW(key.get(), index, name.data(), &chars, nullptr, nullptr,
                                   nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    RegistryValueEntry entry;
    entry.name.assign(name.data(), chars);
    BYTE data[kValueTextBufferBytes];
    DWORD type = 0, bytes = sizeof(data);
    const LONG q = ::RegQueryValueExW(key.get(), entry.name.c_str(), nullptr, &type, data, &bytes);
    if (q != ERROR_SUCCESS && q != ERROR_MORE_DATA) continue;
    entry.type = type;
    entry.bytes = bytes;
    if (q == ERROR_SUCCESS) entry.data.assign(data, data + bytes);
    values->push_back(std::move(entry));
  }
  return true;
}

bool ReadRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                        std::size_t max_chars, RegistryStringTypes types, std::wstring* text) {
  text->clear();
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return false;
  DWORD type = 0, bytes = 0;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && !(type == REG_EXPAND_SZ && types == RegistryStringTypes::kPlainOrExpand))
    return false;
  // Room for a terminator the stored data may lack.
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD got = bytes;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &got) != ERROR_SUCCESS)
    return false;
  const std::wstring value(buffer.data(), ::wcsnlen(buffer.data(), got / sizeof(wchar_t)));
  if (value.size() > max_chars) return false;
  *text = value;
  return true;
}
