#include "control/registry_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& s, bool terminator = true) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : s) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (terminator) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::wstring Text(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  return FormatValueText(type, bytes.data(), bytes.size());
}

TEST(RegistryFormat, PathsNeedOneOfTheFourFullRootNames) {
  RegistryRoot root{};
  std::wstring sub = L"untouched";
  EXPECT_EQ(PathSplit::kOk, SplitRegistryPath(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", &root, &sub));
  EXPECT_EQ(RegistryRoot::kLocalMachine, root);
  EXPECT_EQ(L"SOFTWARE\\X", sub);
  EXPECT_EQ(PathSplit::kOk, SplitRegistryPath(L"HKEY_CURRENT_USER\\", &root, &sub));
  EXPECT_EQ(RegistryRoot::kCurrentUser, root);
  EXPECT_EQ(L"", sub);
  EXPECT_EQ(PathSplit::kOk, SplitRegistryPath(L"HKEY_CLASSES_ROOT\\.txt", &root, &sub));
  EXPECT_EQ(RegistryRoot::kClassesRoot, root);
  EXPECT_EQ(PathSplit::kOk, SplitRegistryPath(L"HKEY_USERS\\.DEFAULT", &root, &sub));
  EXPECT_EQ(RegistryRoot::kUsers, root);

  sub = L"untouched";
  for (const wchar_t* bad : {L"HKLM\\SOFTWARE", L"hkey_local_machine\\SOFTWARE",
                             L"HKEY_CURRENT_CONFIG\\System", L"\\SOFTWARE", L" HKEY_USERS\\x"})
    EXPECT_EQ(PathSplit::kUnknownRoot, SplitRegistryPath(bad, &root, &sub));
  EXPECT_EQ(PathSplit::kNoSeparator, SplitRegistryPath(L"HKEY_LOCAL_MACHINE", &root, &sub));
  EXPECT_EQ(PathSplit::kNoSeparator, SplitRegistryPath(L"", &root, &sub));
  EXPECT_EQ(L"untouched", sub);
}

TEST(RegistryFormat, StringsKeepTheLowByteOfEachUnit) {
  EXPECT_EQ(L"\"C:\\Program Files\"", Text(1, Utf16Bytes(u"C:\\Program Files")));
  EXPECT_EQ(L"\"caf\u00e9\"", Text(1, Utf16Bytes(u"caf\u00e9")));
  // U+3042 keeps 0x42, U+20AC keeps 0xAC.
  EXPECT_EQ(L"\"xB\u00ac\"", Text(1, Utf16Bytes(u"x\u3042\u20ac")));
  // A unit whose low byte is 0 (U+0100) ends the text.
  EXPECT_EQ(L"\"ab\"", Text(1, Utf16Bytes(u"ab\u0100cd")));
  EXPECT_EQ(L"\"\"", Text(1, Utf16Bytes(u"")));
  EXPECT_EQ(L"\"\"", Text(1, {}));
  EXPECT_EQ(L"\"ab\"", Text(1, Utf16Bytes(u"ab", false)));  // no terminator stored
  EXPECT_EQ(L"\"a\"", Text(1, {'a', 0, 'b'}));              // odd byte left over
}

TEST(RegistryFormat, DwordAndBinaryText) {
  EXPECT_EQ(L"dword:00000001", Text(4, {1, 0, 0, 0}));
  EXPECT_EQ(L"dword:deadbeef", Text(4, {0xef, 0xbe, 0xad, 0xde}));
  EXPECT_EQ(L"dword:00000000", Text(4, {}));
  EXPECT_EQ(L"dword:00000201", Text(4, {1, 2}));  // short data: missing bytes are zero
  EXPECT_EQ(L"hex:01,ab", Text(3, {1, 171}));
  EXPECT_EQ(L"hex:00", Text(3, {0}));
  EXPECT_EQ(L"hex:", Text(3, {}));
  for (std::uint32_t other : {0u, 2u, 5u, 6u, 7u, 11u, 0x12345u})
    EXPECT_EQ(L"", Text(other, Utf16Bytes(u"abc")));
}

TEST(RegistryFormat, ListingTextAndLabels) {
  RegistryListingText listing;
  listing.AddSubKey(L"Child");
  listing.AddSubKey(L"Other");
  listing.BeginValues();
  EXPECT_EQ(L"Name(STRING)", listing.AddValue(L"Name", 1));
  EXPECT_EQ(L"(DWORD)", listing.AddValue(L"", 4));
  EXPECT_EQ(L"", listing.AddValue(L"Link", 6));  // REG_LINK has no label
  EXPECT_EQ(L"Big(DWORD)", listing.AddValue(L"Big", 5));
  EXPECT_EQ(L"KEYS:\nChild\nOther\n\nVALUES:\nName(STRING)\n(DWORD)\nBig(DWORD)\n",
            listing.text());

  struct Case {
    std::uint32_t type;
    const wchar_t* label;
  } const cases[] = {{0, L"(No defined)"}, {1, L"(STRING)"},       {2, L"(EXPAND_STRING)"},
                     {3, L"(BINARY)"},     {4, L"(DWORD)"},        {5, L"(DWORD)"},
                     {7, L"(MULTI_STRING)"}, {11, L"(QWORD)"}};
  for (const Case& c : cases) EXPECT_STREQ(c.label, RegistryTypeLabel(c.type));
  for (std::uint32_t t : {6u, 8u, 9u, 10u, 12u}) EXPECT_EQ(nullptr, RegistryTypeLabel(t));
}

}  // namespace
