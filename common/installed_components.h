#pragma once
// The maker's machine-wide record of installed applications and patches,
// written by its installers and only read here:
//   HKLM\SOFTWARE\Vexa Corporation\Shared Info
//     PatchDB\<id>                      "patchid"  a patch on its own
//     AppDB\<any>                       "appid"    an application
//     AppDB\<any>\PatchList\<any>       "patchid"  a patch of that application
#include <functional>
#include <string>

inline constexpr wchar_t kSharedInfoKey[] = L"SOFTWARE\\Vexa Corporation\\Shared Info";

// One walk of the database. Each test sees a stored identifier text; an
// empty test skips that place. patchdb_key names the one "PatchDB" sub-key
// to look at (empty: none). Missing keys, values of other types and texts
// too long for the reader count as not recorded.
struct ComponentSearch {
  std::wstring patchdb_key;
  std::function<bool(const std::wstring&)> patchdb_patchid;
  std::function<bool(const std::wstring&)> appid;
  std::function<bool(const std::wstring&)> app_patchid;
};
bool SearchComponentDatabase(const ComponentSearch& search);

// True when the identifier is recorded: as a patch of its own ("patchid"
// ignoring case), as an application ("appid" ignoring case) or as a patch
// of an application ("patchid" exactly). Never for an empty identifier.
bool IsComponentInstalled(const std::wstring& id);
