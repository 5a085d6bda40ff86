#include "common/patch_installer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/test_pki.h"

namespace {

using patch_list::PatchRecord;
using zu::test::PatchListRow;
using zu::test::ReadPatchListFile;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

std::wstring TempFolder() {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring folder = std::wstring(dir) + L"zu-installer";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}


class PatchInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    flags_.Clear();
    ::DeleteFileW(list_path_.c_str());
  }
  void TearDown() override {
    for (const std::wstring& f : made_) ::DeleteFileW(f.c_str());
    ::DeleteFileW(list_path_.c_str());
  }

  // A copy of a signed installer and the log it writes, for record k.
  PatchRecord Installer(const std::wstring& signed_name, int k, const std::wstring& flags,
                        int phase = -1, int first_reboot = -1, int install_reboot = -1) {
    const std::wstring exe = folder_ + L"\\inst" + std::to_wstring(k) + L".exe";
    const std::wstring log = folder_ + L"\\inst" + std::to_wstring(k) + L".log";
    ::CopyFileW(zu::test::SignedInstaller(signed_name).c_str(), exe.c_str(), FALSE);
    ::DeleteFileW(log.c_str());
    made_.push_back(exe);
    made_.push_back(log);
    PatchRecord r;
    r.path = exe;
    r.name = signed_name;
    r.auto_exec = 1;
    r.parameter = L"/log=" + log + (flags.empty() ? L"" : L" " + flags);
    r.phase_flag = phase;
    r.first_reboot = first_reboot;
    r.install_reboot = install_reboot;
    r.spid = L"SP" + std::to_wstring(k);
    return r;
  }
  std::vector<std::string> Log(int k) {
    return Lines(zu::test::ReadFileBytes(folder_ + L"\\inst" + std::to_wstring(k) + L".log"));
  }
  std::vector<PatchListRow> Rows() {
    auto rows = ReadPatchListFile(list_path_);
    return rows ? *rows : std::vector<PatchListRow>();
  }
  std::optional<std::wstring> Flag(const wchar_t* name) {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, name);
  }

  zu::test::KeySnapshot flags_{HKEY_LOCAL_MACHINE, kInstallerFlagsKey};
  const std::wstring folder_ = TempFolder();
  const std::wstring list_path_ = folder_ + L"\\PatchList.dat";
  std::vector<std::wstring> made_;
};

TEST_F(PatchInstallerTest, PhasesFollowTheInstallersAnswersAndThePagesFlags) {
  struct Case {
    const char* what;
    const wchar_t* flags;  // what the installer answers on its first and second run
    int phase, first_reboot, install_reboot;  // from the page
    // After the first phase: columns 5, 6, 8, 11, 13, and the levels.
    int f5, f6, f8, f11, f13, first_level;
    // After a second phase (when column 5 is nonzero): columns 8, 11, 13, and the level.
    int s8, s11, s13, final_level;
  } cases[] = {
      {"single phase", L"/run1=0,0", -1, -1, -1, 0, -1, 0, 1, 1, 0, 0, 1, 1, 0},
      {"single phase asking for a restart", L"/run1=0,1", -1, -1, -1, 0, -1, 1, 1, 1, 1, 1, 1, 1,
       0},
      {"single phase asking for a shutdown", L"/run1=,2", -1, -1, 1, 0, -1, 2, 1, 1, 2, 2, 1, 1, 0},
      {"a smaller level does not lower the page's", L"/run1=0,1", -1, -1, 2, 0, -1, 2, 1, 1, 2, 2,
       1, 1, 0},
      {"second run at once", L"/run1=1,0 /run2=,0", -1, -1, -1, 1, -1, -1, 0, 0, 0, 0, 1, 1, 0},
      {"second run after a restart", L"/run1=1,1 /run2=,0", -1, -1, -1, 1, 1, -1, 0, 0, 1, 0, 1, 1,
       0},
      {"the page asks for two phases", L"", 1, -1, -1, 1, -1, -1, 0, 0, 0, 0, 1, 1, 0},
      {"the page's two phases with a restart", L"", 1, 1, 0, 1, 1, 0, 0, 0, 1, 0, 1, 1, 0},
      {"second run asks for a shutdown", L"/run1=1,0 /run2=,2", -1, -1, -1, 1, -1, -1, 0, 0, 0, 2,
       1, 1, 2},
      {"installer's larger phase flag wins", L"/run1=2,0 /run2=,1", 1, -1, -1, 2, -1, -1, 0, 0, 0,
       1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CPatchInstaller installer(list_path_);
    ASSERT_TRUE(installer.CreateFromList(
        {Installer(L"vexa.exe", 0, c.flags, c.phase, c.first_reboot, c.install_reboot)}));
    installer.FirstPhaseRun(0);
    PatchListRow row = Rows().at(0);
    EXPECT_EQ(row.number[5], c.f5);
    EXPECT_EQ(row.number[6], c.f6);
    EXPECT_EQ(row.number[8], c.f8);
    EXPECT_EQ(row.number[11], c.f11);
    EXPECT_EQ(row.number[12], 1);
    EXPECT_EQ(row.number[13], c.f13);
    EXPECT_EQ(installer.FirstPhaseRebootLevel(), c.first_level);
    EXPECT_EQ(installer.AllInstalled(), c.f11 == 1);
    EXPECT_EQ(Flag(L"InstallFlg").value_or(L"-"), L"0");
    EXPECT_EQ(Flag(L"RebootFlg").value_or(L"-"), L"0");

    installer.SecondPhaseRun(0);
    row = Rows().at(0);
    EXPECT_EQ(row.number[8], c.s8);
    EXPECT_EQ(row.number[11], c.s11);
    EXPECT_EQ(row.number[13], c.s13);
    EXPECT_EQ(installer.FinalRebootLevel(), c.final_level);
    EXPECT_EQ(Flag(L"InstallFlg").value_or(L"-"), L"0");
    EXPECT_EQ(Flag(L"RebootFlg").value_or(L"-"), L"0");
    // A second phase runs the installer only when the first left it pending.
    EXPECT_EQ(Log(0).size(), c.f11 ? 1u : 2u);
    installer.SecondPhaseRun(0);
    EXPECT_EQ(Log(0).size(), c.f11 ? 1u : 2u) << "never a third run";
  }
}

TEST_F(PatchInstallerTest, OnlyFullPathsAreStarted) {
  PatchRecord record = Installer(L"vexa.exe", 0, L"");
  wchar_t old_dir[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, old_dir);
  ::SetCurrentDirectoryW(folder_.c_str());
  record.path = L"inst0.exe";
  CPatchInstaller installer(list_path_);
  ASSERT_TRUE(installer.CreateFromList({record}));
  EXPECT_FALSE(installer.Launch(0));
  ::SetCurrentDirectoryW(old_dir);
  EXPECT_TRUE(Log(0).empty());
}

}  // namespace
