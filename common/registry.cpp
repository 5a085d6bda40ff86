#include "common/registry.h"

#include <vector>

#include "common/framework/handle.h"

namespace {

constexpr REGSAM kWriteAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

zu::UniqueRegKey OpenKey(HKEY root, const std::wstring& subkey, REGSAM access) {
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(root, subkey.c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

zu::UniqueRegKey CreateKey(HKEY root, const std::wstring& subkey) {
  zu::UniqueRegKey key;
  if (::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, kWriteAccess, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
    key.reset();
  return key;
}

// Reads into a zero-filled buffer of the given size; false when the query
// fails (missing value, or longer than the buffer).
bool QueryText(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD bytes,
               std::wstring* text) {
  zu::UniqueRegKey key = OpenKey(root, subkey, KEY_READ);
  if (!key) return false;
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = bytes;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
    return false;
  *text = buf.data();  // up to the first null; the extra slot guarantees one
  return true;
}

bool WriteValue(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD type,
                const void* data, DWORD bytes) {
  zu::UniqueRegKey key = CreateKey(root, subkey);
  if (!key) return false;
  return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          bytes) == ERROR_SUCCESS;
}

bool WriteText(HKEY root, const std::wstring& subkey, const std::wstring& name,
               const std::wstring& value) {
  return WriteValue(root, subkey, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

bool CRegKeyUtil::ReadDWORD(const std::wstring& name, DWORD* value, HKEY root,
                            const std::wstring& subkey) {
  zu::UniqueRegKey key = OpenKey(root, subkey, KEY_READ);
  if (!key) return false;
  DWORD type = 0, data = 0, size = sizeof(data);
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return false;
  *value = data;
  return true;
}

bool CRegKeyUtil::ReadString(const std::wstring& name, std::wstring* value, HKEY root,
                             const std::wstring& subkey) {
  std::wstring text;
  if (!QueryText(root, subkey, name, kRegKeyUtilStringBytes, &text) || text.empty()) return false;
  *value = std::move(text);
  return true;
}

bool CRegKeyUtil::WriteDWORD(const std::wstring& name, DWORD value, HKEY root,
                             const std::wstring& subkey) {
  return WriteValue(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

bool CRegKeyUtil::WriteString(const std::wstring& name, const std::wstring& value, HKEY root,
                              const std::wstring& subkey) {
  return WriteText(root, subkey, name, value);
}

bool RegWriteDWORD(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD value) {
  return WriteValue(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

bool RegWriteString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                    const std::wstring& value) {
  return WriteText(root, subkey, name, value);
}

bool RegReadString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                   std::wstring* value) {
  return QueryText(root, subkey, name, kRegReadStringBytes, value);
}

bool RegDeleteValueOf(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  zu::UniqueRegKey key = OpenKey(root, subkey, KEY_ALL_ACCESS);
  if (!key) return false;
  return ::RegDeleteValueW(key.get(), name.c_str()) == ERROR_SUCCESS;
}
