// The download run on the worker's sequence, called directly on the test's
// thread: real files below C:\Update, test doubles for the transfers, the
// installer object, the autorun registration and the dialog.
#include "control/engine/file_downloader.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/framework/seam.h"
#include "common/patch_list_format.h"
#include "common/platform_seams.h"
#include "tests/support/files.h"
#include "tests/support/registry.h"
#include "tests/support/run_watch.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_seams.h"
#include "control/registered_strings.h"

namespace {

using Log = zu::test::RunLog;
using zu::test::FileExists;
using zu::test::Module;
using zu::test::NoteRun;
using zu::test::ReadFileBytes;
using zu::test::RemoveFolder;

bool g_proxy = false;
BOOL WINAPI FakeConnectedState(LPDWORD flags, DWORD) {
  *flags = INTERNET_CONNECTION_LAN | (g_proxy ? INTERNET_CONNECTION_PROXY : 0);
  return TRUE;
}

// --- Doubles -----------------------------------------------------------------------

// What a fake transfer does for a URL: the bytes it appends, and its result.
struct FakeFetch {
  std::string bytes;
  TransferResult result = TransferResult::kComplete;
  long error = 0;  // last-error it sets when it fails
};

Transfer FakeTransfer(const wchar_t* kind, std::map<std::wstring, FakeFetch>* fetches,
                      CFileDownloader** owner = nullptr) {
  return [kind, fetches, owner](const TransferRequest& r, ITransferProgress& p) {
    NoteRun(std::wstring(kind) + L" " + r.url + L" resume=" + std::to_wstring(p.resume()) +
         L" from=" + std::to_wstring(p.current_bytes()));
    const FakeFetch& f = (*fetches)[r.url];
    PartialFile file;
    if (!file.Open(r.partial_path, p.resume())) return TransferResult::kFailed;
    p.SetCurrentBytes(file.size());
    file.Append(f.bytes.data(), f.bytes.size());
    p.AddCurrentBytes(f.bytes.size());
    if (f.result == TransferResult::kCancelled && owner) (*owner)->Cancel();
    if (f.error) SetZuLastError(f.error);
    return f.result;
  };
}

struct InstallerScript {
  std::vector<int> auto_execute, phase;
  int first_level = 0, final_level = 0;
  bool all_installed = true;
  int cancel_after_first_runs = -1;  // the user cancels after this many first runs
};

class ScriptedInstaller : public IPatchInstaller {
 public:
  ScriptedInstaller(InstallerScript s, CFileDownloader* owner) : s_(std::move(s)), owner_(owner) {}
  bool ReadInteger(int record, int column, std::int32_t* value) override {
    const std::vector<int>& col = column == patch_list::kColAutoExec ? s_.auto_execute : s_.phase;
    *value = col.at(static_cast<std::size_t>(record));
    return true;
  }
  void FirstPhaseRun(int record) override {
    NoteRun(L"first " + std::to_wstring(record));
    if (++first_runs_ == s_.cancel_after_first_runs) owner_->Cancel();
  }
  void SecondPhaseRun(int record) override { NoteRun(L"second " + std::to_wstring(record)); }
  int PendingSecondRuns() override {
    int n = 0;
    for (std::size_t i = 0; i < s_.phase.size(); ++i) n += s_.auto_execute[i] == 1 && s_.phase[i] == 1;
    return n;
  }
  bool AllInstalled() override { return s_.all_installed; }
  int FirstPhaseRebootLevel() override { return s_.first_level; }
  int FinalRebootLevel() override { return s_.final_level; }

 private:
  InstallerScript s_;
  CFileDownloader* owner_;
  int first_runs_ = 0;
};

// --- Files ---------------------------------------------------------------------------

const wchar_t* const kFolders[] = {L"ZuEngOne", L"ZuEngTwo", L"ZuEngThree", L"ZuEngFour",
                                   L"ZuEngFive"};

std::wstring Folder(const wchar_t* base) { return std::wstring(L"C:\\Update\\") + base; }
// A file a run left in its module's folder.
void Leave(const std::wstring& path, const std::string& bytes) {
  ::CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  zu::test::WriteFileBytes(path, bytes);
}

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

class FileDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    for (const wchar_t* f : kFolders) RemoveFolder(Folder(f));
    g_proxy = false;
    ClearRegisteredStrings();
    for (auto [id, text] : std::map<long, const wchar_t*>{{100, L"Resume?"},
                                                          {101, L"Continue the download?"},
                                                          {200, L"Notice"},
                                                          {201, L"Not all installed"},
                                                          {406, L"On battery"}})
      StoreRegisteredString(id, text);
    world_.http = FakeTransfer(L"http", &fetches_, &owner_);
    world_.ftp = FakeTransfer(L"ftp", &fetches_, &owner_);
    world_.register_autorun = [](const std::wstring& a) {
      NoteRun(L"autorun " + a);
      return true;
    };
    world_.create_installer = [this](const ModuleList& modules) -> std::unique_ptr<IPatchInstaller> {
      NoteRun(L"installer for " + std::to_wstring(modules.size()));
      if (!script_) return nullptr;
      return std::make_unique<ScriptedInstaller>(*script_, owner_);
    };
  }
  void TearDown() override {
    for (const wchar_t* f : kFolders) RemoveFolder(Folder(f));
    ClearRegisteredStrings();
  }

  // Runs the worker's sequence for the modules and returns what it did.
  Log RunWith(const std::vector<CModuleInfo>& modules, std::vector<int> answers = {}) {
    CFileDownloader downloader(world_);
    owner_ = &downloader;
    for (const CModuleInfo& m : modules) downloader.modules().Add(m);
    downloader.SetSink(watch_.Sink(std::move(answers)));
    watch_.log.clear();
    downloader.Run();
    last_progress_ = downloader.Progress();
    owner_ = nullptr;
    return watch_.log;
  }

  zu::test::RunWatch watch_;
  zu::ScopedOverride<zu::seams::InternetGetConnectedStateFn> proxy_{
      zu::seams::internet_get_connected_state, &FakeConnectedState};
  zu::test::KeySnapshot desktop_{HKEY_CURRENT_USER, kDesktopKey};
  RunWorld world_;
  std::map<std::wstring, FakeFetch> fetches_;
  std::optional<InstallerScript> script_;
  CFileDownloader* owner_ = nullptr;
  RunProgress last_progress_;
};

TEST_F(FileDownloaderTest, DownloadOnlyRunSkipsDoneModulesResumesAndMovesEveryFileIntoPlace) {
  zu::test::WriteRaw(HKEY_CURRENT_USER, kDesktopKey, L"ScreenSaveActive",
                        zu::test::Sz(L"1"));
  Leave(L"C:\\Update\\ZuEngOne\\ZuEngOne.exe", "already here");
  Leave(L"C:\\Update\\ZuEngTwo\\ZuEngTwo.binZU!", std::string(20, 't'));
  Leave(L"C:\\Update\\ZuEngThree\\ZuEngThree.datZU!", "first-twelve");
  fetches_[L"http://h.example/ZuEngThree.dat"] = {"+eighteen-more-byt"};
  fetches_[L"https://h.example/x/ZuEngFour.cab"] = {"size0"};

  Log log = RunWith({Module(L"http://h.example/ZuEngOne.exe", 12),
                     Module(L"ftp://h.example/ZuEngTwo.bin", 20),
                     Module(L"http://h.example/ZuEngThree.dat", 30),
                     Module(L"https://h.example/x/ZuEngFour.cab", 0)});

  EXPECT_EQ(log, (Log{L"keep awake", L"ask Resume?: Continue the download?",
                      L"http http://h.example/ZuEngThree.dat resume=1 from=12",
                      L"http https://h.example/x/ZuEngFour.cab resume=1 from=0", L"notify 0",
                      L"notify 30", L"ask Notice: Not all installed", L"notify 12",
                      L"allow sleep"}));
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngOne\\ZuEngOne.exe"), "already here");
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngTwo\\ZuEngTwo.bin"), std::string(20, 't'));
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngThree\\ZuEngThree.dat"), "first-twelve+eighteen-more-byt");
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngFour\\ZuEngFour.cab"), "size0");
  for (const wchar_t* partial : {L"C:\\Update\\ZuEngTwo\\ZuEngTwo.binZU!",
                                 L"C:\\Update\\ZuEngThree\\ZuEngThree.datZU!",
                                 L"C:\\Update\\ZuEngFour\\ZuEngFour.cabZU!"})
    EXPECT_FALSE(FileExists(partial)) << partial;
  EXPECT_EQ(last_progress_.done, 12u + 20 + 30 + 5);
  EXPECT_EQ(last_progress_.index, 3);
  EXPECT_EQ(ZuLastError(), kZuErrorSuccess);
  // The screen saver was switched off for the run and is back on.
  EXPECT_EQ(zu::test::ReadRaw(HKEY_CURRENT_USER, kDesktopKey, L"ScreenSaveActive"),
            zu::test::Sz(L"1"));
}

TEST_F(FileDownloaderTest, ResumeAnsweredNoFetchesWholeAndAProxyStopsFtpResumeDetection) {
  Leave(L"C:\\Update\\ZuEngOne\\ZuEngOne.exeZU!", "old");
  fetches_[L"http://h.example/ZuEngOne.exe"] = {"whole"};
  EXPECT_EQ(RunWith({Module(L"http://h.example/ZuEngOne.exe", 5)}, {IDNO}),
            (Log{L"keep awake", L"ask Resume?: Continue the download?",
                 L"http http://h.example/ZuEngOne.exe resume=0 from=3", L"notify 0", L"notify 30",
                 L"ask Notice: Not all installed", L"notify 12", L"allow sleep"}));
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngOne\\ZuEngOne.exe"), "whole");

  // Behind a proxy a run that starts with another FTP server asks nothing.
  g_proxy = true;
  Leave(L"C:\\Update\\ZuEngTwo\\ZuEngTwo.binZU!", "part");
  fetches_[L"ftp://other.example/ZuEngTwo.bin"] = {"all of it"};
  Log log = RunWith({Module(L"ftp://other.example/ZuEngTwo.bin", 9)});
  EXPECT_EQ(log.at(1), L"ftp ftp://other.example/ZuEngTwo.bin resume=0 from=4");
  // ...but the maker's own server resumes.
  Leave(L"C:\\Update\\ZuEngThree\\ZuEngThree.datZU!", "part");
  fetches_[L"ftp://ftp.vexa.example/pub/ZuEngThree.dat"] = {"rest"};
  log = RunWith({Module(L"ftp://ftp.vexa.example/pub/ZuEngThree.dat", 8)});
  EXPECT_EQ(log.at(1), L"ask Resume?: Continue the download?");
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngThree\\ZuEngThree.dat"), "partrest");
}

TEST_F(FileDownloaderTest, FailuresEndTheRunWithTheirCodeAndKeepOnlyResumableParts) {
  struct Case {
    const wchar_t* what;
    std::vector<CModuleInfo> modules;
    FakeFetch fetch;  // for the first module
    std::string partial_before;
    const wchar_t* notice;
    long error;
    std::string partial_after;  // "<missing>" when deleted
  } cases[] = {
      {L"size differs", {Module(L"http://h/ZuEngOne.exe", 10)}, {"seven.."}, "", L"notify 1",
       kZuErrorSizeMismatch, "<missing>"},
      {L"transfer fails",
       {Module(L"http://h/ZuEngOne.exe", 10), Module(L"http://h/ZuEngTwo.exe", 1)},
       {"four", TransferResult::kFailed, kZuErrorHttp}, "", L"notify 1", kZuErrorHttp, "four"},
      {L"cancelled", {Module(L"ftp://h/ZuEngOne.exe", 10)}, {"abc", TransferResult::kCancelled},
       "", L"notify 2", kZuErrorSuccess, "abc"},
      {L"no local path", {Module(L"http://h/noextension", 10)}, {}, "", L"notify 1",
       kZuErrorBadModuleUrl, "<missing>"},
      {L"another scheme", {Module(L"file://h/ZuEngOne.exe", 10)}, {}, "", L"notify 1",
       kZuErrorBadModuleUrl, "<missing>"},
      {L"control character", {Module(L"http://h/a\r\nb/ZuEngOne.exe", 10)}, {}, "", L"notify 1",
       kZuErrorBadModuleUrl, "<missing>"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFolder(Folder(L"ZuEngOne"));
    fetches_.clear();
    fetches_[c.modules[0].url] = c.fetch;
    Log log = RunWith(c.modules);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], c.notice);
    EXPECT_EQ(log.back(), L"allow sleep");
    EXPECT_EQ(ZuLastError(), c.error);
    const std::wstring partial = L"C:\\Update\\ZuEngOne\\ZuEngOne.exeZU!";
    EXPECT_EQ(FileExists(partial) ? ReadFileBytes(partial) : "<missing>", c.partial_after);
    EXPECT_FALSE(FileExists(L"C:\\Update\\ZuEngOne\\ZuEngOne.exe"));
    // Nothing after a failed module is fetched.
    for (const std::wstring& line : log) EXPECT_EQ(line.find(L"ZuEngTwo"), std::wstring::npos);
  }
}

TEST_F(FileDownloaderTest, APartialFileLongerThanItsModuleStartsOver) {
  Leave(L"C:\\Update\\ZuEngOne\\ZuEngOne.exeZU!", "fifteen bytes!!");
  fetches_[L"http://h/ZuEngOne.exe"] = {"ten bytes!"};
  Log log = RunWith({Module(L"http://h/ZuEngOne.exe", 10)});
  EXPECT_EQ(log.at(2), L"http http://h/ZuEngOne.exe resume=1 from=0");
  EXPECT_EQ(ReadFileBytes(L"C:\\Update\\ZuEngOne\\ZuEngOne.exe"), "ten bytes!");
}

TEST_F(FileDownloaderTest, OnBatteryTheRunAsksAndEndsUnlessMainsComesBack) {
  watch_.OnBatteryFor(2);
  fetches_[L"http://h/ZuEngOne.exe"] = {"x"};
  EXPECT_EQ(RunWith({Module(L"http://h/ZuEngOne.exe", 1)}),
            (Log{L"keep awake", L"ask ZEFO Update: On battery", L"notify 22", L"allow sleep"}));
  watch_.OnBatteryFor(1);
  Log log = RunWith({Module(L"http://h/ZuEngOne.exe", 1)});
  EXPECT_EQ(log.at(1), L"ask ZEFO Update: On battery");
  EXPECT_EQ(log.at(2), L"http http://h/ZuEngOne.exe resume=0 from=0");
  EXPECT_EQ(log.at(log.size() - 2), L"notify 12");
}

TEST_F(FileDownloaderTest, InstallationPassesFollowTheRebootLevels) {
  // Module 0 installs in one phase, 1 is not run, 2 needs a second phase.
  const std::vector<int> auto_execute = {1, 0, 1}, phase = {0, 0, 1};
  const Log head = {L"keep awake", L"notify 0", L"notify 10(2)", L"installer for 3",
                    L"notify 11", L"first 0", L"notify 11", L"first 2"};
  struct Case {
    const wchar_t* what;
    InstallerScript script;
    Log tail;
  } cases[] = {
      {L"no restart",
       {auto_execute, phase, 0, 0},
       {L"notify 13(1)", L"notify 14", L"second 2", L"allow sleep",
        L"ask Notice: Not all installed", L"notify 12"}},
      {L"restart after the second phase",
       {auto_execute, phase, 0, 1},
       {L"notify 13(1)", L"notify 14", L"second 2", L"allow sleep",
        L"ask Notice: Not all installed", L"autorun /showpage", L"notify 41"}},
      {L"shutdown after the second phase",
       {auto_execute, phase, 0, 2},
       {L"notify 13(1)", L"notify 14", L"second 2", L"allow sleep",
        L"ask Notice: Not all installed", L"autorun /showpage", L"notify 40"}},
      {L"restart first, all installed",
       {auto_execute, phase, 1, 0, true},
       {L"ask Notice: Not all installed", L"autorun /showpage", L"allow sleep", L"notify 41"}},
      {L"shutdown first, the agent finishes",
       {auto_execute, phase, 2, 0, false},
       {L"autorun /S", L"allow sleep", L"notify 40"}},
      {L"cancelled between installers",
       {auto_execute, phase, 0, 0, true, 1},
       {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* f : kFolders) RemoveFolder(Folder(f));
    script_ = c.script;
    Log log = RunWith({Module(L"http://h/ZuEngOne.exe", 0, true, L"One"),
                       Module(L"http://h/ZuEngTwo.exe", 0, false, L"Two"),
                       Module(L"http://h/ZuEngThree.exe", 0, true, L"Three")});
    // The downloads themselves.
    std::erase_if(log, [](const std::wstring& l) { return l.rfind(L"http ", 0) == 0; });
    Log expected = head;
    if (c.script.cancel_after_first_runs == 1) {
      expected.resize(6);  // up to "first 0"
      expected.insert(expected.end(), {L"notify 22", L"allow sleep"});
    } else {
      expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    }
    EXPECT_EQ(log, expected);
  }
}

TEST_F(FileDownloaderTest, AnInstallerObjectThatCannotBeCreatedEndsLikeACancel) {
  Log log = RunWith({Module(L"http://h/ZuEngOne.exe", 0, true)});
  EXPECT_EQ(log, (Log{L"keep awake", L"http http://h/ZuEngOne.exe resume=0 from=0", L"notify 0",
                      L"notify 10(1)", L"installer for 1", L"notify 2", L"allow sleep"}));
  // The real world's installer writes the run's patch list, one record a
  // module, and reads it back.
  zu::test::FileAside list(L"C:\\Update\\PatchList.dat");
  ModuleList modules;
  modules.Add(Module(L"http://h/ZuEngOne.exe", 7, true));
  modules.Add(Module(L"http://h/ZuEngTwo.exe", 9, false));
  std::unique_ptr<IPatchInstaller> real = RunWorld::Real().create_installer(modules);
  ASSERT_NE(real, nullptr);
  std::int32_t auto_exec = -1;
  EXPECT_TRUE(real->ReadInteger(1, patch_list::kColAutoExec, &auto_exec));
  EXPECT_EQ(auto_exec, 0);
  EXPECT_FALSE(real->ReadInteger(2, patch_list::kColAutoExec, &auto_exec));
  EXPECT_FALSE(real->AllInstalled());
  EXPECT_EQ(zu::test::ReadFileBytes(L"C:\\Update\\PatchList.dat").size(), 2u * 1328 + 4);
}

std::wstring g_free_space_asked;
ULONGLONG g_free_space = 0;
BOOL WINAPI FakeFreeSpace(LPCWSTR dir, PULARGE_INTEGER available, PULARGE_INTEGER,
                          PULARGE_INTEGER) {
  g_free_space_asked = dir;
  available->QuadPart = g_free_space;
  return TRUE;
}

TEST_F(FileDownloaderTest, BindChecksTheDiskOfTheUpdateFolderAndTheNoTotalRule) {
  zu::ScopedOverride disk(zu::seams::get_disk_free_space_ex,
                                                              &FakeFreeSpace);
  struct Case {
    std::vector<std::int64_t> sizes;
    ULONGLONG free;
    bool bound;
    long error;
    std::uint64_t total;
  } cases[] = {
      {{}, 1000, false, kZuErrorSuccess, 0},
      {{600, 400}, 1000, true, kZuErrorSuccess, 1000},  // equal passes
      {{600, 401}, 1000, false, kZuErrorDiskSpace, 0},
      {{600, 0}, 1000, true, kZuErrorSuccess, 0},  // an unknown size: no total
      {{5'000'000'000LL}, 4'999'999'999ULL, false, kZuErrorDiskSpace, 0},
  };
  for (const Case& c : cases) {
    CFileDownloader d(world_);
    for (std::int64_t size : c.sizes) d.modules().Add(Module(L"http://h/ZuEngOne.exe", size));
    g_free_space = c.free;
    SetZuLastError(kZuErrorSuccess);
    EXPECT_EQ(d.Bind(), c.bound) << c.sizes.size();
    EXPECT_EQ(ZuLastError(), c.error);
    if (c.bound) {
      EXPECT_EQ(d.Progress().total, c.total);
    }
  }
  EXPECT_EQ(g_free_space_asked, L"C:\\Update\\");
}

}  // namespace
