#include "control/query_rules.h"

#include <vector>

#include "control/match_rules.h"
#include "control/requirement_list.h"

namespace {

constexpr std::uint32_t kAnyNumber = 255;

// One number of an OS item: "" and "*" mean any; decimal up to 255 counts.
enum class OsNumber { kValue, kTooBig, kMalformed };
OsNumber ParseOsNumber(const std::wstring& text, std::uint32_t* value) {
  if (text.empty() || text == L"*") {
    *value = kAnyNumber;
    return OsNumber::kValue;
  }
  if (!IsDecimal(text)) return OsNumber::kMalformed;
  if (CompareDecimal(text, L"255") > 0) return OsNumber::kTooBig;
  *value = 0;
  for (wchar_t c : text) *value = *value * 10 + std::uint32_t(c - L'0');
  return OsNumber::kValue;
}

bool Fits(std::uint32_t wanted, std::uint32_t actual) {
  return wanted == kAnyNumber || wanted == actual;
}

bool AnyPatternMatches(const std::vector<RequirementItem>& patterns, const std::wstring& actual) {
  for (const RequirementItem& p : patterns)
    if (MatchIdentityPattern(actual, p)) return true;
  return false;
}

std::vector<RequirementItem> LenientPatterns(const std::wstring& side) {
  std::vector<RequirementItem> patterns;
  for (const std::wstring& piece : CutAtUnescapedCommas(side))
    patterns.push_back(ResolveEscapes(piece));
  return patterns;
}

// One model item cut into its sides; a side that is absent is not tested.
struct ModelItem {
  bool has_code = false, has_serial = false;
  std::wstring code, serial;
};
ModelItem CutModelItem(const std::wstring& item) {
  ModelItem m;
  const std::size_t plus = item.find(L'+');
  if (plus == std::wstring::npos) {
    m.has_code = true;
    m.code = item;
    return m;
  }
  m.has_code = plus > 0;
  m.code = item.substr(0, plus);
  m.has_serial = true;
  m.serial = item.substr(plus + 1);
  return m;
}

}  // namespace

std::wstring CutModelName(const std::wstring& name) {
  const std::size_t paren = name.find(L'(');
  return paren == std::wstring::npos ? name : name.substr(0, paren);
}

void SplitIdentityForPage(const std::wstring& identifying_number, std::wstring* model_code,
                          std::wstring* serial_number) {
  std::wstring text = identifying_number;
  const std::size_t end = text.find_last_not_of(L' ');
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  for (wchar_t& c : text)
    if (c == L' ') c = L'-';
  const std::size_t dash = text.find(L'-');
  if (dash == std::wstring::npos) {
    *model_code = text;
    *serial_number = text;
    return;
  }
  *model_code = text.substr(0, dash);
  *serial_number = text.substr(dash + 1);
}

std::uint32_t ComputeEdition(const OsEditionFacts& f) {
  constexpr std::uint32_t kSuitePersonal = 0x200;
  constexpr std::uint32_t kProductTypes[] = {1, 2, 3, 4, 6, 11};
  if (f.major == 5 && f.minor == 1) {
    // The maker's pages were written against this answer, as it stands.
    if (f.product_type & 1) return (f.suite_mask & kSuitePersonal) ? 1 : 2;
    if (f.media_center) return 3;
    if (f.tablet_pc) return 4;
    return 0;
  }
  if (f.major == 6 && f.has_product_info)
    for (std::uint32_t t : kProductTypes)
      if (f.product_info == t) return t;
  return 0;
}

RuleResult MatchOsRequirement(const std::wstring& item, const OsDescription& os) {
  if (item.empty()) return RuleResult::kInvalid;
  const std::vector<std::wstring> parts = SplitAt(item, L'-');
  std::uint32_t wanted[5] = {kAnyNumber, kAnyNumber, kAnyNumber, kAnyNumber, kAnyNumber};
  bool never = parts.size() > 3;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const std::vector<std::wstring> numbers = SplitAt(parts[p], L'.');
    // The edition is one number; version and service pack two at most.
    if (numbers.size() > (p == 2 ? 1u : 2u)) return RuleResult::kInvalid;
    for (std::size_t n = 0; n < numbers.size(); ++n) {
      std::uint32_t value = kAnyNumber;
      switch (ParseOsNumber(numbers[n], &value)) {
        case OsNumber::kMalformed:
          return RuleResult::kInvalid;
        case OsNumber::kTooBig:
          never = true;
          break;
        case OsNumber::kValue:
          if (p < 3) wanted[p * 2 + n] = value;
          break;
      }
    }
  }
  if (never) return RuleResult::kNoMatch;
  const bool match = Fits(wanted[0], os.major) && Fits(wanted[1], os.minor) &&
                     Fits(wanted[2], os.sp_major) && Fits(wanted[3], os.sp_minor) &&
                     Fits(wanted[4], os.edition);
  return match ? RuleResult::kMatch : RuleResult::kNoMatch;
}

bool MatchModelRequirement(const std::wstring& param, const std::wstring& model_code,
                           const std::wstring& serial_number) {
  if (param.empty()) return false;
  for (const std::wstring& text : SplitAt(param, L';')) {
    const ModelItem item = CutModelItem(text);
    if (item.has_code && !AnyPatternMatches(LenientPatterns(item.code), model_code)) continue;
    if (item.has_serial && !AnyPatternMatches(LenientPatterns(item.serial), serial_number))
      continue;
    return true;
  }
  return false;
}

RuleResult MatchModelRequirementEx(const std::wstring& param, const std::wstring& model_code,
                                   const std::wstring& serial_number) {
  if (param.empty() || param == L"*" || param == L"*+*" || param == L"+*")
    return RuleResult::kNoMatch;
  if (param.back() == L';') return RuleResult::kNoMatch;

  struct Parsed {
    ModelItem cut;
    std::vector<RequirementItem> codes, serials;
  };
  std::vector<Parsed> items;
  const ListRules rules{.wildcards = true, .any_value = true, .several = true, .empty = false};
  // The whole text is checked before anything is compared.
  for (const std::wstring& text : SplitAt(param, L';')) {
    Parsed p{CutModelItem(text), {}, {}};
    if (p.cut.has_serial && p.cut.serial.find(L'+') != std::wstring::npos)
      return RuleResult::kInvalid;
    if (p.cut.has_code && !SplitRequirementList(p.cut.code, &p.codes, rules))
      return RuleResult::kInvalid;
    if (p.cut.has_serial && !SplitRequirementList(p.cut.serial, &p.serials, rules))
      return RuleResult::kInvalid;
    items.push_back(std::move(p));
  }
  for (const Parsed& p : items) {
    if (p.cut.has_code && !AnyPatternMatches(p.codes, model_code)) continue;
    if (p.cut.has_serial && !AnyPatternMatches(p.serials, serial_number)) continue;
    return RuleResult::kMatch;
  }
  return RuleResult::kNoMatch;
}

std::int32_t ParseDecimalLikeScanf(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    value = value * 10u + std::uint32_t(text[i] - L'0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}
