#pragma once
// What the page learns about the PC: identity texts (debug file, then WMI
// in the caller's COM apartment, then the per-user cache), the system
// locale, OS requirement items, installed components and applications.
// The scripting methods of CZUAXCtrl call these after their prologue.
#include <windows.h>

#include <string>
#include <vector>

#include "control/query_rules.h"

// Where the identity texts come from; the real sources unless a test
// replaces some of them.
class IdentitySources {
 public:
  virtual ~IdentitySources() = default;
  // A key of the debug file's "General" section; true when set.
  virtual bool ReadDebug(const std::wstring& key, std::wstring* value);
  // One WMI property of the first object of the query.
  virtual bool QueryWmi(const std::wstring& wql, const std::wstring& property,
                        std::wstring* text);
  // The per-user identity cache; an empty stored text counts as absent.
  virtual bool ReadCache(const std::wstring& name, std::wstring* text);
  virtual void WriteCache(const std::wstring& name, const std::wstring& text);
  virtual bool IsVistaOrLater();
};
IdentitySources& RealIdentitySources();

// The raw texts: WMI, else the cache; a WMI read refreshes the cache from
// Vista on. Empty when no source has one.
std::wstring ReadModelNameText(IdentitySources& src);
std::wstring ReadIdentifyingNumberText(IdentitySources& src);
std::wstring ReadBiosVersionText(IdentitySources& src);

// The answers of the scripting methods.
std::wstring QueryModelName(IdentitySources& src);     // debug value uncut
std::wstring QueryModelCode(IdentitySources& src);
std::wstring QuerySerialNumber(IdentitySources& src);
std::wstring QueryBiosVersion(IdentitySources& src);
ULONG QuerySystemDefaultLcid(IdentitySources& src);

// CheckOSVersion's rule: items cut at ","; the debug value "OSVersion",
// when set, must equal an item; otherwise the first item that matches os.
bool CheckOsVersionItems(const std::wstring& param, IdentitySources& src,
                         const OsDescription& os);
// SearchOSVersionEx's list: escapes honoured, empty or malformed items
// make the whole text invalid.
RuleResult MatchOsVersionList(const std::wstring& param, const OsDescription& os);

// The control's installed test: like the agent's, but an identifier that
// begins a "PatchDB" sub-key name becomes that name, and an application's
// patch ids compare without case.
bool IsComponentInstalledForPage(const std::wstring& id);
// The prefix test of SearchSPIDEx items ending in "*".
bool IsComponentPrefixInstalled(const std::wstring& prefix);
// SearchSPID's rule: items cut at "," (no escapes); an item found in the
// debug value "SPID" or installed answers true.
bool SearchSpidItems(const std::wstring& param, IdentitySources& src);
// SearchSPIDEx's list after the frame: kInvalid for a list that breaks
// its rules.
RuleResult MatchSpidList(const std::wstring& param);

// "appname:version" of every application under "AppDB", in enumeration order.
std::vector<std::wstring> ReadInstalledApplications();

// SearchModelNameEx / SearchBIOSVersionEx: prefix items by prefix, plain
// items equal ignoring case; kInvalid for a list that breaks its rules.
RuleResult MatchNameList(const std::wstring& list, const std::wstring& actual, bool any_value);

// The identity a model requirement is tested against: the debug value cut
// at its first "-" (whole for both parts without one), else the model code
// and serial number.
void ModelIdentityForRequirement(const std::wstring* debug_value, IdentitySources& src,
                                 std::wstring* code, std::wstring* serial);
