#include "common/installed_components.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/framework/handle.h"
#include "common/identity_rules.h"

namespace {

zu::UniqueRegKey OpenForReading(HKEY parent, const std::wstring& subkey) {
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    key.reset();
  return key;
}

bool ReadText(HKEY key, const wchar_t* name, std::wstring* text) {
  BYTE buf[(kComponentTextMax + 1) * sizeof(wchar_t)] = {};
  DWORD type = 0, size = sizeof(buf);
  if (::RegQueryValueExW(key, name, nullptr, &type, buf, &size) != ERROR_SUCCESS) return false;
  return DecodeComponentText(type, buf, size, text);
}

bool ValueMatches(HKEY key, const wchar_t* name,
                  const std::function<bool(const std::wstring&)>& test) {
  std::wstring text;
  return test && ReadText(key, name, &text) && test(text);
}

// Calls visit with each sub-key that opens, by index from 0 until the
// enumeration fails; stops early when visit answers true.
bool AnySubKey(HKEY parent, const std::function<bool(HKEY)>& visit) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kComponentKeyNameChars];
    DWORD chars = kComponentKeyNameChars;
    if (::RegEnumKeyExW(parent, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return false;
    zu::UniqueRegKey child = OpenForReading(parent, name);
    if (child && visit(child.get())) return true;
  }
}

}  // namespace

bool SearchComponentDatabase(const ComponentSearch& search) {
  if (!search.patchdb_key.empty() && search.patchdb_patchid) {
    zu::UniqueRegKey patch = OpenForReading(
        HKEY_LOCAL_MACHINE, std::wstring(kSharedInfoKey) + L"\\PatchDB\\" + search.patchdb_key);
    if (patch && ValueMatches(patch.get(), L"patchid", search.patchdb_patchid)) return true;
  }
  if (!search.appid && !search.app_patchid) return false;

  zu::UniqueRegKey apps =
      OpenForReading(HKEY_LOCAL_MACHINE, std::wstring(kSharedInfoKey) + L"\\AppDB");
  if (!apps) return false;
  return AnySubKey(apps.get(), [&](HKEY app) {
    if (ValueMatches(app, L"appid", search.appid)) return true;
    if (!search.app_patchid) return false;
    zu::UniqueRegKey patches = OpenForReading(app, L"PatchList");
    return patches && AnySubKey(patches.get(), [&](HKEY patch) {
             return ValueMatches(patch, L"patchid", search.app_patchid);
           });
  });
}

bool IsComponentInstalled(const std::wstring& id) {
  if (id.empty()) return false;
  ComponentSearch search;
  // An identifier with a "\" would open a deeper key, never one named by it.
  if (IsUsableKeyName(id)) {
    search.patchdb_key = id;
    search.patchdb_patchid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, id); };
  }
  search.appid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, id); };
  search.app_patchid = [&](const std::wstring& s) { return s == id; };
  return SearchComponentDatabase(search);
}
