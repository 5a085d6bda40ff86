// The built agent, driven as an installer, a logon and a user would.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/registry.h"
#include "tools/uiauto/uiauto.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kStartUpKey[] = L"SOFTWARE\\Vexa Corporation\\ZEFO Update 4\\StartUp";
const wchar_t kXpModeKey[] = L"Software\\Wine\\AppDefaults\\ZEFOUpdt.exe";
const wchar_t kOptionsCaption[] = L"ZEFO Update Options";

std::wstring Programs() { return zu::test::SpecialFolder(CSIDL_COMMON_PROGRAMS); }
std::wstring StartMenu() { return zu::test::SpecialFolder(CSIDL_COMMON_STARTMENU); }
std::wstring GroupDir() { return Programs() + L"\\ZEFO Update 4"; }
std::vector<std::wstring> Shortcuts() {
  return {GroupDir() + L"\\ZEFO Update Options.lnk", GroupDir() + L"\\Go to ZEFO Web Support.lnk",
          StartMenu() + L"\\Go to ZEFO Web Support.lnk"};
}

// Everything an agent run may change, put back afterwards.
class AgentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zu::test::InstallAgent(); }

  void SetUp() override {
    zu::test::StopAllAgents();
    user_.Clear();
    startup_.Clear();
    xp_mode_.Clear();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
    ::SetFileAttributesW(zu::test::SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(zu::test::SettingsFile().c_str());
  }
  void TearDown() override {
    if (HasFailure()) SaveFailureScreenshot();
    zu::test::StopAllAgents();
    for (const auto& lnk : Shortcuts()) ::DeleteFileW(lnk.c_str());
    ::RemoveDirectoryW(GroupDir().c_str());
  }

  // What the screen showed when the test failed, for a person to look at.
  static void SaveFailureScreenshot() {
    const std::wstring dir = zu::test::BinDir() + L"\\..\\screenshots";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->name());
    zu::ui::SaveScreenshot(dir + L"\\" + std::wstring(name.begin(), name.end()) + L".png");
  }

  // A resident agent that shows nothing at start.
  zu::test::Process StartResident() {
    zu::test::Process p = zu::test::StartAgent(L"/Stationary");
    EXPECT_TRUE(zu::test::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000));
    return p;
  }

  // The Options dialog once a person could use it.
  HWND WaitOptions(DWORD pid, DWORD ms = 15000) {
    HWND w = zu::ui::WaitForWindow(kOptionsCaption, L"", ms, pid);
    return w && zu::ui::WaitForControl(w, IDCANCEL, ms) ? w : nullptr;
  }

  void SetXpMode() {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kXpModeKey, 0, nullptr, 0,
                                               KEY_SET_VALUE, nullptr, &k, nullptr));
    ::RegSetValueExW(k, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"winxp"), 12);
    ::RegCloseKey(k);
  }

  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kUserKey};
  zu::test::KeySnapshot startup_{HKEY_LOCAL_MACHINE, kStartUpKey};
  zu::test::KeySnapshot xp_mode_{HKEY_CURRENT_USER, kXpModeKey};
  zu::test::KeySnapshot run_{HKEY_LOCAL_MACHINE, kRunKey};
  zu::test::FileSnapshot settings_{zu::test::SettingsFile()};
  zu::test::FileSnapshot uncheck_{L"C:\\Update\\UncheckItem.dat"};
};

TEST_F(AgentTest, ScreenshotShowsTheOptionsDialog) {
  zu::test::Process agent = zu::test::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  ::Sleep(300);
  const std::wstring dir = zu::test::BinDir() + L"\\..\\screenshots";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring shot = dir + L"\\options-placeholder.png";
  ASSERT_TRUE(zu::ui::SaveScreenshot(shot));
  const std::string png = zu::test::ReadFileBytes(shot);
  ASSERT_GT(png.size(), 1000u);
  EXPECT_EQ(std::string("\x89PNG", 4), png.substr(0, 4));
  zu::ui::PressButton(options, IDCANCEL);
}

TEST_F(AgentTest, PreInstallOnXpThenClearRemovesEverything) {
  SetXpMode();
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/PreInstall"));
  EXPECT_FALSE(zu::test::AgentRunning());
  const auto run = zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(L"\"" + zu::test::InstalledAgent() + L"\"  /Stationary", *run);
  for (const auto& lnk : Shortcuts()) EXPECT_TRUE(zu::test::FileExists(lnk)) << std::string(lnk.begin(), lnk.end());

  // A read-only settings file and the unchecked-items file go too.
  ::CreateDirectoryW(L"C:\\Update", nullptr);
  zu::test::WriteFileBytes(L"C:\\Update\\UncheckItem.dat", "x");
  ::SHCreateDirectoryExW(nullptr, (zu::test::SpecialFolder(CSIDL_COMMON_APPDATA) +
                                   L"\\Vexa Corporation\\ZEFO Update").c_str(), nullptr);
  zu::test::WriteFileBytes(zu::test::SettingsFile(), "[Option]\r\nInterval=3\r\n");
  ::SetFileAttributesW(zu::test::SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/CLEAR"));  // any case
  EXPECT_FALSE(zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").has_value());
  for (const auto& lnk : Shortcuts()) EXPECT_FALSE(zu::test::FileExists(lnk));
  EXPECT_FALSE(zu::test::FileExists(GroupDir()));
  EXPECT_FALSE(zu::test::FileExists(zu::test::SettingsFile()));
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\UncheckItem.dat"));
  EXPECT_FALSE(zu::test::AgentRunning());
}

TEST_F(AgentTest, PreInstallFromVistaOnCreatesShortcutsAndNoRunValue) {
  // From version 6 on autorun is a logon task, never the Run value.
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/preinstall"));
  EXPECT_FALSE(zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").has_value());
  for (const auto& lnk : Shortcuts()) EXPECT_TRUE(zu::test::FileExists(lnk));
}

TEST_F(AgentTest, FirstStartPreparesSettings) {
  const std::wstring oem = zu::test::SpecialFolder(CSIDL_SYSTEM) + L"\\OEMINFO.INI";
  zu::test::FileSnapshot oem_snapshot(oem);
  ::DeleteFileW(oem.c_str());

  zu::test::Process agent = StartResident();
  EXPECT_TRUE(zu::test::FileExists(zu::test::SettingsFile()));
  EXPECT_EQ(1u, zu::test::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
  wchar_t interval[16];
  ::GetPrivateProfileStringW(L"Option", L"Interval", L"", interval, 16, zu::test::SettingsFile().c_str());
  EXPECT_STREQ(L"1", interval);
  zu::test::StopAllAgents();
  EXPECT_TRUE(agent.WaitExit(5000));

  // An OEMINFO.INI older than a year means a weekly check.
  zu::test::WriteFileBytes(oem, "[General]\r\n");
  {
    zu::UniqueFile f(::CreateFileW(oem.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                   0, nullptr));
    SYSTEMTIME st{2001, 1, 0, 1, 0, 0, 0, 0};
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    ASSERT_TRUE(::SetFileTime(f.get(), &ft, &ft, &ft));
  }
  ::DeleteFileW(zu::test::SettingsFile().c_str());
  agent = StartResident();
  ::GetPrivateProfileStringW(L"Option", L"Interval", L"", interval, 16, zu::test::SettingsFile().c_str());
  EXPECT_STREQ(L"7", interval);
}

TEST_F(AgentTest, SecondStartsAreForwardedToTheRunningAgent) {
  zu::test::Process agent = StartResident();
  for (const wchar_t* args : {L"", L"/Stationary", L"/S", L"/clear "}) {
    zu::test::Process second = zu::test::StartAgent(args);
    EXPECT_TRUE(second.WaitExit(10000)) << "second start must end at once";
    HWND options = WaitOptions(agent.pid());
    ASSERT_NE(nullptr, options) << "options for: " << std::string(args, args + wcslen(args));
    ASSERT_TRUE(zu::ui::PressButton(options, IDCANCEL));
    EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 5000));
  }
  // Options stay once per process: a second request brings the open one up.
  zu::test::Process first = zu::test::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  zu::test::Process again = zu::test::StartAgent(L"");
  EXPECT_TRUE(again.WaitExit(10000));
  ::Sleep(500);
  int count = 0;
  for (HWND w : zu::ui::TopLevelWindows(agent.pid()))
    if (zu::ui::ReadWindowText(w) == kOptionsCaption && ::IsWindowVisible(w)) ++count;
  EXPECT_EQ(1, count);
  zu::ui::PressButton(options, IDCANCEL);
  EXPECT_FALSE(agent.WaitExit(500)) << "the agent stays resident";
}

// A window that looks like a running agent to a later start.
class FakeAgentWindow {
 public:
  FakeAgentWindow() {
    mutex_.reset(::CreateMutexW(nullptr, TRUE, L"ZEFO Update"));
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FakeAgent";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowW(L"FakeAgent", L"fake", 0, 0, 0, 0, 0, nullptr, nullptr,
                            wc.hInstance, nullptr);
    ::SetPropW(hwnd_, L"ZEFONtf.exe", reinterpret_cast<HANDLE>(1));
    message_ = ::RegisterWindowMessageW(L"ZEFONtfy Window Message");
  }
  ~FakeAgentWindow() {
    ::RemovePropW(hwnd_, L"ZEFONtf.exe");
    ::DestroyWindow(hwnd_);
  }
  // Pumps until the agent's message arrives; its wParam, or 0.
  WPARAM WaitRequest(const zu::test::Process& sender) {
    got_ = 0;
    DWORD start = ::GetTickCount();
    while (!got_ && ::GetTickCount() - start < 10000) {
      MSG m;
      while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == message_ && m.hwnd == hwnd_) got_ = m.wParam;
        ::DispatchMessageW(&m);
      }
      if (!got_ && sender.WaitExit(0)) {
        // Posted before the sender ended: one more look.
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
          if (m.message == message_ && m.hwnd == hwnd_) got_ = m.wParam;
        break;
      }
      ::Sleep(20);
    }
    return got_;
  }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return ::DefWindowProcW(h, m, w, l);
  }
  zu::UniqueHandle mutex_;
  HWND hwnd_;
  UINT message_;
  WPARAM got_ = 0;
};

TEST_F(AgentTest, LaterStartsPostTheirRequest) {
  FakeAgentWindow fake;
  struct Case {
    const wchar_t* args;
    WPARAM expected;
  };
  for (const Case& c : {Case{L"/showpage", 2}, Case{L"/SHOWPAGE", 2}, Case{L"", 1},
                        Case{L"/DisableButton", 1}, Case{L"/showpage ", 1}}) {
    zu::test::Process p = zu::test::StartAgent(c.args);
    EXPECT_EQ(c.expected, fake.WaitRequest(p)) << std::string(c.args, c.args + wcslen(c.args));
    EXPECT_TRUE(p.WaitExit(10000));
  }
}

TEST_F(AgentTest, HaltStopsTheSessionAgentAndHaltAllEvery) {
  zu::test::Process agent = StartResident();
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/Halt"));
  EXPECT_TRUE(agent.WaitExit(10000));
  EXPECT_FALSE(zu::test::AgentRunning());

  agent = StartResident();
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/haltall"));
  // It returns once the agents have ended, so that an installer can
  // replace the program right after it.
  zu::UniqueHandle marker(::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZEFO Update-MutexAll"));
  EXPECT_FALSE(marker);
  EXPECT_TRUE(agent.WaitExit(10000));

  // "/HaltAll" never starts an agent.
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/HaltAll"));
  EXPECT_FALSE(zu::test::AgentRunning());
}

TEST_F(AgentTest, StopRequestClosesAnOpenOptionsDialog) {
  // A plain first start shows the Options dialog before going resident.
  zu::test::Process agent = zu::test::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  EXPECT_EQ(nullptr, ::FindWindowW(nullptr, L"ZU MainWnd"));
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/HaltAll"));
  EXPECT_TRUE(agent.WaitExit(10000));
  EXPECT_FALSE(::IsWindow(options));
}

TEST_F(AgentTest, HaltWithoutAnAgentIsAPlainStart) {
  zu::test::Process agent = zu::test::StartAgent(L"/Halt");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  // OK confirms the options: no longer a first run.
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  ASSERT_TRUE(zu::test::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 10000));
  EXPECT_EQ(0u, zu::test::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
  wchar_t suppress[16];
  ::GetPrivateProfileStringW(L"Option", L"SuppressBallonPopUp", L"", suppress, 16,
                             zu::test::SettingsFile().c_str());
  EXPECT_STREQ(L"0", suppress);
}

TEST_F(AgentTest, StartupHooksRunWithTheirOptions) {
  const std::wstring log = zu::test::BinDir() + L"\\hooks.log";
  ::DeleteFileW(log.c_str());
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", log.c_str());
  const std::wstring recorder = zu::test::BinDir() + L"\\zurecord.exe";
  auto set = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    zu::test::SetRegString(HKEY_LOCAL_MACHINE, key, name, value);
  };
  set(std::wstring(kStartUpKey) + L"\\A", L"Path", recorder);
  set(std::wstring(kStartUpKey) + L"\\A", L"Option", L"first hook");
  set(std::wstring(kStartUpKey) + L"\\B", L"Option", L"no path, skipped");
  set(std::wstring(kStartUpKey) + L"\\C", L"Path", recorder);

  zu::test::Process agent = StartResident();
  ASSERT_TRUE(zu::test::WaitFor(
      [&] {
        std::string s = zu::test::ReadFileBytes(log);
        return std::count(s.begin(), s.end(), '\n') >= 2;
      },
      10000));
  ::Sleep(500);
  const std::string lines = zu::test::ReadFileBytes(log);
  EXPECT_NE(std::string::npos, lines.find("first hook"));
  EXPECT_EQ(std::string::npos, lines.find("skipped"));
  EXPECT_EQ(2, std::count(lines.begin(), lines.end(), '\n'));
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
  ::DeleteFileW(log.c_str());
}

}  // namespace

namespace {

TEST_F(AgentTest, ResourceLibraryReplacesTexts) {
  struct Installed {
    std::wstring dll = zu::test::InstallDir() + L"\\ZURes.dll";
    ~Installed() { ::DeleteFileW(dll.c_str()); }
  } library;
  ASSERT_TRUE(::CopyFileW((zu::test::BinDir() + L"\\lab-resources\\ZURes.dll").c_str(),
                          library.dll.c_str(), FALSE));
  zu::test::Process agent = zu::test::StartAgent(L"");
  // The dialog and the session mutex's name come from the library.
  HWND options = zu::ui::WaitForWindow(L"Lab Options Dialog", L"", 15000, agent.pid());
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::WaitForControl(options, IDCANCEL, 15000));
  EXPECT_FALSE(zu::test::AgentRunning());
  zu::UniqueHandle lab_mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"ZEFO Update Lab"));
  EXPECT_TRUE(lab_mutex);
  lab_mutex.reset();
  zu::ui::PressButton(options, IDCANCEL);
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/HaltAll"));
  EXPECT_TRUE(agent.WaitExit(10000));

  // Shortcut names too.
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/PreInstall"));
  EXPECT_TRUE(zu::test::FileExists(GroupDir() + L"\\Lab Options.lnk"));
  EXPECT_TRUE(zu::test::FileExists(StartMenu() + L"\\Lab Support.lnk"));
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/clear"));
  EXPECT_FALSE(zu::test::FileExists(GroupDir() + L"\\Lab Options.lnk"));
  EXPECT_FALSE(zu::test::FileExists(StartMenu() + L"\\Lab Support.lnk"));
}

TEST_F(AgentTest, InstallModeBecomesResidentQuietly) {
  // With no patch list there is nothing to install and no page to open.
  zu::test::FileAside patch_list(L"C:\\Update\\PatchList.dat");
  zu::test::Process agent = zu::test::StartAgent(L"/s");
  ASSERT_TRUE(zu::test::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000));
  EXPECT_EQ(nullptr, zu::ui::WaitForWindow(kOptionsCaption, L"", 500, agent.pid()));
  // The installer mutex was given back.
  zu::UniqueHandle m(::CreateMutexW(nullptr, TRUE, L"Global\\ZEFO Update ActiveX Mutex"));
  ASSERT_TRUE(m);
  EXPECT_NE(WAIT_TIMEOUT, ::WaitForSingleObject(m.get(), 0));
  ::ReleaseMutex(m.get());
}

}  // namespace
