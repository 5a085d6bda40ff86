#include "tests/native/fuzz_targets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/ascii_case.h"
#include "common/net/http_rules.h"
#include "common/patch_list_format.h"
#include "common/timestamp_token.h"
#include "control/drive_rules.h"
#include "control/engine/self_update_rules.h"
#include "control/engine/transfer_rules.h"
#include "control/error_codes.h"
#include "control/match_rules.h"
#include "control/module_path.h"
#include "control/page_url_rules.h"
#include "control/query_rules.h"
#include "control/registry_format.h"
#include "control/registry_value_list.h"
#include "control/requirement_list.h"
#include "tests/support/page_address_near_miss.h"
#include "control/version_text.h"

namespace {

using zu::test::NearMiss;
using zu::test::NearMissVerdict;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

// Page text arrives as UTF-16: the input is read as little-endian code units.
std::wstring Utf16(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  return text;
}

// Two texts cut at the first line feed.
void Cut(const std::wstring& all, std::wstring* first, std::wstring* second) {
  const std::size_t nl = all.find(L'\n');
  *first = all.substr(0, nl);
  *second = nl == std::wstring::npos ? std::wstring() : all.substr(nl + 1);
}

std::wstring Escape(const RequirementItem& item) {
  std::wstring out;
  for (wchar_t c : item.text) {
    if (c == L',' || c == L'*' || c == L'\\') out.push_back(L'\\');
    out.push_back(c);
  }
  if (item.prefix) out.push_back(L'*');
  return out;
}

bool StartsWith(const std::wstring& s, const std::wstring& p) {
  return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

}  // namespace

int Fuzz_list_match(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ListRules rules{.wildcards = (data[0] & 1) != 0, .any_value = (data[0] & 2) != 0,
                        .several = (data[0] & 4) != 0, .empty = (data[0] & 8) != 0};
  std::wstring actual, list;
  Cut(Utf16(data + 1, size - 1), &actual, &list);

  std::vector<RequirementItem> items;
  if (!SplitRequirementList(list, &items, rules)) {
    Check(items.empty(), "a refused list leaves no items");
    return 0;
  }
  Check(!items.empty(), "an accepted list has an item");
  Check(rules.several || items.size() == 1, "one item when several are not allowed");
  std::wstring joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const RequirementItem& item = items[i];
    Check(rules.wildcards || !item.prefix, "no prefix items without wildcards");
    Check(rules.any_value || !item.IsAnyValue(), "no any-value item unless allowed");
    Check(rules.empty || item.prefix || !item.text.empty(), "no empty item unless allowed");
    if (i) joined.push_back(L',');
    joined += Escape(item);

    const bool match = MatchText(actual, item);
    if (actual.empty()) Check(!match, "an empty value never matches");
    if (item.prefix && item.text.size() <= kPrefixMaxChars && !actual.empty())
      Check(match == StartsWith(actual, item.text), "prefix items match by prefix");
    if (!item.prefix && match) Check(zu::EqualsIgnoringAsciiCase(actual, item.text), "plain items match equal");
    if (!item.text.empty() && !item.prefix)
      Check(MatchText(item.text, item), "a plain item matches itself");
  }
  std::vector<RequirementItem> again;
  Check(SplitRequirementList(joined, &again, rules), "escaped items split again");
  Check(again == items, "escaping round-trips");
  return 0;
}

int Fuzz_version(const std::uint8_t* data, std::size_t size) {
  std::wstring actual, version;
  Cut(Utf16(data, size), &actual, &version);
  const std::wstring once = NormalizeVersion(version);
  Check(NormalizeVersion(once) == once, "normalising twice changes nothing");
  Check(once.size() <= version.size(), "normalising never lengthens");
  std::size_t dots_in = 0, dots_out = 0;
  for (wchar_t c : version) dots_in += c == L'.';
  for (wchar_t c : once) dots_out += c == L'.';
  Check(dots_in == dots_out, "components are kept");
  if (!once.empty()) Check(MatchVersion(once, {version, false}), "a version matches its item");
  MatchVersion(actual, {version, true});
  bool invalid = false;
  MatchDate(actual, ResolveEscapes(version), &invalid);
  Check(invalid == ResolveEscapes(version).IsAnyValue(), "only \"*\" is a refused date");
  // The self update's order and its rule on offered versions.
  const int order = CompareVersionTexts(actual, version);
  Check(order == -CompareVersionTexts(version, actual), "the order is antisymmetric");
  Check((order == 0) == (actual == version), "only equal texts compare equal");
  auto digits_and_dots = [](const std::wstring& t) {
    return t.find_first_not_of(L"0123456789.") == std::wstring::npos;
  };
  if (digits_and_dots(actual) && digits_and_dots(version)) {
    const int whole = actual.compare(version);
    Check((order < 0) == (whole < 0) && (order > 0) == (whole > 0),
          "for digits and dots the order is the whole texts' order");
  }
  if (IsOfferedVersionAllowed(version)) {
    Check(digits_and_dots(version) && std::count(version.begin(), version.end(), L'.') == 3,
          "an allowed offer is four parts of digits");
    Check(!IsOlderThanOffered(version, version), "an offer is not older than itself");
  }
  const std::string head(reinterpret_cast<const char*>(data), size);
  const std::string line = FirstVersionLine(head);
  Check(line.size() <= kVersionTextBytes, "a version line has at most 128 bytes");
  Check(head.compare(0, line.size(), line) == 0, "a version line is the file's start");
  Check(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
        "a version line holds no line end");
  return 0;
}

int Fuzz_serial_range(const std::uint8_t* data, std::size_t size) {
  std::wstring a, b;
  Cut(Utf16(data, size), &a, &b);
  if (IsDecimal(a) && IsDecimal(b)) {
    const int ab = CompareDecimal(a, b);
    Check(ab == -CompareDecimal(b, a), "comparison is antisymmetric");
    if (a.size() <= 18 && b.size() <= 18) {
      const unsigned long long x = std::stoull(std::string(a.begin(), a.end()));
      const unsigned long long y = std::stoull(std::string(b.begin(), b.end()));
      Check(ab == (x < y ? -1 : (x > y ? 1 : 0)), "comparison is numeric");
    }
    Check(MatchIdentityPattern(a, {a + L"-" + a, false}), "a value lies in its own range");
    Check(MatchIdentityPattern(a, {b, false}) == (ab == 0), "plain numbers compare numerically");
  }
  MatchIdentityPattern(a, ResolveEscapes(b));
  std::wstring code, serial;
  SplitIdentityForPage(a, &code, &serial);
  const bool lenient = MatchModelRequirement(b, code, serial);
  const RuleResult strict = MatchModelRequirementEx(b, code, serial);
  // What the strict form accepts, the lenient form finds as well.
  if (strict == RuleResult::kMatch) Check(lenient, "strict match implies lenient match");
  OsDescription os{5, 1, 2, 0, 1};
  MatchOsRequirement(b, os);
  return 0;
}

// A module URL from a page: whatever it holds, a local path stays inside
// its own folder below C:\Update and names the URL's last segment.
int Fuzz_module_path(const std::uint8_t* data, std::size_t size) {
  const std::wstring url = Utf16(data, size);
  const std::wstring final_path = ModuleFinalPath(url);
  const std::wstring folder = ModuleFolder(url);
  const std::wstring partial = ModulePartialPath(url);
  Check(final_path.empty() == folder.empty() && final_path.empty() == partial.empty(),
        "the three paths exist together");
  if (final_path.empty()) return 0;
  const std::wstring root = std::wstring(kUpdateFolder) + L"\\";
  Check(StartsWith(final_path, root), "below the update folder");
  const std::wstring rest = final_path.substr(root.size());
  Check(rest.find(L'\\') != std::wstring::npos &&
            rest.find(L'\\') == rest.rfind(L'\\'),
        "exactly one folder level below it");
  Check(final_path.find(L"..") == std::wstring::npos, "no parent references");
  Check(final_path.find(L'/') == std::wstring::npos && rest.find(L':') == std::wstring::npos,
        "no other separators or streams");
  for (wchar_t c : final_path) Check(c >= 0x20, "no control characters");
  Check(StartsWith(final_path, folder + L"\\"), "the file is in its folder");
  Check(partial == final_path + kPartialSuffix, "the partial file sits beside it");
  Check(partial.size() <= kMaxModulePathChars, "fits MAX_PATH");
  Check(final_path.substr(final_path.rfind(L'\\') + 1) == url.substr(url.rfind(L'/') + 1),
        "named after the URL's last segment");
  const wchar_t last = final_path.back();
  Check(last != L'.' && last != L' ', "no name Windows would change");
  return 0;
}

// A server's control-connection replies and HTTP part headers.
int Fuzz_ftp_reply(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  if (std::optional<PassiveAddress> a = ParsePasvReply(reply)) {
    Check(a->port != 0, "a data port");
    unsigned parts[4];
    Check(std::sscanf(a->host.c_str(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2],
                      &parts[3]) == 4,
          "a dotted address");
    for (unsigned p : parts) Check(p <= 255, "address parts are bytes");
    const std::string again = "227 (" + std::to_string(parts[0]) + "," + std::to_string(parts[1]) +
                              "," + std::to_string(parts[2]) + "," + std::to_string(parts[3]) +
                              "," + std::to_string(a->port / 256) + "," +
                              std::to_string(a->port % 256) + ")";
    std::optional<PassiveAddress> b = ParsePasvReply(again);
    Check(b && b->host == a->host && b->port == a->port, "the address reads back");
  }
  const std::wstring text(reply.begin(), reply.end());
  if (std::optional<std::uint64_t> first = zu::net::ContentRangeFirst(text)) {
    Check(PlaceHttpBody(206, *first, text) == BodyPlacement::kAppend, "a matching part appends");
    Check(PlaceHttpBody(206, *first + 1, text) == BodyPlacement::kFail || *first == UINT64_MAX,
          "another offset fails");
  }
  return 0;
}

// A Content-Length and a path with its query, as a server or an address
// brings them.
int Fuzz_http_text(const std::uint8_t* data, std::size_t size) {
  std::wstring length, address;
  Cut(Utf16(data, size), &length, &address);
  if (const std::optional<std::uint64_t> value = zu::net::ParseContentLength(length)) {
    std::wstring digits = length;
    digits.erase(0, digits.find_first_not_of(L" \t"));
    digits.erase(digits.find_last_not_of(L" \t") + 1);
    for (wchar_t c : digits) Check(c >= L'0' && c <= L'9', "a length is digits only");
    digits.erase(0, std::min(digits.find_first_not_of(L'0'), digits.size() - 1));
    Check(digits == std::to_wstring(*value), "a length reads as its decimal value");
  }
  const std::size_t query = std::min(address.find(L'?'), address.size());
  const std::wstring target =
      zu::net::RequestTarget(address.substr(0, query), address.substr(query));
  Check(target.find(L'#') == std::wstring::npos, "no fragment goes out");
  Check(target == L"/" || address.starts_with(target), "the target is the address's start");
  const std::wstring range = zu::net::RangeHeader({size, size * 3});
  Check(range == L"Range:bytes=" + std::to_wstring(size) + L"-" + std::to_wstring(size * 3),
        "range numbers are written whole");
  return 0;
}

// Odd first byte: a near miss of an allowed page built from the rest, which
// must get its verdict. Even: the rest as an address of any shape, which
// when allowed must have an authority no parser reads two ways.
int Fuzz_page_address(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1) {
    const NearMiss m = zu::test::MakeNearMiss(data + 1, size - 1);
    const bool allowed = IsAllowedPageAddress(m.address);
    if (m.verdict == NearMissVerdict::kMustRefuse) Check(!allowed, "a near miss is refused");
    if (m.verdict == NearMissVerdict::kMustAllow) Check(allowed, "an allowed page stays allowed");
    return 0;
  }
  const std::wstring address = Utf16(data + 1, size - 1);
  if (!IsAllowedPageAddress(address)) return 0;
  const std::optional<PageUrlParts> parts = ParsePageAddress(address);
  Check(parts.has_value(), "an allowed address parses");
  Check(parts->scheme != PageScheme::kOther, "an allowed address is HTTP or HTTPS");
  Check(IsDnsHostText(parts->host), "an allowed host is DNS text");
  const std::size_t start = address.find(L"//") + 2;
  const std::wstring authority = address.substr(start, address.find_first_of(L"/?#", start) - start);
  Check(authority.find(L'\\') == std::wstring::npos, "no backslash in an allowed authority");
  Check(authority.find(L'@') == authority.rfind(L'@'), "at most one @ in an allowed authority");
  for (wchar_t c : authority) Check(c > L' ' && c != 0x7F, "no blank in an allowed authority");
  return 0;
}

int Fuzz_registry_values(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: the stored value's type; then the value's data and, after
  // the first line feed of the rest, the page's name and value lists.
  const std::uint32_t type = data[0] & 15;
  const std::size_t stored = std::min<std::size_t>(data[1] * 8u, size - 2);
  const std::uint8_t* value = data + 2;
  std::wstring names, values;
  Cut(Utf16(data + 2 + stored, size - 2 - stored), &names, &values);

  const RegistryValueForms forms = ValueForms(type, value, stored);
  if (type != 1 && type != 4) Check(forms.plain.empty(), "only strings and DWORDs have a plain form");
  if (stored > kValueTextBufferBytes)
    Check(forms.plain.empty() && forms.text.empty(), "values beyond the buffer have no forms");
  else
    Check(forms.text == FormatValueText(type, value, stored), "the text form is the value text");

  std::vector<RequirementItem> items;
  if (ParseRegistryValueList(values, &items)) {
    Check(!items.empty(), "an accepted value list has an item");
    for (const RequirementItem& item : items) {
      for (wchar_t c : item.text) Check(c < L'A' || c > L'Z', "value items are lower-cased");
      if (!item.prefix) Check(!item.text.empty(), "no empty value item");
      ValueFormsMatch(forms, item);
    }
  } else {
    Check(items.empty(), "a refused value list leaves no items");
  }
  // One key holding this value under the name "v".
  std::vector<RegistryValueEntry> key = {
      {L"v", type, std::vector<std::uint8_t>(value, value + stored), stored}};
  int reads = 0;
  const RegistryKeyReader read = [&](const std::wstring&, std::vector<RegistryValueEntry>* v) {
    ++reads;
    *v = key;
    return true;
  };
  const RegistrySearchResult presence =
      SearchRegistryValues(L"HKEY_LOCAL_MACHINE\\k", names, nullptr, read);
  const RegistrySearchResult info =
      SearchRegistryValues(L"HKEY_LOCAL_MACHINE\\k", names, &values, read);
  if (info.result == RuleResult::kMatch)
    Check(presence.result == RuleResult::kMatch, "a value that matches is present");
  Check(presence.error == 0 && info.error == 0, "a key that opens sets no code");
  return 0;
}

int Fuzz_drive_inquiry(const std::uint8_t* data, std::size_t size) {
  PassThroughBuffer reply{};
  std::copy(data, data + std::min(size, reply.size()), reply.begin());
  InquiryFields f;
  const bool ok = ParseInquiryReply(reply, &f);
  Check(ok == (reply[2] == 0), "only a good SCSI status answers");
  Check(f.vendor.size() <= 8 && f.product.size() <= 16 && f.revision.size() <= 4 &&
            f.vendor_specific.size() <= 20,
        "fields keep their widths");
  Check(f.product.empty() || f.vendor.size() == 8, "fields follow each other");
  for (const std::string* s : {&f.vendor, &f.product, &f.revision, &f.vendor_specific})
    Check(s->find('\0') == std::string::npos, "fields end at a zero byte");

  // The rest of the input: four lists against the drive's fields.
  std::wstring rest = Utf16(data + std::min(size, reply.size()), size - std::min(size, reply.size()));
  std::wstring parts[4];
  for (std::wstring& part : parts) {
    const std::size_t nl = rest.find(L'\n');
    part = rest.substr(0, nl);
    rest = nl == std::wstring::npos ? std::wstring() : rest.substr(nl + 1);
  }
  const DriveIdentity drive{std::wstring(f.vendor.begin(), f.vendor.end()),
                            std::wstring(f.product.begin(), f.product.end()),
                            std::wstring(f.revision.begin(), f.revision.end()),
                            std::wstring(f.vendor_specific.begin(), f.vendor_specific.end())};
  const DriveIdentity wanted{parts[0], parts[1], parts[2], parts[3]};
  const bool plain = DriveMatchesArguments(drive, wanted);
  DriveRequirement requirement;
  if (ParseDriveRequirement(wanted, &requirement)) {
    // Arguments without commas, stars or backslashes are one-item lists.
    bool simple = true;
    for (const std::wstring& p : parts)
      if (p.find_first_of(L",*\\") != std::wstring::npos) simple = false;
    if (simple)
      Check(DriveMatchesRequirement(drive, requirement) == plain, "one-item lists compare alike");
  }
  Check(DriveMatchesArguments(drive, drive), "a drive matches its own identity");
  return 0;
}

// The input is a PatchList.dat as found on disk.
int Fuzz_patch_list(const std::uint8_t* data, std::size_t size) {
  using namespace patch_list;
  const std::vector<PatchRecord> records = ParseFile(data, size);
  const std::int32_t n = size >= kTrailerBytes ? RecordCount(size, data + size - kTrailerBytes) : 0;
  Check(records.size() == static_cast<std::size_t>(n), "one record per counted record");
  Check(n == 0 || FileLength(n) == size, "records only from an exact length");
  const std::vector<std::uint8_t> rebuilt = BuildFile(records);
  Check(ParseFile(rebuilt.data(), rebuilt.size()) == records, "records round-trip");
  if (n > 0) {
    Check(rebuilt.size() == size, "a rebuilt list has the same length");
    // Only the bytes after a text's terminator may differ.
    for (std::int32_t i = 0; i < n; ++i)
      for (int c = 0; c < kColumnCount; ++c) {
        if (KindOf(c) == CellKind::kText) continue;
        std::uint64_t at = 0;
        Check(CellOffset(n, i, c, &at), "every cell has a place");
        Check(at + kColumnWidths[c] <= size, "cells lie inside the file");
        Check(std::equal(data + at, data + at + kColumnWidths[c], rebuilt.begin() + at),
              "integers are kept byte for byte");
      }
  }
  for (std::int32_t level : {FirstPhaseRebootLevel(records), FinalRebootLevel(records)})
    Check(level >= 0 && level <= 2, "reboot levels are 0, 1 or 2");
  Check(PendingSecondRuns(records) <= n, "no more pending runs than records");
  const std::wstring executed = ExecutedSpids(records);
  std::size_t listed = 0, commas_in_spids = 0;
  for (const PatchRecord& r : records) {
    if ((r.first_started == 1 || r.installed == 1) && !r.spid.empty()) ++listed;
    commas_in_spids += std::count(r.spid.begin(), r.spid.end(), L',');
  }
  if (commas_in_spids == 0)
    Check(static_cast<std::size_t>(std::count(executed.begin(), executed.end(), L',')) ==
              (listed ? listed - 1 : 0),
          "one entry per executed record with a SPID");
  for (const PatchRecord& r : records) {
    Check(r.path.size() <= kTextUnits && r.spid.size() <= kTextUnits, "texts fit their cells");
    if (!IsModuleFilePath(r.path)) continue;
    Check(r.path.find(L'/') == std::wstring::npos, "no second kind of separator");
    std::size_t parts = 0;
    for (std::size_t at = 0; at != std::wstring::npos; ++parts) {
      const std::size_t next = r.path.find(L'\\', at);
      const std::wstring part = r.path.substr(at, next == std::wstring::npos ? next : next - at);
      Check(part != L"." && part != L".." && !part.empty(), "no step outside a module folder");
      at = next == std::wstring::npos ? next : next + 1;
    }
    Check(parts == 4, "drive, update folder, module folder, file");
  }
  return 0;
}

namespace {
bool SaneTime(const timestamp::Time& t) {
  return t.year >= 1601 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}
void CheckSigner(const timestamp::SignerInfo& s, std::size_t size) {
  Check(!s.signed_attrs.empty() && s.signed_attrs[0] == 0x31, "signed attributes as a SET");
  Check(s.signed_attrs.size() <= size && s.issuer.size() <= size, "parts lie inside the input");
  Check(!s.serial.empty() && !s.signature.empty(), "a serial and a signature");
  Check(!s.signing_time || SaneTime(*s.signing_time), "signing times are real times");
}
}  // namespace

// The input is an unauthenticated attribute value from an installer's
// signature: a countersignature, a timestamp token or its TSTInfo.
int Fuzz_timestamp(const std::uint8_t* data, std::size_t size) {
  timestamp::SignerInfo signer;
  if (timestamp::ParseSignerInfo(data, size, &signer)) CheckSigner(signer, size);
  timestamp::Token token;
  if (timestamp::ParseToken(data, size, &token)) {
    CheckSigner(token.signer, size);
    Check(token.tst_info.size() <= size, "the TSTInfo lies inside the input");
  }
  timestamp::TstInfo tst;
  if (timestamp::ParseTstInfo(data, size, &tst)) {
    Check(SaneTime(tst.gen_time), "generation times are real times");
    Check(!tst.imprint_oid.empty(), "an imprint algorithm");
  }
  return 0;
}
