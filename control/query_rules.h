#pragma once
// Text rules of the control's identity queries: model name and identifying
// number as the page sees them, operating-system requirement items, the
// edition number, and model requirements (model code and serial patterns).
// Plain C++ (no Windows headers).
#include <cstdint>
#include <string>

// Outcome of a requirement text that may also be malformed.
enum class RuleResult { kNoMatch, kMatch, kInvalid };

// The model name without a trailing parenthesized part: the text before
// the first "(" (a space before it stays).
std::wstring CutModelName(const std::wstring& name);

// Trailing spaces removed, inner spaces turned into "-", then cut at the
// first "-". Without a "-" both parts are the whole text.
void SplitIdentityForPage(const std::wstring& identifying_number, std::wstring* model_code,
                          std::wstring* serial_number);

// The operating system as the requirement items describe it.
struct OsDescription {
  std::uint32_t major = 0, minor = 0, sp_major = 0, sp_minor = 0;
  std::uint32_t edition = 0;  // 0 when not determined
};

// What the edition number is computed from.
struct OsEditionFacts {
  std::uint32_t major = 0, minor = 0;
  std::uint32_t product_type = 0;  // wProductType
  std::uint32_t suite_mask = 0;    // wSuiteMask
  bool media_center = false, tablet_pc = false;
  bool has_product_info = false;   // "GetProductInfo" found and answered
  std::uint32_t product_info = 0;
};
std::uint32_t ComputeEdition(const OsEditionFacts& facts);

// One OS requirement item "major.minor-spmajor.spminor-edition"; each number
// decimal up to 255 or "*", a missing one means any. kInvalid for a number
// that is neither decimal nor "*", or a part with too many numbers; items
// with a number above 255 or more than three parts are valid but never
// match.
RuleResult MatchOsRequirement(const std::wstring& item, const OsDescription& os);

// Model requirement items joined by ";": "codes+serials", "+serials" or
// "codes", each side a comma list of identity patterns. The lenient form of
// SearchModelCodeAndSerialNum: never invalid, malformed items do not match.
bool MatchModelRequirement(const std::wstring& param, const std::wstring& model_code,
                           const std::wstring& serial_number);
// The strict form of the "Ex" method: each side must be a valid requirement
// list, "*", "*+*", "+*" and a trailing ";" answer no match.
RuleResult MatchModelRequirementEx(const std::wstring& param, const std::wstring& model_code,
                                   const std::wstring& serial_number);

// The decimal reading of a debug value like "%d" does: leading spaces, an
// optional sign, digits; 0 when no digit follows.
std::int32_t ParseDecimalLikeScanf(const std::wstring& text);
