#include "control/drive_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

TEST(InquiryRequest, EveryByteOfTheRequest) {
  const PassThroughBuffer b = BuildInquiryRequest();
  ASSERT_EQ(335u, b.size());
  // The header, byte by byte (little-endian fields).
  const std::uint8_t header[44] = {
      44, 0,          // header length
      0,              // SCSI status
      0, 1, 0,        // path, target, logical unit
      6,              // command length
      0,              // sense length
      1,              // data in
      0, 0, 0,        // padding
      255, 0, 0, 0,   // transfer length
      2, 0, 0, 0,     // time-out in seconds
      80, 0, 0, 0,    // data offset
      48, 0, 0, 0,    // sense offset
      0x12, 0, 0, 0, 255, 0,  // INQUIRY, allocation length 255
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(header, b.data(), sizeof(header)));
  for (std::size_t i = sizeof(header); i < b.size(); ++i) EXPECT_EQ(0, b[i]) << i;
}

// A reply as a drive fills it: status, the length it sent, inquiry data.
PassThroughBuffer Reply(const std::string& inquiry_from_byte_8, std::uint8_t status = 0,
                        std::uint32_t sent = 255) {
  PassThroughBuffer b = BuildInquiryRequest();
  b[2] = status;
  for (int i = 0; i < 4; ++i) b[12 + i] = static_cast<std::uint8_t>(sent >> (8 * i));
  b[80] = 0x05;  // a CD/DVD device; bytes 0-7 are not part of the text
  std::memcpy(b.data() + 88, inquiry_from_byte_8.data(),
              std::min<std::size_t>(inquiry_from_byte_8.size(), 335 - 88));
  return b;
}

TEST(InquiryReply, FieldsAreCutByBytePosition) {
  struct Case {
    const char* what;
    PassThroughBuffer reply;
    bool ok;
    InquiryFields fields;
  } const cases[] = {
      {"full answer", Reply("VEXA    DVD-RW GX-900   1.02VS-2009/08/01  xyz"), true,
       {"VEXA    ", "DVD-RW GX-900   ", "1.02", "VS-2009/08/01  xyz"}},
      {"vendor-specific cut at 20 bytes", Reply("ABCDEFGHPRODUCT-16-CHARSREV.0123456789012345678901"),
       true, {"ABCDEFGH", "PRODUCT-16-CHARS", "REV.", "01234567890123456789"}},
      {"text ends at a zero byte", Reply(std::string("VEND\0XXXproduct", 15)), true,
       {"VEND", "", "", ""}},
      {"drive sent only 20 bytes", Reply("VEXA    DVD-RW GX-900   1.02", 0, 20), true,
       {"VEXA    ", "DVD-", "", ""}},
      {"length beyond the buffer is bounded", Reply(std::string(247, 'Z'), 0, 0xFFFFFFFF), true,
       {std::string(8, 'Z'), std::string(16, 'Z'), "ZZZZ", std::string(20, 'Z')}},
      {"SCSI status not good", Reply("VEXA    DVD", 2), false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InquiryFields got{"stale", "stale", "stale", "stale"};
    EXPECT_EQ(c.ok, ParseInquiryReply(c.reply, &got));
    EXPECT_EQ(c.fields.vendor, got.vendor);
    EXPECT_EQ(c.fields.product, got.product);
    EXPECT_EQ(c.fields.revision, got.revision);
    EXPECT_EQ(c.fields.vendor_specific, got.vendor_specific);
  }
}

const DriveIdentity kDrive{L"ABCDEFGH", L"DVD-RW GX-900   ", L"1.02", L"VS-2009/08/01"};

TEST(DriveMatch, RequirementListsOfTheExMethod) {
  struct Case {
    DriveIdentity lists;
    bool valid, match;
  } const cases[] = {
      {{L"", L"", L"", L""}, true, true},
      {{L"XYZ,ab", L"", L"", L""}, true, true},            // any item of a list
      {{L"XYZ,QQ", L"", L"", L""}, true, false},
      {{L"AB", L"DVD*", L"1.0*,2.*", L"*"}, true, true},   // prefixes compare like plain items
      {{L"AB", L"dvd-rw*", L"", L""}, true, true},         // ignoring case as well
      {{L"AB", L"CD*", L"", L""}, true, false},
      {{L"A\\,B", L"", L"", L""}, true, false},            // an escaped comma is one item
      {{L"A*B", L"", L"", L""}, false, false},             // no wildcards in the vendor
      {{L"AB", L"D*D", L"", L""}, false, false},           // star only at the end
      {{L"AB,", L"", L"", L""}, false, false},             // empty item
      {{L"", L"", L"1.02,", L""}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.lists.vendor + L"|" + c.lists.product + L"|" + c.lists.revision +
                        L"|" + c.lists.vendor_specific));
    DriveRequirement r;
    EXPECT_EQ(c.valid, ParseDriveRequirement(c.lists, &r));
    if (c.valid) {
      EXPECT_EQ(c.match, DriveMatchesRequirement(kDrive, r));
    }
  }
}

}  // namespace
