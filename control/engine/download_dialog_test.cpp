// The download dialog run modally on the test's thread with a real worker
// thread, driven from a second thread as a person would: reading its
// texts, pressing Cancel, answering its message boxes.
#include "control/engine/download_dialog.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "common/framework/seam.h"
#include "common/platform_seams.h"
#include "control/engine/engine_seams.h"
#include "control/engine/file_downloader.h"
#include "control/registered_strings.h"
#include "control/resource.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/run_watch.h"
#include "tools/uiauto/uiauto.h"

namespace {

using zu::test::Module;

constexpr DWORD kWait = 20000;

std::atomic<bool> g_on_battery{false};
BOOL WINAPI FakePowerStatus(LPSYSTEM_POWER_STATUS status) {
  *status = SYSTEM_POWER_STATUS{};
  status->ACLineStatus = g_on_battery ? 0 : 1;
  return TRUE;
}
std::atomic<UINT> g_exit_flags{0};
std::atomic<BOOL> g_exit_answer{FALSE};
BOOL WINAPI FakeExitWindows(UINT flags, DWORD) {
  g_exit_flags = flags;
  return g_exit_answer;
}

// A transfer that writes its bytes, then holds until released or cancelled.
struct HeldTransfer {
  std::string bytes;
  HANDLE release = nullptr;  // null: does not hold
};

Transfer Fake(std::map<std::wstring, HeldTransfer>* plan) {
  return [plan](const TransferRequest& r, ITransferProgress& p) {
    HeldTransfer& t = (*plan)[r.url];

    PartialFile file;
    if (!file.Open(r.partial_path, false)) return TransferResult::kFailed;
    p.SetCurrentBytes(0);
    file.Append(t.bytes.data(), t.bytes.size());
    p.AddCurrentBytes(t.bytes.size());
    while (t.release && ::WaitForSingleObject(t.release, 50) == WAIT_TIMEOUT)
      if (p.PausedThenCancelled()) return TransferResult::kCancelled;
    return p.PausedThenCancelled() ? TransferResult::kCancelled : TransferResult::kComplete;
  };
}

class HeldInstaller : public IPatchInstaller {
 public:
  HeldInstaller(int records, HANDLE step, int final_level)
      : records_(records), step_(step), final_level_(final_level) {}
  // Every record runs, in both phases.
  bool ReadInteger(int, int, std::int32_t* v) override {
    *v = 1;
    return true;
  }
  void FirstPhaseRun(int) override { Hold(); }
  void SecondPhaseRun(int) override { Hold(); }
  int PendingSecondRuns() override { return records_; }
  bool AllInstalled() override { return true; }
  int FirstPhaseRebootLevel() override { return 0; }
  int FinalRebootLevel() override { return final_level_; }

 private:
  void Hold() {
    if (step_) ::WaitForSingleObject(step_, kWait);
  }
  int records_;
  HANDLE step_;
  int final_level_;
};

std::wstring ScreenshotPath(const wchar_t* name) {
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir = dir.substr(0, dir.rfind(L'\\')) + L"\\..\\screenshots";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir + L"\\" + name;
}

std::wstring Text(HWND dlg, int id) { return zu::ui::ReadWindowText(::GetDlgItem(dlg, id)); }
bool Visible(HWND dlg, int id) { return ::IsWindowVisible(::GetDlgItem(dlg, id)) != FALSE; }

class DownloadDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    for (const wchar_t* f : {L"ZuDlgOne", L"ZuDlgTwo"})
      zu::test::RemoveFolder(std::wstring(L"C:\\Update\\") + f);
    ClearRegisteredStrings();
    for (auto [id, text] : std::map<long, const wchar_t*>{
             {100, L"Power"}, {200, L"Notice"}, {201, L"Some were not installed"},
             {300, L"Downloading "}, {301, L"Status:"}, {302, L"bytes"},
             {303, L"Remaining:"}, {304, L"h"}, {305, L"min"}, {306, L"s"}, {307, L"Stop"},
             {400, L"Finishing "}, {401, L"Installing "}, {402, L"Restart"},
             {403, L"Shutdown"}, {404, L"Restarting now"}, {405, L"Shutting down now"},
             {406, L"On battery"}})
      StoreRegisteredString(id, text);
    g_on_battery = false;
    world_.http = Fake(&plan_);
    world_.ftp = Fake(&plan_);
    world_.register_autorun = [](const std::wstring&) { return true; };
    release_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  void TearDown() override {
    for (const wchar_t* f : {L"ZuDlgOne", L"ZuDlgTwo"})
      zu::test::RemoveFolder(std::wstring(L"C:\\Update\\") + f);
    ClearRegisteredStrings();
    ::CloseHandle(release_);
  }

  // Runs the dialog modally here while `person` acts on it from another
  // thread; the dialog's result.
  template <typename Person>
  INT_PTR RunDialog(CFileDownloader& downloader, Person person) {
    CDownloadDLG dialog;
    dialog.SetDownloader(&downloader);
    EXPECT_TRUE(downloader.Bind());
    std::thread other(person);
    INT_PTR result = dialog.RunModal(nullptr);
    other.join();
    return result;
  }

  zu::ScopedOverride<zu::seams::GetSystemPowerStatusFn> power_{
      zu::seams::get_system_power_status, &FakePowerStatus};
  zu::ScopedOverride<zu::seams::ExitWindowsFn> exit_{zu::seams::exit_windows,
                                                        &FakeExitWindows};
  RunWorld world_;
  std::map<std::wstring, HeldTransfer> plan_;
  HANDLE release_ = nullptr;
};

TEST_F(DownloadDialogTest, DownloadViewShowsProgressAndCancelEndsTheRunKeepingThePart) {
  plan_[L"http://h/ZuDlgOne.exe"] = {std::string(100, '1')};
  plan_[L"http://h/ZuDlgTwo.exe"] = {std::string(150, '2'), release_};
  CFileDownloader downloader(world_);
  downloader.modules().Add(Module(L"http://h/ZuDlgOne.exe", 100, false, L"Module One"));
  downloader.modules().Add(Module(L"http://h/ZuDlgTwo.exe", 300, false, L"Module Two"));

  INT_PTR result = RunDialog(downloader, [&] {
    HWND dlg = zu::ui::WaitForWindow(L"Downloading (2/2)", L"#32770", kWait);
    ASSERT_NE(dlg, nullptr);
    // The template: a caption without a system menu, and every control
    // where the dialog units put it.
    LONG style = ::GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    struct Place {
      int id, x, y, w, h;
    } places[] = {{IDCANCEL, 96, 77, 50, 14},
                  {IDC_DOWNLOAD_PROGRESS, 19, 33, 200, 12},
                  {IDC_DOWNLOAD_STATUS, 32, 53, 194, 10},
                  {IDC_DOWNLOAD_NAME, 49, 14, 172, 10},
                  {IDC_DOWNLOAD_TIME, 32, 64, 188, 9}};
    for (const Place& p : places) {
      RECT want = {p.x, p.y, p.x + p.w, p.y + p.h}, got = {};
      ::MapDialogRect(dlg, &want);
      HWND item = ::GetDlgItem(dlg, p.id);
      ::GetWindowRect(item, &got);
      ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&got), 2);
      // Within a pixel: Wine's progress bar rounds its height its own way.
      EXPECT_NEAR(got.left, want.left, 1) << p.id;
      EXPECT_NEAR(got.top, want.top, 1) << p.id;
      EXPECT_NEAR(got.right, want.right, 1) << p.id;
      EXPECT_NEAR(got.bottom, want.bottom, 1) << p.id;
    }
    RECT client = {}, size = {0, 0, 237, 98};
    ::GetClientRect(dlg, &client);
    ::MapDialogRect(dlg, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    EXPECT_TRUE(zu::ui::WaitForControl(dlg, L"Stop", kWait));
    EXPECT_TRUE(zu::test::WaitFor(
        [&] { return Text(dlg, IDC_DOWNLOAD_STATUS) == L"Status: 250 bytes / 400 bytes"; }, kWait));
    EXPECT_EQ(Text(dlg, IDC_DOWNLOAD_NAME), L"Module Two");
    EXPECT_EQ(::SendMessageW(::GetDlgItem(dlg, IDC_DOWNLOAD_PROGRESS), PBM_GETPOS, 0, 0), 62);
    EXPECT_EQ(Text(dlg, IDC_DOWNLOAD_TIME).rfind(L"Remaining:", 0), 0u);
    zu::ui::SaveScreenshot(ScreenshotPath(L"engine-download-view.png"));
    EXPECT_TRUE(zu::ui::PressButton(dlg, IDCANCEL));
  });
  EXPECT_EQ(result, kNoticeCancelled);
  WIN32_FILE_ATTRIBUTE_DATA part = {};
  ASSERT_TRUE(::GetFileAttributesExW(L"C:\\Update\\ZuDlgTwo\\ZuDlgTwo.exeZU!",
                                     GetFileExInfoStandard, &part));
  EXPECT_EQ(part.nFileSizeLow, 150u);
  EXPECT_NE(::GetFileAttributesW(L"C:\\Update\\ZuDlgOne\\ZuDlgOne.exe"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadDialogTest, InstallingViewCountsInstallersAndIgnoresCancel) {
  world_.create_installer = [this](const ModuleList& m) -> std::unique_ptr<IPatchInstaller> {
    return std::make_unique<HeldInstaller>(static_cast<int>(m.size()), release_, 0);
  };
  CFileDownloader downloader(world_);
  downloader.modules().Add(Module(L"http://h/ZuDlgOne.exe", 0, true, L"One"));
  downloader.modules().Add(Module(L"http://h/ZuDlgTwo.exe", 0, true, L"Two"));

  INT_PTR result = RunDialog(downloader, [&] {
    // Each title holds until the test lets its installer end.
    const wchar_t* titles[] = {L"Installing (1/2)", L"Installing (2/2)", L"Finishing (1/2)",
                               L"Finishing (2/2)"};
    const wchar_t* names[] = {L"One", L"Two", L"One", L"Two"};
    for (int i = 0; i < 4; ++i) {
      HWND dlg = zu::ui::WaitForWindow(titles[i], L"#32770", kWait);
      ASSERT_NE(dlg, nullptr) << i;
      EXPECT_TRUE(
          zu::test::WaitFor([&] { return Text(dlg, IDC_DOWNLOAD_NAME) == names[i]; }, kWait))
          << i;
      for (int id : {IDC_DOWNLOAD_TIME, IDC_DOWNLOAD_STATUS, IDC_DOWNLOAD_PROGRESS, IDCANCEL})
        EXPECT_FALSE(Visible(dlg, id)) << id;
      RECT r = {};
      ::GetWindowRect(dlg, &r);
      EXPECT_EQ(r.left, 10);
      EXPECT_EQ(r.top, 10);
      EXPECT_TRUE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
      if (i == 0) {
        zu::ui::SaveScreenshot(ScreenshotPath(L"engine-installing-view.png"));
        // Esc or a hidden Cancel: nothing stops an installer.
        ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
      }
      ::SetEvent(release_);
    }
  });
  EXPECT_EQ(result, kNoticeFinished);
}

TEST_F(DownloadDialogTest, RestartAndShutdownNoticesThenWindowsEndsTheSessionOrTheDialogCloses) {
  struct Case {
    int level;
    BOOL windows_agrees;
    const wchar_t *caption, *text;
    UINT flags;
  } cases[] = {
      {1, FALSE, L"Restart", L"Restarting now", EWX_REBOOT | EWX_FORCE},
      {2, TRUE, L"Shutdown", L"Shutting down now", EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    world_.create_installer = [&c](const ModuleList& m) -> std::unique_ptr<IPatchInstaller> {
      return std::make_unique<HeldInstaller>(static_cast<int>(m.size()), nullptr, c.level);
    };
    g_exit_flags = 0;
    g_exit_answer = c.windows_agrees;
    CFileDownloader downloader(world_);
    downloader.modules().Add(Module(L"http://h/ZuDlgOne.exe", 0, true, L"One"));
    INT_PTR result = RunDialog(downloader, [&] {
      std::wstring text;
      EXPECT_TRUE(zu::ui::CloseMessageBox(c.caption, L"OK", kWait, &text));
      EXPECT_EQ(text, c.text);
      if (!c.windows_agrees) return;
      // While Windows ends the session the dialog stays; here nothing ends
      // it, so the test closes it.
      HWND dlg = zu::ui::WaitForWindow(L"Finishing (1/1)", L"#32770", kWait);
      ::Sleep(500);
      EXPECT_TRUE(::IsWindow(dlg));
      ::PostMessageW(dlg, kRunNoticeMessage, kNoticeFailed, 0);
    });
    EXPECT_EQ(result, c.windows_agrees ? kNoticeFailed : (c.level == 1 ? kNoticeRestart
                                                                        : kNoticeShutdown));
    EXPECT_EQ(g_exit_flags, c.flags);
  }
}

TEST_F(DownloadDialogTest, OnBatteryTheRunPausesAndGoesOnOrEndsWithThePower) {
  for (bool mains_back : {true, false}) {
    SCOPED_TRACE(mains_back ? "mains back" : "still on battery");
    zu::test::RemoveFolder(L"C:\\Update\\ZuDlgOne");
    plan_[L"http://h/ZuDlgOne.exe"] = {std::string(10, '1'), release_};
    CFileDownloader downloader(world_);
    downloader.modules().Add(Module(L"http://h/ZuDlgOne.exe", 10, false, L"One"));
    INT_PTR result = RunDialog(downloader, [&] {
      HWND dlg = zu::ui::WaitForWindow(L"Downloading (1/1)", L"#32770", kWait);
      ASSERT_NE(dlg, nullptr);
      g_on_battery = true;
      ::PostMessageW(dlg, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
      HWND box = zu::ui::WaitForMessageBox(L"Power", kWait);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(zu::ui::ReadMessageBoxText(box), L"On battery");
      EXPECT_TRUE(downloader.paused());
      g_on_battery = !mains_back;
      EXPECT_TRUE(zu::ui::CloseMessageBox(L"Power", L"OK", kWait, nullptr));
      if (!mains_back) return;  // the run is cancelled
      EXPECT_TRUE(zu::test::WaitFor([&] { return !downloader.paused(); }, kWait));
      ::SetEvent(release_);
      // Downloads only: the closing notice.
      EXPECT_TRUE(zu::ui::CloseMessageBox(L"Notice", L"OK", kWait, nullptr));
    });
    EXPECT_EQ(result, mains_back ? kNoticeFinished : kNoticeCancelled);
    g_on_battery = false;
  }
}

}  // namespace
