// The "/S" installing dialog in this process, on a patch list of its own
// whose records run the signed fake installer; the rest of the world
// (power, autorun, browser, restart, message boxes) is recorded.
#include "agent/install_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "agent/resource.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/test_pki.h"

namespace {

using patch_list::PatchRecord;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

std::wstring Folder() {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring folder = std::wstring(dir) + L"zu-install-dlg";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::wstring WindowText(HWND wnd) {
  wchar_t text[256] = {};
  ::GetWindowTextW(wnd, text, 256);
  return text;
}

// Everything the run did to the world beyond the patch list.
struct Recorded {
  std::mutex lock;
  std::vector<std::wstring> autoruns;
  std::vector<std::pair<std::wstring, std::wstring>> boxes;  // text, caption
  std::vector<HWND> box_owners;
  std::vector<bool> holds;
  int support_pages = 0, restarts = 0, shutdowns = 0;
  SIZE size_at_end = {-1, -1};  // the dialog's size when the support page opened
  std::atomic<bool> mains{true};
  std::atomic<bool> plug_in_when_asked{false};
};

class InstallDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::DeleteFileW(list_.c_str());
    flags_.Clear();
  }
  void TearDown() override {
    for (const std::wstring& f : made_) ::DeleteFileW(f.c_str());
    ::DeleteFileW(list_.c_str());
  }

  PatchRecord Pending(int k, const std::wstring& flags = L"", const std::wstring& sleep = L"") {
    const std::wstring exe = folder_ + L"\\setup" + std::to_wstring(k) + L".exe";
    const std::wstring log = folder_ + L"\\setup" + std::to_wstring(k) + L".log";
    ::CopyFileW(zu::test::SignedInstaller(L"vexa.exe").c_str(), exe.c_str(), FALSE);
    ::DeleteFileW(log.c_str());
    made_.insert(made_.end(), {exe, log});
    PatchRecord r;
    r.path = exe;
    r.name = L"Update number " + std::to_wstring(k);
    r.auto_exec = 1;
    r.parameter = L"/log=" + log + L" " + flags + (sleep.empty() ? L"" : L" /sleep=" + sleep);
    r.phase_flag = 1;
    r.first_reboot = 1;
    r.install_reboot = 0;
    r.spid = L"SP" + std::to_wstring(k);
    return r;
  }
  // Writes the list as the control leaves it before a restart: first runs
  // done, second runs pending.
  void WriteList(const std::vector<PatchRecord>& records,
                 const std::set<int>& installed = {}) {
    CWrapIniOper list(list_);
    ASSERT_TRUE(list.CreateFromList(records));
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
      list.WriteInt(i, patch_list::kColFirstStarted, 1);
      list.WriteInt(i, patch_list::kColFirstLaunched, records[i].auto_exec);
      if (installed.count(i)) list.WriteInt(i, patch_list::kColInstalled, 1);
    }
  }
  int Runs(int k) {
    const std::string log = zu::test::ReadFileBytes(folder_ + L"\\setup" + std::to_wstring(k) + L".log");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }

  InstallWorld World() {
    InstallWorld w;
    w.patch_list = list_;
    w.launch = LaunchWorld::Real();
    Recorded* r = &rec_;
    w.on_mains = [r] { return r->mains.load(); };
    w.register_autorun = [r](const std::wstring& a) {
      std::lock_guard<std::mutex> l(r->lock);
      r->autoruns.push_back(a);
      return true;
    };
    w.open_support_page = [this, r] {
      RECT rect = {};
      ::GetWindowRect(dialog_hwnd_.load(), &rect);
      std::lock_guard<std::mutex> l(r->lock);
      ++r->support_pages;
      r->size_at_end = {rect.right - rect.left, rect.bottom - rect.top};
    };
    // Refused, so that the dialog ends instead of waiting for the restart.
    w.restart = [r] {
      std::lock_guard<std::mutex> l(r->lock);
      ++r->restarts;
      return false;
    };
    w.shutdown = [r] {
      std::lock_guard<std::mutex> l(r->lock);
      ++r->shutdowns;
      return false;
    };
    w.hold_desktop = [r](bool hold) {
      std::lock_guard<std::mutex> l(r->lock);
      r->holds.push_back(hold);
    };
    w.message_box = [r](HWND owner, const std::wstring& text, const std::wstring& caption, UINT) {
      if (r->plug_in_when_asked) r->mains = true;
      std::lock_guard<std::mutex> l(r->lock);
      r->boxes.emplace_back(text, caption);
      r->box_owners.push_back(owner);
      return IDOK;
    };
    w.new_hardware_title = [] { return std::wstring(L"ZU Test New Hardware"); };
    return w;
  }

  // Runs the dialog modally on a thread of its own; watch(dialog) runs on
  // the test's thread meanwhile. Answers DoModal's result.
  INT_PTR Run(const std::function<void(HWND)>& watch = nullptr) {
    CInstallDLG dialog(World());
    INT_PTR result = -2;
    std::thread ui([&] { result = dialog.DoModal(nullptr); });
    HWND wnd = nullptr;
    zu::test::WaitFor([&] { return (wnd = dialog.hwnd()) != nullptr || result != -2; }, 30000);
    dialog_hwnd_ = wnd;
    if (wnd && watch) watch(wnd);
    ui.join();
    return result;
  }

  Recorded rec_;
  std::atomic<HWND> dialog_hwnd_{nullptr};
  zu::test::KeySnapshot flags_{HKEY_LOCAL_MACHINE, kInstallerFlagsKey};
  const std::wstring folder_ = Folder();
  const std::wstring list_ = folder_ + L"\\PatchList.dat";
  std::vector<std::wstring> made_;
};

TEST_F(InstallDialogTest, RunsEachPendingSecondPhaseWithTheCounterInTheTitle) {
  PatchRecord done = Pending(1);
  WriteList({Pending(0, L"", L"1500"), done, Pending(2, L"", L"1500")}, {1});
  std::vector<std::wstring> titles, names;
  RECT shown = {};
  const INT_PTR result = Run([&](HWND wnd) {
    zu::test::WaitFor([&] {
      wchar_t name[256] = {};
      ::GetDlgItemTextW(wnd, IDC_INSTALL_NAME, name, 256);
      if (name[0] && (names.empty() || names.back() != name)) names.push_back(name);
      const std::wstring title = WindowText(wnd);
      if (titles.empty() || titles.back() != title) {
        titles.push_back(title);
        ::GetWindowRect(wnd, &shown);
        // Neither Enter nor Escape ends it.
        ::PostMessageW(wnd, WM_COMMAND, IDOK, 0);
        ::PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
      }
      return !::IsWindow(wnd);
    }, 60000);
  });
  EXPECT_EQ(result, IDOK);
  // The installed record counts neither as started nor in the total.
  const auto one = std::find(titles.begin(), titles.end(), L"Now Installing...(1/2)");
  const auto two = std::find(titles.begin(), titles.end(), L"Now Installing...(2/2)");
  ASSERT_NE(one, titles.end());
  ASSERT_NE(two, titles.end());
  EXPECT_LT(one, two);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Update number 0", L"Update number 2"}));
  EXPECT_EQ(shown.left, 10);
  EXPECT_EQ(shown.top, 10);
  EXPECT_GT(shown.right - shown.left, 100);

  EXPECT_EQ(Runs(0), 1);
  EXPECT_EQ(Runs(1), 0) << "an installed record is not run again";
  EXPECT_EQ(Runs(2), 1);
  const auto rows = zu::test::ReadPatchListFile(list_);
  ASSERT_TRUE(rows.has_value());
  for (int i : {0, 2}) {
    EXPECT_EQ((*rows)[i].number[11], 1) << i;
    EXPECT_EQ((*rows)[i].number[13], 1) << i;
  }
  EXPECT_EQ(rec_.autoruns, std::vector<std::wstring>{L"/Stationary"});
  EXPECT_EQ(rec_.support_pages, 1);
  EXPECT_EQ(rec_.restarts + rec_.shutdowns, 0);
  EXPECT_TRUE(rec_.boxes.empty()) << "every record runs by itself";
  EXPECT_EQ(rec_.holds, (std::vector<bool>{true, false}));
}

TEST_F(InstallDialogTest, TheFinalRebootLevelDecidesWhatFollows) {
  struct Case {
    const char* what;
    const wchar_t* second_run_flags;
    bool manual_record;
    std::wstring autorun;
    int restarts, shutdowns, pages;
    std::vector<std::pair<std::wstring, std::wstring>> boxes;
  } cases[] = {
      {"restart", L"/run1=,1", false, L"/showpage", 1, 0, 0,
       {{L"Please reboot computer before new setting is available", L"Reboot"}}},
      {"shutdown", L"/run1=,2", false, L"/showpage", 0, 1, 0,
       {{L"Please shutdown computer before new setting is available", L"Shutdown"}}},
      {"none, with a module to install by hand", L"/run1=,0", true, L"/Stationary", 0, 0, 1,
       {{L"There are some update programs that you must install yourself.\nPlease finish the "
         L"installation by following the on-screen instruction \nwhich is  shown when clicking "
         L"the program name with icon of downloaded patches.",
         L"ZEFO Update"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rec_.autoruns.clear();
    rec_.boxes.clear();
    rec_.box_owners.clear();
    rec_.restarts = rec_.shutdowns = rec_.support_pages = 0;
    std::vector<PatchRecord> records = {Pending(0, c.second_run_flags)};
    if (c.manual_record) {
      PatchRecord manual = Pending(1);
      manual.auto_exec = 0;
      records.push_back(manual);
    }
    WriteList(records);
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(rec_.autoruns, std::vector<std::wstring>{c.autorun});
    EXPECT_EQ(rec_.restarts, c.restarts);
    EXPECT_EQ(rec_.shutdowns, c.shutdowns);
    EXPECT_EQ(rec_.support_pages, c.pages);
    EXPECT_EQ(rec_.boxes, c.boxes);
    if (!rec_.box_owners.empty()) {
      // The reboot notices belong to the desktop, the hand-install notice
      // to the dialog.
      EXPECT_EQ(rec_.box_owners[0] == ::GetDesktopWindow(), c.restarts + c.shutdowns > 0);
    }
    EXPECT_EQ(Runs(0), 1);
    if (c.manual_record) {
      EXPECT_EQ(Runs(1), 0);
    }
  }
}

TEST_F(InstallDialogTest, WithNothingPendingTheDialogNeverShows) {
  WriteList({Pending(0), Pending(1)}, {0, 1});
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(rec_.size_at_end.cx, 0);
  EXPECT_EQ(rec_.size_at_end.cy, 0);
  EXPECT_EQ(rec_.autoruns, std::vector<std::wstring>{L"/Stationary"});
  EXPECT_EQ(rec_.support_pages, 1);
  EXPECT_EQ(Runs(0) + Runs(1), 0);
}

TEST_F(InstallDialogTest, OnBatteryTheRunStopsBeforeTheFirstRecordAndKeepsItsRegistration) {
  WriteList({Pending(0), Pending(1)});
  rec_.mains = false;
  EXPECT_EQ(Run(), IDOK);
  ASSERT_EQ(rec_.boxes.size(), 1u);
  EXPECT_EQ(rec_.boxes[0].first, L"Please plug in power for automatic update");
  EXPECT_EQ(rec_.boxes[0].second, L"ZEFO Update");
  EXPECT_EQ(Runs(0) + Runs(1), 0);
  const auto rows = zu::test::ReadPatchListFile(list_);
  EXPECT_EQ((*rows)[0].number[11], 0);
  EXPECT_TRUE(rec_.autoruns.empty()) << "the next logon's \"/S\" continues";
  EXPECT_EQ(rec_.support_pages, 0);
  EXPECT_EQ(rec_.holds, (std::vector<bool>{true, false}));

  // Plugged in while the message is open: the run goes on.
  rec_.boxes.clear();
  rec_.holds.clear();
  rec_.plug_in_when_asked = true;
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(rec_.boxes.size(), 1u);
  EXPECT_EQ(Runs(0), 1);
  EXPECT_EQ(Runs(1), 1);
  EXPECT_EQ(rec_.autoruns, std::vector<std::wstring>{L"/Stationary"});
}

TEST_F(InstallDialogTest, OnlyOneBatteryMessageAtATimeInTheSession) {
  WriteList({});
  CInstallDLG dialog(World());
  EXPECT_TRUE(dialog.ShowPowerMessage());
  zu::UniqueHandle other(::CreateMutexW(nullptr, TRUE, L"ZU_POWER_MESSAGEBOX"));
  EXPECT_FALSE(dialog.ShowPowerMessage()) << "another message is open";
  other.reset();
  EXPECT_TRUE(dialog.ShowPowerMessage());
  EXPECT_EQ(rec_.boxes.size(), 2u);
  // The event lets the worker go on once the message is closed.
  zu::UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, L"ZEFOUPDATE_POWER_STATUS_EVENT"));
  ASSERT_TRUE(event);
  EXPECT_EQ(::WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
}

TEST_F(InstallDialogTest, TheNewHardwareWindowIsHiddenWhenARecordWaitedForARestart) {
  for (bool restart_between : {true, false}) {
    SCOPED_TRACE(restart_between);
    zu::Window hardware;
    ASSERT_TRUE(hardware.Create(L"ZuTestNewHardware", L"ZU Test New Hardware",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    PatchRecord r = Pending(0, L"", L"2000");
    if (!restart_between) r.first_reboot = 0;  // then column 14 is 0
    WriteList({r});
    // The window is this thread's: it answers while the dialog runs.
    EXPECT_EQ(Run([](HWND dialog) {
                zu::test::WaitFor([&] {
                  MSG msg;
                  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
                  return !::IsWindow(dialog);
                }, 60000);
              }),
              IDOK);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_EQ(::IsWindowVisible(hardware.hwnd()) != FALSE, !restart_between);
    hardware.Destroy();
  }
}

}  // namespace
