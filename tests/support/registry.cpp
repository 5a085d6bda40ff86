#include "tests/support/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/framework/handle.h"
#include "tests/support/text.h"

namespace zu::test {
namespace {

std::wstring Parent(const std::wstring& key) {
  const size_t slash = key.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
}

std::wstring Join(const std::wstring& key, const std::wstring& sub) {
  return key.empty() ? sub : key + L"\\" + sub;
}

bool ReadTree(HKEY key, KeySnapshot::Tree* tree) {
  // Lengths in characters without the terminator; grown when a name or
  // value changed in between.
  DWORD max_sub = 0, max_name = 0, max_data = 0;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &max_sub, nullptr, nullptr,
                         &max_name, &max_data, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> name(max_name + 2);
  std::vector<BYTE> data(max_data + 2);
  for (DWORD i = 0;;) {
    DWORD name_len = static_cast<DWORD>(name.size()), type = 0;
    DWORD bytes = static_cast<DWORD>(data.size());
    const LSTATUS status =
        ::RegEnumValueW(key, i, name.data(), &name_len, nullptr, &type, data.data(), &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<size_t>(data.size() * 2, bytes));
      continue;
    }
    if (status != ERROR_SUCCESS) return false;
    tree->values[std::wstring(name.data(), name_len)] =
        RawValue{type, std::vector<BYTE>(data.begin(), data.begin() + bytes)};
    ++i;
  }
  std::vector<wchar_t> sub(max_sub + 2);
  for (DWORD i = 0;;) {
    DWORD sub_len = static_cast<DWORD>(sub.size());
    const LSTATUS status =
        ::RegEnumKeyExW(key, i, sub.data(), &sub_len, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      sub.resize(sub.size() * 2 + 256);
      continue;
    }
    if (status != ERROR_SUCCESS) return false;
    const std::wstring sub_name(sub.data(), sub_len);
    UniqueRegKey child;
    if (::RegOpenKeyExW(key, sub_name.c_str(), 0, KEY_READ, child.put()) != ERROR_SUCCESS ||
        !ReadTree(child.get(), &tree->keys[sub_name]))
      return false;
    ++i;
  }
  return true;
}

bool WriteTree(HKEY root, const std::wstring& path, const KeySnapshot::Tree& tree) {
  UniqueRegKey key;
  if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = true;
  for (const auto& [name, value] : tree.values)
    ok &= ::RegSetValueExW(key.get(), name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  for (const auto& [name, sub] : tree.keys) ok &= WriteTree(root, Join(path, name), sub);
  return ok;
}

bool IsEmptyKey(HKEY root, const std::wstring& path) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  return ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

}  // namespace

RawValue Sz(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

RawValue Dword(DWORD value) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&value);
  return {REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(value))};
}

std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name) {
  // The bytes as stored: RegGetValue would add a missing terminator. Wine
  // refuses a buffer that an unterminated text fills exactly, so there is
  // room for one more character; a value that grew in between is read again.
  UniqueRegKey k;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue v;
  DWORD bytes = 0;
  if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &v.type, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  for (int attempt = 0; attempt < 8; ++attempt) {
    v.data.resize(bytes + sizeof(wchar_t));
    DWORD got = static_cast<DWORD>(v.data.size());
    const LSTATUS status =
        ::RegQueryValueExW(k.get(), name.c_str(), nullptr, &v.type, v.data.data(), &got);
    if (status == ERROR_SUCCESS) {
      v.data.resize(got);
      return v;
    }
    if (status != ERROR_MORE_DATA) return std::nullopt;
    bytes = std::max<DWORD>(got, bytes * 2);
  }
  return std::nullopt;
}

bool WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name,
              const std::optional<RawValue>& value) {
  if (!value) {
    const LSTATUS status = ::RegDeleteKeyValueW(root, key.c_str(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  UniqueRegKey k;
  return ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(),
                           nullptr) == ERROR_SUCCESS &&
         ::RegSetValueExW(k.get(), name.c_str(), 0, value->type, value->data.data(),
                          static_cast<DWORD>(value->data.size())) == ERROR_SUCCESS;
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key,
                                      const std::wstring& name) {
  std::optional<RawValue> v = ReadRaw(root, key, name);
  if (!v || v->type != REG_SZ) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(v->data.data()),
                    v->data.size() / sizeof(wchar_t));
  // Stored with or without its terminator; the text ends at the first one.
  const size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

std::optional<DWORD> RegDword(HKEY root, const std::wstring& key, const std::wstring& name) {
  std::optional<RawValue> v = ReadRaw(root, key, name);
  if (!v || v->type != REG_DWORD || v->data.size() != sizeof(DWORD)) return std::nullopt;
  DWORD n = 0;
  std::memcpy(&n, v->data.data(), sizeof(n));
  return n;
}

bool SetRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::wstring& value) {
  return WriteRaw(root, key, name, Sz(value));
}

bool SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  return WriteRaw(root, key, name, Dword(value));
}

bool KeyExists(HKEY root, const std::wstring& key) {
  UniqueRegKey k;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY root, const std::wstring& key) {
  ::RegDeleteTreeW(root, key.c_str());
  ::RegDeleteKeyW(root, key.c_str());  // RegDeleteTree may leave the key itself
  return !KeyExists(root, key);
}

void DeleteAllValues(HKEY root, const std::wstring& key) {
  std::optional<KeySnapshot::Tree> tree = KeySnapshot::Read(root, key);
  if (!tree) return;
  for (const auto& [name, value] : tree->values) ::RegDeleteKeyValueW(root, key.c_str(), name.c_str());
}

std::optional<KeySnapshot::Tree> KeySnapshot::Read(HKEY root, const std::wstring& key) {
  UniqueRegKey k;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS)
    return std::nullopt;
  Tree tree;
  if (!ReadTree(k.get(), &tree)) {
    ADD_FAILURE() << "could not read registry key " << Utf8(key);
    return std::nullopt;
  }
  return tree;
}

KeySnapshot::KeySnapshot(HKEY root, std::wstring key)
    : root_(root), key_(std::move(key)), tree_(Read(root_, key_)) {
  if (tree_) return;
  for (std::wstring p = key_; !p.empty() && !KeyExists(root_, p); p = Parent(p))
    missing_parents_.push_back(p);
}

KeySnapshot::~KeySnapshot() {
  bool ok = DeleteKeyTree(root_, key_);
  if (tree_) ok &= WriteTree(root_, key_, *tree_);
  // The key itself comes first; each parent goes only when nothing else
  // was put into it.
  for (const std::wstring& p : missing_parents_)
    if (p != key_ && IsEmptyKey(root_, p)) ::RegDeleteKeyW(root_, p.c_str());
  if (!ok) ADD_FAILURE() << "could not put back registry key " << Utf8(key_);
}

void KeySnapshot::Clear() const {
  if (!DeleteKeyTree(root_, key_)) ADD_FAILURE() << "could not remove registry key " << Utf8(key_);
}

}  // namespace zu::test
