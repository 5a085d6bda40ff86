#include "control/identity_queries.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "common/framework/handle.h"
#include "common/identity.h"
#include "common/identity_rules.h"
#include "common/installed_components.h"
#include "common/platform.h"
#include "common/registry.h"
#include "common/wmi_query.h"
#include "control/host_check.h"
#include "control/match_rules.h"
#include "control/registry_text.h"
#include "control/requirement_list.h"

namespace {

const std::wstring kPatchDbPath =
    std::wstring(L"HKEY_LOCAL_MACHINE\\") + kSharedInfoKey + L"\\PatchDB";

// Debug file, WMI, cache; the WMI text refreshes the cache from Vista on.
std::wstring ReadIdentity(IdentitySources& src, const wchar_t* wql, const wchar_t* property,
                          const wchar_t* cache_name) {
  std::wstring text;
  if (src.QueryWmi(wql, property, &text) && !text.empty()) {
    if (src.IsVistaOrLater()) src.WriteCache(cache_name, text);
    return text;
  }
  text.clear();
  if (!src.ReadCache(cache_name, &text)) text.clear();
  return text;
}

std::wstring DebugOr(IdentitySources& src, const wchar_t* key,
                     std::wstring (*read)(IdentitySources&)) {
  std::wstring value;
  if (src.ReadDebug(key, &value)) return value;
  return read(src);
}

std::wstring IdentifyingNumberOrDebug(IdentitySources& src) {
  return DebugOr(src, L"ModelCodeANDSerialNumber", ReadIdentifyingNumberText);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  const std::size_t n = std::min(prefix.size(), kPrefixMaxChars);
  return text.size() >= n && text.compare(0, n, prefix, 0, n) == 0;
}

}  // namespace

bool IdentitySources::ReadDebug(const std::wstring& key, std::wstring* value) {
  return ReadDebugGeneral(key, value);
}

bool IdentitySources::QueryWmi(const std::wstring& wql, const std::wstring& property,
                               std::wstring* text) {
  // The control runs in the browser's apartment, already initialised.
  return QueryWmiProperty(wql, property, text, WmiCom::kCallerInitialized);
}

bool IdentitySources::ReadCache(const std::wstring& name, std::wstring* text) {
  CRegKeyUtil reg;
  return reg.ReadString(name, text, HKEY_CURRENT_USER, kIdentityCacheKey);
}

void IdentitySources::WriteCache(const std::wstring& name, const std::wstring& text) {
  RegWriteString(HKEY_CURRENT_USER, kIdentityCacheKey, name, text);
}

bool IdentitySources::IsVistaOrLater() { return ::IsVistaOrLater(); }

IdentitySources& RealIdentitySources() {
  static IdentitySources real;
  return real;
}

std::wstring ReadModelNameText(IdentitySources& src) {
  return ReadIdentity(src, kProductQuery, L"Name", kCacheModelName);
}

std::wstring ReadIdentifyingNumberText(IdentitySources& src) {
  return ReadIdentity(src, kProductQuery, L"IdentifyingNumber", kCacheIdentifyingNumber);
}

std::wstring ReadBiosVersionText(IdentitySources& src) {
  return ReadIdentity(src, kBiosQuery, L"SMBIOSBIOSVersion", kCacheBiosVersion);
}

std::wstring QueryModelName(IdentitySources& src) {
  std::wstring value;
  if (src.ReadDebug(L"ModelName", &value)) return value;
  return CutModelName(ReadModelNameText(src));
}

std::wstring QueryModelCode(IdentitySources& src) {
  std::wstring code, serial;
  SplitIdentityForPage(IdentifyingNumberOrDebug(src), &code, &serial);
  return code;
}

std::wstring QuerySerialNumber(IdentitySources& src) {
  std::wstring code, serial;
  SplitIdentityForPage(IdentifyingNumberOrDebug(src), &code, &serial);
  return serial;
}

std::wstring QueryBiosVersion(IdentitySources& src) {
  return DebugOr(src, L"BIOSVersion", ReadBiosVersionText);
}

ULONG QuerySystemDefaultLcid(IdentitySources& src) {
  std::wstring value;
  if (src.ReadDebug(L"LCID", &value)) return static_cast<ULONG>(ParseDecimalLikeScanf(value));
  return ::GetSystemDefaultLCID();
}

bool CheckOsVersionItems(const std::wstring& param, IdentitySources& src,
                         const OsDescription& os) {
  if (param.empty()) return false;
  const std::vector<std::wstring> items = SplitAt(param, L',');
  std::wstring debug;
  if (src.ReadDebug(L"OSVersion", &debug)) {
    for (const std::wstring& item : items)
      if (item == debug) return true;
    return false;
  }
  for (const std::wstring& item : items)
    if (MatchOsRequirement(item, os) == RuleResult::kMatch) return true;
  return false;
}

RuleResult MatchOsVersionList(const std::wstring& param, const OsDescription& os) {
  if (param.empty()) return RuleResult::kInvalid;
  // Pieces keep their escapes: an escaped comma or star is no number.
  const std::vector<std::wstring> items = CutAtUnescapedCommas(param);
  std::vector<RuleResult> results;
  for (const std::wstring& item : items) {
    const RuleResult r = MatchOsRequirement(item, os);
    if (r == RuleResult::kInvalid) return r;
    results.push_back(r);
  }
  for (RuleResult r : results)
    if (r == RuleResult::kMatch) return r;
  return RuleResult::kNoMatch;
}

bool IsComponentInstalledForPage(const std::wstring& id_in) {
  if (id_in.empty()) return false;
  std::wstring id = id_in;
  std::vector<std::wstring> patch_keys, values;
  long error = 0;
  ListRegistryKey(kPatchDbPath, &patch_keys, &values, &error);
  for (const std::wstring& name : patch_keys) {
    if (StartsWith(name, id)) {
      id = name;
      break;
    }
  }
  ComponentSearch search;
  if (IsUsableKeyName(id)) {
    search.patchdb_key = id;
    search.patchdb_patchid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, id); };
  }
  search.appid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, id); };
  search.app_patchid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, id); };
  return SearchComponentDatabase(search);
}

bool IsComponentPrefixInstalled(const std::wstring& prefix) {
  if (prefix.empty()) return false;
  ComponentSearch search;
  if (IsUsableKeyName(prefix)) {
    search.patchdb_key = prefix;
    search.patchdb_patchid = [&](const std::wstring& s) { return zu::EqualsIgnoringAsciiCase(s, prefix); };
  }
  search.appid = [&](const std::wstring& s) {
    return zu::EqualsIgnoringAsciiCase(s, prefix) || StartsWith(s, prefix);
  };
  search.app_patchid = [&](const std::wstring& s) { return StartsWith(s, prefix); };
  return SearchComponentDatabase(search);
}

bool SearchSpidItems(const std::wstring& param, IdentitySources& src) {
  if (param.empty()) return false;
  std::wstring debug;
  const bool has_debug = src.ReadDebug(L"SPID", &debug);
  for (const std::wstring& item : SplitAt(param, L',')) {
    // An empty item names nothing, not even inside the debug value.
    if (item.empty()) continue;
    if (has_debug && debug.find(item) != std::wstring::npos) return true;
    if (IsComponentInstalledForPage(item)) return true;
  }
  return false;
}

RuleResult MatchSpidList(const std::wstring& param) {
  std::vector<RequirementItem> items;
  const ListRules rules{.wildcards = true, .any_value = false, .several = true, .empty = false};
  if (!SplitRequirementList(param, &items, rules)) return RuleResult::kInvalid;
  for (const RequirementItem& item : items) {
    const bool installed = item.prefix ? IsComponentPrefixInstalled(item.text.substr(
                                             0, std::min(item.text.size(), kPrefixMaxChars)))
                                       : IsComponentInstalledForPage(item.text);
    if (installed) return RuleResult::kMatch;
  }
  return RuleResult::kNoMatch;
}

std::vector<std::wstring> ReadInstalledApplications() {
  std::vector<std::wstring> apps;
  const std::wstring app_db = std::wstring(kSharedInfoKey) + L"\\AppDB";
  zu::UniqueRegKey root;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, app_db.c_str(), 0, KEY_READ, root.put()) !=
      ERROR_SUCCESS)
    return apps;
  for (DWORD index = 0;; ++index) {
    wchar_t name[261];
    DWORD chars = 261;
    const LONG r =
        ::RegEnumKeyExW(root.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    zu::UniqueRegKey app;
    if (::RegOpenKeyExW(root.get(), name, 0, KEY_READ, app.put()) != ERROR_SUCCESS) continue;
    const auto read = [&](const wchar_t* value) {
      wchar_t buf[261] = {};
      DWORD bytes = sizeof(buf) - sizeof(wchar_t), type = 0;
      if (::RegQueryValueExW(app.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buf),
                             &bytes) != ERROR_SUCCESS ||
          (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
      buf[bytes / sizeof(wchar_t)] = L'\0';
      return std::wstring(buf);
    };
    apps.push_back(read(L"appname") + L":" + read(L"version"));
  }
  return apps;
}

RuleResult MatchNameList(const std::wstring& list, const std::wstring& actual, bool any_value) {
  std::vector<RequirementItem> items;
  const ListRules rules{.wildcards = true, .any_value = any_value, .several = true,
                        .empty = false};
  if (!SplitRequirementList(list, &items, rules)) return RuleResult::kInvalid;
  for (const RequirementItem& item : items)
    if (MatchText(actual, item)) return RuleResult::kMatch;
  return RuleResult::kNoMatch;
}

void ModelIdentityForRequirement(const std::wstring* debug_value, IdentitySources& src,
                                 std::wstring* code, std::wstring* serial) {
  if (!debug_value) {
    *code = QueryModelCode(src);
    *serial = QuerySerialNumber(src);
    return;
  }
  const std::size_t dash = debug_value->find(L'-');
  *code = debug_value->substr(0, dash);
  *serial = dash == std::wstring::npos ? *debug_value : debug_value->substr(dash + 1);
}
