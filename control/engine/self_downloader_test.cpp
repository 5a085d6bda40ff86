// The self update's worker sequence, called directly on the test's thread:
// real files below C:\Update, test doubles for the transfers, the
// installer (its launch, flags and the version text it leaves), the
// autorun registration and the dialog.
#include "control/engine/self_downloader.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/patch_installer.h"
#include "control/ctrl_frame.h"
#include "control/registered_strings.h"
#include "tests/support/files.h"
#include "tests/support/registry.h"
#include "tests/support/run_watch.h"

namespace {

using Log = zu::test::RunLog;
using zu::test::NoteRun;

// One run of the fake control installer: the flags it sets and the version
// text it leaves beside the control (none: it leaves the text alone).
struct InstallerRun {
  std::int32_t install = 0, reboot = 0;
  std::optional<std::wstring> version;
};

const wchar_t kUrl[] = L"http://h.example/pub/ZuSelfSetup.exe";
const wchar_t kInstaller[] = L"C:\\Update\\ZuSelfSetup\\ZuSelfSetup.exe";
const wchar_t kFolder[] = L"C:\\Update\\ZuSelfSetup";
const wchar_t kOld[] = L"4.0.00.01010";
const wchar_t kNew[] = L"4.0.00.02000";
const std::string kBody = "signed installer";

class SelfDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    zu::test::RemoveFolder(kFolder);
    ClearRegisteredStrings();
    for (auto [id, text] : std::map<long, const wchar_t*>{{100, L"Self update"},
                                                          {101, L"Continue?"},
                                                          {406, L"On battery"},
                                                          {500, L"It failed"},
                                                          {501, L"It worked"},
                                                          {502, L"ZEFO control"}})
      StoreRegisteredString(id, text);
    world_.http = [this](const TransferRequest& r, ITransferProgress& p) {
      NoteRun(L"http " + r.url + L" resume=" + std::to_wstring(p.resume()));
      PartialFile file;
      if (!file.Open(r.partial_path, p.resume())) return TransferResult::kFailed;
      p.SetCurrentBytes(file.size());
      file.Append(fetch_.data(), fetch_.size());
      p.AddCurrentBytes(fetch_.size());
      if (fetch_error_) SetZuLastError(fetch_error_);
      return fetch_result_;
    };
    world_.ftp = world_.http;
    world_.launch = [this](const std::wstring& path) {
      NoteRun(L"launch " + path);
      if (!signed_ || runs_done_ >= script_.size()) return signed_;
      const InstallerRun& run = script_[runs_done_++];
      flags_[kInstallFlagValue] = run.install;
      flags_[kRebootFlagValue] = run.reboot;
      if (run.version) version_ = *run.version;
      return true;
    };
    world_.take_flag = [this](const wchar_t* name) {
      const std::int32_t v = flags_[name];
      flags_[name] = 0;
      return v;
    };
    world_.register_autorun = [](const std::wstring& a) {
      NoteRun(L"autorun " + a);
      return true;
    };
    world_.version_text = [this] { return version_; };
  }
  void TearDown() override {
    zu::test::RemoveFolder(kFolder);
    ClearRegisteredStrings();
  }

  Log RunWith(std::vector<InstallerRun> script, std::uint64_t size = kBody.size()) {
    script_ = std::move(script);
    runs_done_ = 0;
    version_ = kOld;
    CSelfDownloader downloader(SelfUpdateJob{kNew, kUrl, size}, world_);
    downloader.SetSink(watch_.Sink());
    watched_before_ = downloader.WatchesPower();
    watch_.log.clear();
    downloader.Run();
    watched_after_ = downloader.WatchesPower();
    progress_ = downloader.Progress();
    return watch_.log;
  }

  zu::test::RunWatch watch_;
  zu::test::KeySnapshot desktop_{HKEY_CURRENT_USER, L"Control Panel\\Desktop"};
  SelfUpdateWorld world_;
  std::string fetch_ = kBody;
  TransferResult fetch_result_ = TransferResult::kComplete;
  long fetch_error_ = 0;
  bool signed_ = true;
  std::vector<InstallerRun> script_;
  std::size_t runs_done_ = 0;
  std::map<std::wstring, std::int32_t> flags_;
  std::wstring version_;
  bool watched_before_ = false, watched_after_ = true;
  RunProgress progress_;
};

TEST_F(SelfDownloaderTest, EveryInstallerRoadEndsWithTheVerifiedVersionOrAFailure) {
  const std::wstring launch = std::wstring(L"launch ") + kInstaller;
  const Log head = {L"keep awake", std::wstring(L"http ") + kUrl + L" resume=0", L"notify 0",
                    L"notify 10(1)", L"notify 11", launch};
  struct Case {
    const wchar_t* what;
    std::vector<InstallerRun> script;
    bool signed_installer;
    Log tail;
    bool installer_removed;
  } cases[] = {
      {L"one phase, nothing asked: the one success",
       {{0, 0, kNew}}, true,
       {L"notify 13(1)", L"ask Self update: It worked", L"notify 12", L"allow sleep"}, true},
      {L"the wrong version left",
       {{0, 0, L"4.0.00.01999"}}, true,
       {L"notify 13(1)", L"ask Self update: It failed", L"notify 50", L"allow sleep"}, false},
      {L"not signed: never runs",
       {{0, 0, kNew}}, false,
       {L"notify 13(1)", L"ask Self update: It failed", L"notify 50", L"allow sleep"}, false},
      {L"a restart after the new version",
       {{0, 1, kNew}}, true,
       {L"ask Self update: It worked", L"autorun /showpage", L"allow sleep", L"notify 41"}, true},
      {L"a shutdown after the new version",
       {{0, 2, kNew}}, true,
       {L"ask Self update: It worked", L"autorun /showpage", L"allow sleep", L"notify 40"}, true},
      {L"a restart, but the old version stayed",
       {{0, 1, std::nullopt}}, true,
       {L"ask Self update: It failed", L"notify 50", L"allow sleep"}, false},
      {L"a reboot level not known: failed unseen",
       {{0, 3, kNew}}, true,
       {L"notify 50", L"allow sleep"}, false},
      {L"two phases",
       {{1, 0, std::nullopt}, {0, 0, kNew}}, true,
       {L"notify 13(1)", L"notify 14", launch, L"ask Self update: It worked", L"notify 12",
        L"allow sleep"}, true},
      {L"two phases, the second asks for a restart",
       {{1, 0, std::nullopt}, {0, 1, kNew}}, true,
       {L"notify 13(1)", L"notify 14", launch, L"ask Self update: It worked",
        L"autorun /showpage", L"allow sleep", L"notify 41"}, true},
      {L"two phases, the second's level not known: its version decides",
       {{1, 0, std::nullopt}, {0, 3, kNew}}, true,
       {L"notify 13(1)", L"notify 14", launch, L"ask Self update: It worked", L"notify 12",
        L"allow sleep"}, true},
      {L"a second phase asked for along with a restart: the restart wins",
       {{1, 1, kNew}}, true,
       {L"ask Self update: It worked", L"autorun /showpage", L"allow sleep", L"notify 41"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zu::test::RemoveFolder(kFolder);
    signed_ = c.signed_installer;
    flags_.clear();
    Log expected = head;
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(RunWith(c.script), expected);
    EXPECT_EQ(zu::test::FileExists(kInstaller), !c.installer_removed);
    EXPECT_EQ(zu::test::FileExists(kFolder), !c.installer_removed);
    EXPECT_EQ(flags_[kInstallFlagValue], 0) << "every answer is taken";
    EXPECT_EQ(flags_[kRebootFlagValue], 0);
    EXPECT_TRUE(watched_before_);
    EXPECT_FALSE(watched_after_) << "no battery handling once the download is over";
    EXPECT_EQ(ZuLastError(), kZuErrorSuccess);
  }
  EXPECT_EQ(progress_.name, L"ZEFO control");
  EXPECT_EQ(progress_.done, kBody.size());
  EXPECT_EQ(progress_.total, kBody.size());
  EXPECT_EQ(progress_.count, 1);
}

TEST_F(SelfDownloaderTest, AFailedOrCancelledDownloadFailsTheUpdateAndKeepsWhatCanResume) {
  struct Case {
    const wchar_t* what;
    const wchar_t* url;
    std::string body;
    TransferResult result;
    long error;
    std::string partial_after;  // "" when there is none
  } cases[] = {
      {L"the transfer fails", kUrl, "signed", TransferResult::kFailed, kZuErrorHttp, "signed"},
      {L"cancelled in the download view", kUrl, "sig", TransferResult::kCancelled,
       kZuErrorSuccess, "sig"},
      {L"another size", kUrl, "signed installer!", TransferResult::kComplete,
       kZuErrorSizeMismatch, ""},
      {L"no local path", L"http://h.example/noextension", "", TransferResult::kComplete,
       kZuErrorBadModuleUrl, ""},
      {L"not a download scheme", L"file://h/ZuSelfSetup.exe", "", TransferResult::kComplete,
       kZuErrorBadModuleUrl, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zu::test::RemoveFolder(kFolder);
    fetch_ = c.body;
    fetch_result_ = c.result;
    fetch_error_ = c.error;
    CSelfDownloader downloader(SelfUpdateJob{kNew, c.url, kBody.size()}, world_);
    downloader.SetSink(watch_.Sink());
    watch_.log.clear();
    downloader.Run();
    const Log& log = watch_.log;
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Log(log.end() - 3, log.end()),
              (Log{L"ask Self update: It failed", L"notify 50", L"allow sleep"}));
    EXPECT_EQ(ZuLastError(), c.error);
    EXPECT_FALSE(downloader.WatchesPower());
    EXPECT_FALSE(zu::test::FileExists(kInstaller));
    EXPECT_EQ(zu::test::ReadFileBytes(std::wstring(kInstaller) + L"ZU!"), c.partial_after);
    for (const std::wstring& line : log) EXPECT_EQ(line.find(L"launch"), std::wstring::npos);
  }
}

TEST_F(SelfDownloaderTest, AnInstallerLeftBeforeRunsAgainOnlyWhenItsSizeFits) {
  // The same size: taken as it is, nothing fetched.
  ::CreateDirectoryW(kFolder, nullptr);
  ASSERT_TRUE(zu::test::WriteFileBytes(kInstaller, std::string(kBody.size(), 'x')));
  Log log = RunWith({{0, 0, kNew}});
  EXPECT_EQ(log.at(1), L"notify 0");
  EXPECT_EQ(progress_.done, kBody.size());
  // Another size: it is not the installer offered now, so it is fetched again.
  ::CreateDirectoryW(kFolder, nullptr);
  ASSERT_TRUE(zu::test::WriteFileBytes(kInstaller, "an older installer, longer"));
  log = RunWith({{0, 0, kNew}});
  EXPECT_EQ(log.at(1), std::wstring(L"http ") + kUrl + L" resume=0");
  EXPECT_EQ(log.at(log.size() - 2), L"notify 12");
  // A partial file is continued when the user agrees.
  ::CreateDirectoryW(kFolder, nullptr);
  ASSERT_TRUE(zu::test::WriteFileBytes(std::wstring(kInstaller) + L"ZU!", "signed "));
  fetch_ = "installer";
  log = RunWith({{0, 0, kNew}});
  EXPECT_EQ(log.at(1), L"ask Self update: Continue?");
  EXPECT_EQ(log.at(2), std::wstring(L"http ") + kUrl + L" resume=1");
  EXPECT_EQ(log.at(log.size() - 2), L"notify 12");
}

TEST_F(SelfDownloaderTest, OnBatteryTheUpdateEndsBeforeAnythingIsFetched) {
  watch_.OnBatteryFor(2);
  EXPECT_EQ(RunWith({{0, 0, kNew}}),
            (Log{L"keep awake", L"ask ZEFO Update: On battery", L"notify 22", L"allow sleep"}));
  EXPECT_FALSE(zu::test::FileExists(kFolder));
}

}  // namespace
