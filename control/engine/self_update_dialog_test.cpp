// The self update's dialog run modally on the test's thread with a real
// worker thread over test doubles, driven from a second thread as a person
// would: reading its texts, pressing Cancel, answering its message boxes.
#include "control/engine/self_update_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/framework/seam.h"
#include "common/patch_installer.h"
#include "control/engine/engine_seams.h"
#include "control/engine/self_downloader.h"
#include "control/registered_strings.h"
#include "control/resource.h"
#include "control/zuac_module.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tools/uiauto/uiauto.h"

namespace {

constexpr DWORD kWait = 20000;
const wchar_t kUrl[] = L"http://h/ZuSelfDlg.exe";
const wchar_t kFolder[] = L"C:\\Update\\ZuSelfDlg";
const wchar_t kFailurePage[] = L"http://h/failed.html";

std::atomic<bool> g_on_battery{false};
BOOL WINAPI FakePowerStatus(LPSYSTEM_POWER_STATUS status) {
  *status = SYSTEM_POWER_STATUS{};
  status->ACLineStatus = g_on_battery ? 0 : 1;
  return TRUE;
}

std::wstring Text(HWND dlg, int id) { return zu::ui::ReadWindowText(::GetDlgItem(dlg, id)); }
bool Visible(HWND dlg, int id) { return ::IsWindowVisible(::GetDlgItem(dlg, id)) != FALSE; }

// The raw bytes of a dialog template in the control's resources.
std::string Template(int id) {
  HMODULE module = CZUAXApp::Instance().module();
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  if (!found) return std::string();
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  return std::string(bytes, ::SizeofResource(module, found));
}

class SelfUpdateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    zu::test::RemoveFolder(kFolder);
    ClearRegisteredStrings();
    for (auto [id, text] : std::map<long, const wchar_t*>{
             {100, L"Self update"}, {300, L"Updating "}, {301, L"Status:"}, {302, L"bytes"},
             {303, L"Remaining:"}, {307, L"Stop"}, {400, L"Finishing "}, {401, L"Installing "},
             {406, L"On battery"}, {500, L"It failed"}, {501, L"It worked"},
             {502, L"ZEFO control"}})
      StoreRegisteredString(id, text);
    g_on_battery = false;
    step_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // The download holds until the test lets it go (or cancels).
    world_.http = [this](const TransferRequest& r, ITransferProgress& p) {
      PartialFile file;
      if (!file.Open(r.partial_path, false)) return TransferResult::kFailed;
      file.Append("half", 4);
      p.AddCurrentBytes(4);
      while (::WaitForSingleObject(step_, 50) == WAIT_TIMEOUT)
        if (p.PausedThenCancelled()) return TransferResult::kCancelled;
      file.Append("-rest", 5);
      p.AddCurrentBytes(5);
      return TransferResult::kComplete;
    };
    world_.ftp = world_.http;
    // Each run of the installer holds too; the last writes the new version.
    world_.launch = [this](const std::wstring&) {
      ::WaitForSingleObject(step_, kWait);
      version_ = ++runs_ == two_phases_ + 1 ? L"4.0.00.02000" : L"4.0.00.01010";
      return true;
    };
    world_.take_flag = [this](const wchar_t* name) {
      return std::wstring(name) == kInstallFlagValue && runs_ == 1 && two_phases_ ? 1 : 0;
    };
    world_.register_autorun = [](const std::wstring&) { return true; };
    world_.version_text = [this] { return version_; };
    pages_.reachable = [this](const std::wstring& address) {
      probed_.push_back(address);
      return page_answers_;
    };
    pages_.open = [this](const std::wstring& address) { opened_.push_back(address); };
  }
  void TearDown() override {
    zu::test::RemoveFolder(kFolder);
    ClearRegisteredStrings();
    ::CloseHandle(step_);
  }

  template <typename Person>
  INT_PTR RunDialog(const std::wstring& failed_url, Person person) {
    runs_ = 0;
    version_ = L"4.0.00.01010";
    CSelfDownloader downloader(SelfUpdateJob{L"4.0.00.02000", kUrl, 9}, world_);
    CDownloadSelfDlg dialog(failed_url, pages_);
    dialog.SetDownloader(&downloader);
    std::thread other(person);
    const INT_PTR result = dialog.RunModal(nullptr);
    other.join();
    return result;
  }

  zu::ScopedOverride<zu::seams::GetSystemPowerStatusFn> power_{
      zu::seams::get_system_power_status, &FakePowerStatus};
  SelfUpdateWorld world_;
  FailurePageWorld pages_;
  HANDLE step_ = nullptr;
  int two_phases_ = 0;
  std::atomic<int> runs_{0};
  std::wstring version_;
  bool page_answers_ = true;
  std::vector<std::wstring> probed_, opened_;
};

TEST_F(SelfUpdateDialogTest, TheSameControlsAsTheModuleRunsDialogUnderItsOwnTemplate) {
  const std::string module_run = Template(IDD_DOWNLOAD), self_update = Template(IDD_DOWNLOAD_SELF);
  ASSERT_FALSE(module_run.empty());
  EXPECT_EQ(self_update, module_run);
}

TEST_F(SelfUpdateDialogTest, NoCountersTheControlsNameAndTheInstallingViewStaysWhereItIs) {
  two_phases_ = 1;
  const INT_PTR result = RunDialog(kFailurePage, [&] {
    HWND dlg = zu::ui::WaitForWindow(L"Updating ", L"#32770", kWait);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(zu::ui::WaitForControl(dlg, L"Stop", kWait));
    EXPECT_TRUE(zu::test::WaitFor(
        [&] { return Text(dlg, IDC_DOWNLOAD_STATUS) == L"Status: 4 bytes / 9 bytes"; }, kWait));
    EXPECT_EQ(Text(dlg, IDC_DOWNLOAD_NAME), L"ZEFO control");
    RECT before = {};
    ::GetWindowRect(dlg, &before);
    ::SetEvent(step_);  // the download ends

    for (const wchar_t* title : {L"Installing ", L"Finishing "}) {
      ASSERT_TRUE(zu::test::WaitFor([&] { return zu::ui::ReadWindowText(dlg) == title; }, kWait))
          << zu::ui::ReadWindowText(dlg);
      EXPECT_EQ(Text(dlg, IDC_DOWNLOAD_NAME), L"ZEFO control");
      for (int id : {IDC_DOWNLOAD_TIME, IDC_DOWNLOAD_STATUS, IDC_DOWNLOAD_PROGRESS, IDCANCEL})
        EXPECT_FALSE(Visible(dlg, id)) << id;
      RECT now = {};
      ::GetWindowRect(dlg, &now);
      EXPECT_EQ(now.left, before.left);
      EXPECT_EQ(now.top, before.top);
      EXPECT_TRUE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
      // The battery no longer pauses anything once the download is over.
      g_on_battery = true;
      ::PostMessageW(dlg, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
      EXPECT_EQ(zu::ui::WaitForMessageBox(L"Self update", 500), nullptr);
      g_on_battery = false;
      ::SetEvent(step_);  // this run of the installer ends
    }
    std::wstring text;
    EXPECT_TRUE(zu::ui::CloseMessageBox(L"Self update", L"OK", kWait, &text));
    EXPECT_EQ(text, L"It worked");
  });
  EXPECT_EQ(result, kNoticeFinished);
  EXPECT_EQ(runs_, 2);
  EXPECT_TRUE(probed_.empty()) << "a success asks no failure page";
  EXPECT_FALSE(zu::test::FileExists(kFolder));
}

TEST_F(SelfUpdateDialogTest, CancelWhileDownloadingFailsTheUpdateAndOpensTheFailurePageIfItAnswers) {
  const struct {
    const wchar_t* failed_url;
    bool answers;
    std::vector<std::wstring> probed, opened;
  } cases[] = {
      {kFailurePage, true, {kFailurePage}, {kFailurePage}},
      {kFailurePage, false, {kFailurePage}, {}},
      {L"", true, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.answers << " " << c.failed_url);
    zu::test::RemoveFolder(kFolder);
    page_answers_ = c.answers;
    probed_.clear();
    opened_.clear();
    const INT_PTR result = RunDialog(c.failed_url, [&] {
      HWND dlg = zu::ui::WaitForWindow(L"Updating ", L"#32770", kWait);
      ASSERT_NE(dlg, nullptr);
      ASSERT_TRUE(zu::ui::WaitForControl(dlg, L"Stop", kWait));
      EXPECT_TRUE(zu::ui::PressButton(dlg, IDCANCEL));
      std::wstring text;
      EXPECT_TRUE(zu::ui::CloseMessageBox(L"Self update", L"OK", kWait, &text));
      EXPECT_EQ(text, L"It failed");
    });
    EXPECT_EQ(result, kNoticeSelfUpdateFailed);
    EXPECT_EQ(probed_, c.probed);
    EXPECT_EQ(opened_, c.opened);
    EXPECT_EQ(runs_, 0) << "nothing was installed";
    EXPECT_EQ(zu::test::ReadFileBytes(std::wstring(kFolder) + L"\\ZuSelfDlg.exeZU!"), "half");
  }
}

}  // namespace
