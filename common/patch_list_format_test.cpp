#include "common/patch_list_format.h"

#include <gtest/gtest.h>

#include <cstring>

namespace patch_list {
namespace {

PatchRecord Sample(int k) {
  PatchRecord r;
  r.path = L"C:\\Update\\Tool" + std::to_wstring(k) + L"\\Tool" + std::to_wstring(k) + L".exe";
  r.size = 0x0102030405060708LL + k;
  r.name = L"Tool " + std::to_wstring(k);
  r.auto_exec = 1;
  r.parameter = L"/quiet";
  r.phase_flag = -1;
  r.first_reboot = 1;
  r.uninstall_path = L"u";
  r.install_reboot = 2;
  r.bounding = -1;
  r.first_started = 1;
  r.installed = 0;
  r.first_launched = 1;
  r.final_launched = 0;
  r.two_phase_restart = 0;
  r.spid = L"SP" + std::to_wstring(k);
  return r;
}

// Reads little-endian values at absolute offsets, as the table places them:
// column c of record i of N at offset(c) * N + i * width(c).
std::int32_t I32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                   static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::wstring TextAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::wstring s;
  for (std::size_t i = 0; i < 128 && (b[at + 2 * i] || b[at + 2 * i + 1]); ++i)
    s.push_back(static_cast<wchar_t>(b[at + 2 * i] | b[at + 2 * i + 1] << 8));
  return s;
}

TEST(PatchListFormatTest, CellsLieWhereTheColumnTablePutsThem) {
  const std::vector<PatchRecord> records = {Sample(0), Sample(1), Sample(2)};
  const std::vector<std::uint8_t> b = BuildFile(records);
  const std::size_t n = 3;
  ASSERT_EQ(b.size(), n * 1328 + 4);
  EXPECT_EQ(I32At(b, b.size() - 4), 3);
  EXPECT_EQ(TextAt(b, 0 * n + 2 * 256), L"C:\\Update\\Tool2\\Tool2.exe");
  EXPECT_EQ(I32At(b, 256 * n + 1 * 8), 0x05060708 + 1);  // low half of the size
  EXPECT_EQ(I32At(b, 256 * n + 1 * 8 + 4), 0x01020304);
  EXPECT_EQ(TextAt(b, 264 * n + 1 * 256), L"Tool 1");
  EXPECT_EQ(I32At(b, 520 * n + 2 * 4), 1);
  EXPECT_EQ(TextAt(b, 524 * n + 0 * 256), L"/quiet");
  EXPECT_EQ(I32At(b, 780 * n + 1 * 4), -1);
  EXPECT_EQ(I32At(b, 784 * n + 1 * 4), 1);
  EXPECT_EQ(TextAt(b, 788 * n + 2 * 256), L"u");
  EXPECT_EQ(I32At(b, 1044 * n + 0 * 4), 2);
  EXPECT_EQ(I32At(b, 1048 * n + 0 * 4), -1);
  EXPECT_EQ(I32At(b, 1052 * n + 2 * 4), 1);
  EXPECT_EQ(I32At(b, 1060 * n + 2 * 4), 1);
  EXPECT_EQ(TextAt(b, 1072 * n + 1 * 256), L"SP1");
  EXPECT_EQ(ParseFile(b.data(), b.size()), records);

  std::uint64_t at = 0;
  EXPECT_TRUE(CellOffset(3, 2, kColSpid, &at));
  EXPECT_EQ(at, 1072u * 3 + 2 * 256);
  EXPECT_FALSE(CellOffset(3, 3, kColPath, &at));
  EXPECT_FALSE(CellOffset(3, -1, kColPath, &at));
  EXPECT_FALSE(CellOffset(3, 0, 16, &at));
  EXPECT_FALSE(CellOffset(0, 0, 0, &at));
}

TEST(PatchListFormatTest, OnlyAnExactLengthForItsTrailerMakesAList) {
  struct Case {
    std::uint64_t length;
    std::int32_t trailer;
    std::int32_t count;
  } cases[] = {
      {4, 0, 0},                                // empty list
      {1328 + 4, 1, 1},
      {2 * 1328 + 4, 2, 2},
      {2 * 1328 + 4, 1, 0},                     // padded
      {1328 + 4, 2, 0},                         // truncated
      {1328 + 3, 1, 0},                         // one byte short
      {1328 + 4, -1, 0},                        // negative
      {4, INT32_MIN, 0},
      {1328 + 4, INT32_MAX, 0},                 // huge
      {3, 0, 0},                                // no room for a trailer
      {0, 0, 0},
      {static_cast<std::uint64_t>(INT32_MAX) * 1328 + 4, INT32_MAX, INT32_MAX},
  };
  for (const Case& c : cases) {
    std::uint8_t trailer[4];
    EncodeInt32(c.trailer, trailer);
    EXPECT_EQ(RecordCount(c.length, trailer), c.count) << c.length << " " << c.trailer;
  }
  std::vector<std::uint8_t> truncated = BuildFile({Sample(0), Sample(1)});
  truncated.resize(truncated.size() - 1);
  EXPECT_TRUE(ParseFile(truncated.data(), truncated.size()).empty());
  EXPECT_TRUE(ParseFile(nullptr, 0).empty());
}

TEST(PatchListFormatTest, TextsKeepAtMost128UnitsAndNeverHalfAPair) {
  std::uint8_t cell[256];
  struct Case {
    std::wstring text;
    std::wstring stored;
  } cases[] = {
      {L"", L""},
      {std::wstring(127, L'a'), std::wstring(127, L'a')},
      {std::wstring(128, L'b'), std::wstring(128, L'b')},  // no terminator
      {std::wstring(200, L'c'), std::wstring(128, L'c')},
      {std::wstring(127, L'd') + L"\xD83D\xDE00", std::wstring(127, L'd')},
      {L"\x00E9t\x00E9 \x65E5\x672C", L"\x00E9t\x00E9 \x65E5\x672C"},
  };
  for (const Case& c : cases) {
    std::memset(cell, 0xAB, sizeof cell);
    EncodeText(c.text, cell);
    EXPECT_EQ(DecodeText(cell, sizeof cell), c.stored) << c.text.size();
    for (std::size_t i = c.stored.size() * 2; i < sizeof cell; ++i)
      ASSERT_EQ(cell[i], 0) << "byte " << i << " after the text";
  }
  // A reader stops at the first zero unit and never reads past the cell.
  const std::uint8_t bytes[] = {'a', 0, 'b', 0, 0, 0, 'c', 0};
  EXPECT_EQ(DecodeText(bytes, sizeof bytes), L"ab");
  EXPECT_EQ(DecodeText(bytes, 3), L"a");

  EXPECT_TRUE(FitsTextCell(std::wstring(128, L'p')));
  EXPECT_FALSE(FitsTextCell(std::wstring(129, L'p')));
}

TEST(PatchListFormatTest, NewRecordsStartUnrunWithTheirRestartColumn) {
  struct Case {
    std::int32_t phase, first_reboot, restart;
  } cases[] = {{1, 1, 1}, {1, 2, 0}, {1, 0, 0}, {0, 1, 0}, {-1, -1, 0}, {2, 1, 0}};
  for (const Case& c : cases) {
    PatchRecord r = Sample(0);
    r.phase_flag = c.phase;
    r.first_reboot = c.first_reboot;
    r.installed = r.final_launched = 1;
    r.two_phase_restart = 7;
    const PatchRecord made = NewRecord(r);
    EXPECT_EQ(made.two_phase_restart, c.restart) << c.phase << "," << c.first_reboot;
    EXPECT_EQ(made.first_started + made.installed + made.first_launched + made.final_launched, 0);
    EXPECT_EQ(made.path, r.path);
  }
  // A cut path would name another file: it is stored empty, and the
  // record can then be neither run nor deleted.
  PatchRecord long_path = Sample(0);
  long_path.path = L"C:\\Update\\" + std::wstring(60, L'x') + L"\\" + std::wstring(60, L'x') + L".e";
  long_path.name = std::wstring(300, L'n');
  const PatchRecord made = NewRecord(long_path);
  EXPECT_EQ(made.path, L"");
  const std::vector<std::uint8_t> b = BuildFile({made});
  EXPECT_EQ(ParseFile(b.data(), b.size())[0].name, std::wstring(128, L'n'));
}

TEST(PatchListFormatTest, LevelsCountsAndExecutedListFollowTheColumns) {
  auto rec = [](std::int32_t auto_exec, std::int32_t phase, std::int32_t first_reboot,
                std::int32_t install_reboot, std::int32_t started, std::int32_t installed,
                std::int32_t launched1, std::int32_t launched2, const wchar_t* spid) {
    PatchRecord r;
    r.auto_exec = auto_exec;
    r.phase_flag = phase;
    r.first_reboot = first_reboot;
    r.install_reboot = install_reboot;
    r.first_started = started;
    r.installed = installed;
    r.first_launched = launched1;
    r.final_launched = launched2;
    r.spid = spid;
    return r;
  };
  struct Case {
    const char* what;
    std::vector<PatchRecord> records;
    std::int32_t first_level, final_level;
    int pending;
    bool all_installed;
    std::wstring executed;
  } cases[] = {
      {"no records", {}, 0, 0, 0, true, L""},
      {"one-phase restart counts in the first level",
       {rec(1, 0, 0, 1, 1, 1, 1, 1, L"A")}, 1, 0, 0, true, L"A"},
      {"two-phase: the first level is column 6",
       {rec(1, 1, 1, 2, 1, 0, 1, 0, L"A")}, 1, 0, 1, false, L"A"},
      {"not launched: no level", {rec(1, 0, 0, 2, 1, 1, 0, 0, L"A")}, 0, 0, 0, true, L"A"},
      {"levels above 2 are ignored",
       {rec(1, 0, 0, 3, 1, 1, 1, 1, L"A"), rec(1, 2, 5, 7, 1, 1, 1, 1, L"B")}, 0, 0, 0, true,
       L"A,B"},
      {"the final level only counts two-phase records that launched",
       {rec(1, 2, 0, 1, 1, 1, 1, 1, L"A"), rec(1, 1, 0, 2, 1, 1, 1, 0, L""),
        rec(1, 0, 0, 2, 1, 1, 0, 1, L"C")},
       0, 1, 0, true, L"A,C"},
      {"shutdown wins",
       {rec(1, 1, 2, 2, 1, 1, 1, 1, L"A"), rec(1, 1, 1, 1, 1, 0, 1, 0, L"B")}, 2, 2, 1, false,
       L"A,B"},
      {"not auto-execute: never pending, never executed",
       {rec(0, 1, 1, 1, 0, 0, 0, 0, L"M"), rec(1, 1, 0, 0, 0, 1, 0, 0, L"I")}, 0, 0, 0, false,
       L"I"},
      {"a second run that happened is not pending",
       {rec(1, 1, 1, 0, 1, 1, 1, 1, L"D"), rec(1, 1, 1, 0, 1, 0, 1, 0, L"P")}, 1, 0, 1, false,
       L"D,P"},
      {"phase flag -1 is not pending", {rec(1, -1, -1, -1, 0, 0, 0, 0, L"N")}, 0, 0, 0, false,
       L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstPhaseRebootLevel(c.records), c.first_level) << c.what;
    EXPECT_EQ(FinalRebootLevel(c.records), c.final_level) << c.what;
    EXPECT_EQ(PendingSecondRuns(c.records), c.pending) << c.what;
    EXPECT_EQ(AllInstalled(c.records), c.all_installed) << c.what;
    EXPECT_EQ(ExecutedSpids(c.records), c.executed) << c.what;
  }
}

TEST(PatchListFormatTest, InstallerFlagsReadAsTheirLeadingNumber) {
  struct Case {
    const wchar_t* text;
    std::int32_t value;
  } cases[] = {{L"1", 1},        {L"0", 0},          {L"", 0},          {L"x", 0},
               {L" 2", 2},       {L"3abc", 3},       {L"-1", -1},       {L"+4", 4},
               {L"1 2", 1},      {L"99999999999", INT32_MAX},           {L"-99999999999", INT32_MIN},
               {L"2147483648", INT32_MAX},           {L"-2147483648", INT32_MIN},
               // The page's numeric module fields.
               {L"abc", 0},      {L"  42", 42},      {L"\t-7", -7},     {L"12abc", 12},
               {L"- 1", 0},      {L"0x10", 0},       {L"007", 7},       {L"2147483647", 2147483647},
               {L"-99999999999999999999", INT32_MIN}, {L"99999999999999999999", INT32_MAX}};
  for (const Case& c : cases) EXPECT_EQ(FlagNumber(c.text), c.value) << c.text;
}

TEST(PatchListFormatTest, OnlyFilesOfAModuleFolderMayBeDeleted) {
  struct Case {
    const wchar_t* path;
    bool ok;
  } cases[] = {
      {L"C:\\Update\\Tool\\Tool.exe", true},
      {L"c:\\UPDATE\\My Patch\\My Patch.exe", true},
      {L"C:\\Update\\.hidden\\.hidden.exe", true},
      {L"C:\\Update\\Tool.exe", false},
      {L"C:\\Update\\a\\b\\c.exe", false},
      {L"C:\\Update\\..\\Windows\\x.exe", false},
      {L"C:\\Update\\a\\..", false},
      {L"C:\\Update\\.\\x.exe", false},
      {L"C:\\Update\\a\\x.exe:stream", false},
      {L"C:\\Update\\a/..\\x.exe", false},
      {L"C:\\Update\\\\x.exe", false},
      {L"C:\\Update\\a\\", false},
      {L"C:\\Windows\\a\\x.exe", false},
      {L"D:\\Update\\a\\x.exe", false},
      {L"\\\\?\\C:\\Update\\a\\x.exe", false},
      {L"C:\\Updatex\\a\\x.exe", false},
      {L"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsModuleFilePath(c.path), c.ok) << c.path;
}

}  // namespace
}  // namespace patch_list
