#include "common/patch_list.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/patch_list_file.h"

namespace {

using patch_list::PatchRecord;
using zu::test::ReadPatchListFile;

constexpr wchar_t kListPathVariable[] = L"ZU_TEST_PATCH_LIST";

std::wstring TempListPath() {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring folder = std::wstring(dir) + L"zu-patch-list";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\PatchList.dat";
}

PatchRecord Module(const wchar_t* spid, const std::wstring& path, int auto_exec, int phase,
                   int first_reboot) {
  PatchRecord r;
  r.path = path;
  r.size = 5000000000LL;
  r.name = std::wstring(L"Name of ") + spid;
  r.auto_exec = auto_exec;
  r.parameter = L"/q";
  r.phase_flag = phase;
  r.first_reboot = first_reboot;
  r.uninstall_path = L"C:\\u";
  r.install_reboot = -1;
  r.bounding = 1;
  r.spid = spid;
  // Whatever a caller brings in these, a new list starts them afresh.
  r.first_started = r.installed = r.first_launched = r.final_launched = 1;
  return r;
}

class PatchListTest : public ::testing::Test {
 protected:
  void SetUp() override { ::DeleteFileW(path_.c_str()); }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }
  const std::wstring path_ = TempListPath();
};

TEST_F(PatchListTest, CellsAreReadAndWrittenInPlaceAndEverythingElseIsRefused) {
  CWrapIniOper list(path_);
  std::int32_t v = 0;
  std::wstring text;
  EXPECT_FALSE(list.ReadInt(0, 3, &v)) << "no file";
  EXPECT_FALSE(list.WriteInt(0, 3, 1)) << "no file";
  EXPECT_TRUE(list.AllInstalled());
  EXPECT_EQ(list.FirstPhaseRebootLevel(), 0);
  EXPECT_EQ(list.FinalRebootLevel(), 0);

  ASSERT_TRUE(list.CreateFromList({Module(L"A", L"C:\\Update\\a\\a.exe", 1, 1, 1),
                                   Module(L"B", L"C:\\Update\\b\\b.exe", 1, -1, -1)}));
  EXPECT_TRUE(list.WriteInt(1, 12, 1));
  EXPECT_TRUE(list.WriteInt64(1, 1, -7));
  EXPECT_TRUE(list.WriteString(0, 15, L"A2"));
  EXPECT_TRUE(list.ReadString(0, 15, &text));
  EXPECT_EQ(text, L"A2");
  EXPECT_TRUE(list.ReadInt(1, 12, &v));
  EXPECT_EQ(v, 1);
  const auto rows = ReadPatchListFile(path_);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ((*rows)[1].number[12], 1);
  EXPECT_EQ((*rows)[0].number[12], 0);
  EXPECT_EQ((*rows)[1].number[1], -7);
  EXPECT_EQ((*rows)[0].number[1], 5000000000LL);
  EXPECT_EQ((*rows)[0].text[15], L"A2");
  EXPECT_EQ((*rows)[1].text[15], L"B");

  const std::string before = zu::test::ReadFileBytes(path_);
  struct Case {
    const char* what;
    bool ok;
  } cases[] = {
      {"record past the end", list.WriteInt(2, 3, 5)},
      {"negative record", list.WriteInt(-1, 3, 5)},
      {"column 16", list.WriteInt(0, 16, 5)},
      {"negative column", list.ReadInt(0, -1, &v)},
      {"8 bytes into a 4-byte column", list.WriteInt64(0, 3, 5)},
      {"4 bytes into the 8-byte size column", list.WriteInt(0, 1, 5)},
      {"text into an integer column", list.WriteString(0, 5, L"x")},
      {"text from an integer column", list.ReadString(0, 6, &text)},
  };
  for (const Case& c : cases) EXPECT_FALSE(c.ok) << c.what;
  EXPECT_EQ(zu::test::ReadFileBytes(path_), before);

  // Damaged files are no lists: nothing is read or written past their end.
  struct Damage {
    const char* what;
    std::string bytes;
  } damages[] = {
      {"truncated", before.substr(0, before.size() - 5) + before.substr(before.size() - 4)},
      {"padded", before.substr(0, before.size() - 4) + std::string(7, 'x') +
                     before.substr(before.size() - 4)},
      {"negative count", before.substr(0, before.size() - 4) + std::string("\xff\xff\xff\xff", 4)},
      {"huge count", before.substr(0, before.size() - 4) + std::string("\xff\xff\xff\x7f", 4)},
      {"three bytes", "abc"},
      {"empty", ""},
  };
  for (const Damage& d : damages) {
    zu::test::WriteFileBytes(path_, d.bytes);
    CWrapIniOper reopened(path_);
    EXPECT_EQ(reopened.count(), 0) << d.what;
    EXPECT_FALSE(reopened.ReadInt(0, 3, &v)) << d.what;
    EXPECT_FALSE(reopened.WriteInt(0, 3, 9)) << d.what;
    std::vector<PatchRecord> records;
    EXPECT_EQ(reopened.ReadAll(&records), CWrapIniOper::ListRead::kNoList) << d.what;
    std::wstring executed = L"x";
    EXPECT_TRUE(reopened.ExecutedList(&executed)) << d.what;
    EXPECT_EQ(executed, L"") << d.what;
    EXPECT_EQ(zu::test::ReadFileBytes(path_), d.bytes) << d.what;
  }
  EXPECT_TRUE(list.DeleteListFile());
  EXPECT_FALSE(list.DeleteListFile());
}

TEST_F(PatchListTest, AStandardUserReadsTheListButNeverChangesIt) {
  CWrapIniOper list(path_);
  ASSERT_TRUE(list.CreateFromList({Module(L"A", L"C:\\Update\\a\\a.exe", 1, 1, 1)}));
  const std::string before = zu::test::ReadFileBytes(path_);
  zu::UniqueHandle token = zu::test::NonAdminToken();
  ASSERT_TRUE(token);
  ::SetEnvironmentVariableW(kListPathVariable, path_.c_str());
  EXPECT_EQ(zu::test::RunChild(L"PatchListChild.DISABLED_StandardUser", L"patch-list-user",
                                  token.get()),
            zu::test::kChildPassed);
  ::SetEnvironmentVariableW(kListPathVariable, nullptr);
  EXPECT_EQ(zu::test::ReadFileBytes(path_), before);
}

TEST(PatchListChild, DISABLED_StandardUser) {
  if (!zu::test::IsChild(L"patch-list-user")) GTEST_SKIP() << "runs only as a child";
  wchar_t path[MAX_PATH] = {};
  ::GetEnvironmentVariableW(kListPathVariable, path, MAX_PATH);
  CWrapIniOper list(path);
  std::int32_t v = 0;
  EXPECT_TRUE(list.ReadInt(0, 3, &v));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(list.PendingSecondRuns(), 1);
  EXPECT_FALSE(list.WriteInt(0, 3, 0));
  EXPECT_FALSE(list.WriteString(0, 15, L"B"));
  EXPECT_FALSE(list.CreateFromList({}));
  zu::test::FinishChild();
}

// Files of module folders in the real C:\Update, and one outside it that
// a record names.
class PatchFileTest : public PatchListTest {
 protected:
  void SetUp() override {
    PatchListTest::SetUp();
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    for (const wchar_t* folder : kFolders) ::CreateDirectoryW(folder, nullptr);
    zu::test::WriteFileBytes(L"C:\\Update\\zu-pf-one\\one.exe", "1");
    zu::test::WriteFileBytes(L"C:\\Update\\zu-pf-busy\\busy.exe", "2");
    zu::test::WriteFileBytes(L"C:\\Update\\zu-pf-busy\\other.txt", "3");
    zu::test::WriteFileBytes(bait_, "bait");
  }
  void TearDown() override {
    for (const wchar_t* file : {L"C:\\Update\\zu-pf-one\\one.exe", L"C:\\Update\\zu-pf-busy\\busy.exe",
                                L"C:\\Update\\zu-pf-busy\\other.txt"})
      ::DeleteFileW(file);
    for (const wchar_t* folder : kFolders) ::RemoveDirectoryW(folder);
    ::DeleteFileW(bait_.c_str());
    PatchListTest::TearDown();
  }
  static constexpr const wchar_t* kFolders[] = {L"C:\\Update\\zu-pf-one", L"C:\\Update\\zu-pf-busy",
                                                L"C:\\Update\\zu-pf-gone"};
  const std::wstring bait_ = path_.substr(0, path_.rfind(L'\\')) + L"\\bait.exe";
};

TEST_F(PatchFileTest, DeletesOnlyTheNamedModuleFileAndItsEmptyFolder) {
  CWrapIniOper list(path_);
  std::vector<PatchRecord> records = {
      Module(L"SP-One", L"C:\\Update\\zu-pf-one\\one.exe", 1, -1, -1),
      Module(L"sp-busy", L"C:\\Update\\zu-pf-busy\\busy.exe", 1, -1, -1),
      Module(L"SP-Gone", L"C:\\Update\\zu-pf-gone\\gone.exe", 0, -1, -1),
      Module(L"SP-Bait", bait_, 1, -1, -1),
      Module(L"SP-One", L"C:\\Update\\zu-pf-busy\\other.txt", 1, -1, -1),
      Module(L"", L"C:\\Update\\zu-pf-busy\\other.txt", 1, -1, -1),
  };
  ASSERT_TRUE(list.CreateFromList(records));
  // Executed: the first run began (10) or the record is installed (11).
  ASSERT_TRUE(list.WriteInt(0, 10, 1));
  ASSERT_TRUE(list.WriteInt(2, 11, 1));
  ASSERT_TRUE(list.WriteInt(5, 10, 1));  // an empty SPID adds nothing
  std::wstring executed;
  ASSERT_TRUE(list.ExecutedList(&executed));
  EXPECT_EQ(executed, L"SP-One,SP-Gone");

  struct Case {
    const wchar_t* item;
    bool found, missing, done;
    const wchar_t* gone;   // no longer there afterwards
    const wchar_t* stays;  // still there afterwards
  } cases[] = {
      {L"sp-one", true, false, true, L"C:\\Update\\zu-pf-one", nullptr},  // the first match only
      {L"SP-BUSY", true, false, true, L"C:\\Update\\zu-pf-busy\\busy.exe",
       L"C:\\Update\\zu-pf-busy\\other.txt"},
      {L"SP-Gone", true, true, true, L"C:\\Update\\zu-pf-gone", nullptr},
      {L"SP-Gone", true, true, false, nullptr, nullptr},
      {L"SP-Bait", true, true, false, nullptr, bait_.c_str()},
      {L"SP-None", false, false, false, nullptr, L"C:\\Update\\zu-pf-busy\\other.txt"},
  };
  for (const Case& c : cases) {
    const CWrapIniOper::DeleteResult r = list.DeletePatchFile(c.item);
    EXPECT_EQ(r.found, c.found) << c.item;
    EXPECT_EQ(r.file_missing, c.missing) << c.item;
    EXPECT_EQ(r.done, c.done) << c.item;
    if (c.gone) {
      EXPECT_FALSE(zu::test::FileExists(c.gone)) << c.gone;
    }
    if (c.stays) {
      EXPECT_TRUE(zu::test::FileExists(c.stays)) << c.stays;
    }
  }
}

}  // namespace
