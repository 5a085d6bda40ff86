#include "control/drive_rules.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "control/match_rules.h"

namespace {

// Offsets inside the 44-byte header.
constexpr std::size_t kLengthAt = 0, kScsiStatusAt = 2, kTargetIdAt = 4, kCdbLengthAt = 6,
                      kDataInAt = 8, kTransferLengthAt = 12, kTimeoutAt = 16,
                      kDataOffsetAt = 20, kSenseOffsetAt = 24, kCdbAt = 28;
constexpr std::uint8_t kInquiryCdbBytes = 6;

// Where each field lies in the inquiry data.
constexpr std::size_t kTextStart = 8;
struct FieldSpan {
  std::size_t first, bytes;
};
constexpr FieldSpan kVendor{8, 8}, kProduct{16, 16}, kRevision{32, 4}, kVendorSpecific{36, 20};

void Put16(PassThroughBuffer* b, std::size_t at, std::uint16_t v) {
  (*b)[at] = static_cast<std::uint8_t>(v);
  (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(PassThroughBuffer* b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const PassThroughBuffer& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// The part of the text (inquiry bytes from 8 on) that a field covers.
std::string Cut(const std::string& text, FieldSpan span) {
  const std::size_t from = span.first - kTextStart;
  if (from >= text.size()) return std::string();
  return text.substr(from, span.bytes);
}

bool AnyItemMatches(const std::vector<RequirementItem>& items, const std::wstring& field) {
  if (items.empty()) return true;
  return std::any_of(items.begin(), items.end(), [&](const RequirementItem& item) {
    return DriveFieldMatches(field, item.text);
  });
}

bool ParseList(const std::wstring& text, bool wildcards, std::vector<RequirementItem>* items) {
  items->clear();
  if (text.empty()) return true;
  const ListRules rules{.wildcards = wildcards, .any_value = wildcards, .several = true,
                        .empty = false};
  return SplitRequirementList(text, items, rules);
}

}  // namespace

PassThroughBuffer BuildInquiryRequest() {
  PassThroughBuffer b{};
  Put16(&b, kLengthAt, static_cast<std::uint16_t>(kPassThroughHeaderBytes));
  b[kTargetIdAt] = kInquiryTargetId;
  b[kCdbLengthAt] = kInquiryCdbBytes;
  b[kDataInAt] = kScsiDataIn;
  Put32(&b, kTransferLengthAt, static_cast<std::uint32_t>(kInquiryDataBytes));
  Put32(&b, kTimeoutAt, kInquiryTimeoutSeconds);
  Put32(&b, kDataOffsetAt, static_cast<std::uint32_t>(kInquiryDataOffset));
  Put32(&b, kSenseOffsetAt, static_cast<std::uint32_t>(kSenseInfoOffset));
  b[kCdbAt] = kInquiryOpcode;
  b[kCdbAt + 4] = static_cast<std::uint8_t>(kInquiryDataBytes);  // allocation length
  return b;
}

bool ParseInquiryReply(const PassThroughBuffer& reply, InquiryFields* fields) {
  *fields = InquiryFields();
  if (reply[kScsiStatusAt] != 0) return false;
  const std::size_t sent =
      std::min<std::size_t>(Get32(reply, kTransferLengthAt), kInquiryDataBytes);
  std::string text;
  for (std::size_t i = kTextStart; i < sent; ++i) {
    const std::uint8_t c = reply[kInquiryDataOffset + i];
    if (c == 0) break;
    text.push_back(static_cast<char>(c));
  }
  fields->vendor = Cut(text, kVendor);
  fields->product = Cut(text, kProduct);
  fields->revision = Cut(text, kRevision);
  fields->vendor_specific = Cut(text, kVendorSpecific);
  return true;
}

bool DriveFieldMatches(const std::wstring& field, const std::wstring& wanted) {
  return zu::EqualsIgnoringAsciiCase(field.substr(0, wanted.size()), wanted);
}

bool DriveMatchesArguments(const DriveIdentity& drive, const DriveIdentity& wanted) {
  return DriveFieldMatches(drive.vendor, wanted.vendor) &&
         DriveFieldMatches(drive.product, wanted.product) &&
         DriveFieldMatches(drive.revision, wanted.revision) &&
         DriveFieldMatches(drive.vendor_specific, wanted.vendor_specific);
}

bool VendorEndsInWildcard(const std::wstring& vendor) {
  const std::size_t n = vendor.size();
  return n && vendor[n - 1] == L'*' && (n == 1 || vendor[n - 2] != L'\\');
}

bool ParseDriveRequirement(const DriveIdentity& lists, DriveRequirement* requirement) {
  DriveRequirement r;
  const bool ok = ParseList(lists.vendor, false, &r.vendor) &&
                  ParseList(lists.product, true, &r.product) &&
                  ParseList(lists.revision, true, &r.revision) &&
                  ParseList(lists.vendor_specific, true, &r.vendor_specific);
  *requirement = ok ? std::move(r) : DriveRequirement();
  return ok;
}

bool DriveMatchesRequirement(const DriveIdentity& drive, const DriveRequirement& requirement) {
  return AnyItemMatches(requirement.vendor, drive.vendor) &&
         AnyItemMatches(requirement.product, drive.product) &&
         AnyItemMatches(requirement.revision, drive.revision) &&
         AnyItemMatches(requirement.vendor_specific, drive.vendor_specific);
}
