// The built agent, driven as an installer, a logon and a user would.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/lab_support.h"
#include "tools/uiauto/uiauto.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kStartUpKey[] = L"SOFTWARE\\Vexa Corporation\\ZEFO Update 4\\StartUp";
const wchar_t kXpModeKey[] = L"Software\\Wine\\AppDefaults\\ZEFOUpdt.exe";
const wchar_t kOptionsCaption[] = L"ZEFO Update Options";

std::wstring Programs() { return lab::SpecialFolder(CSIDL_COMMON_PROGRAMS); }
std::wstring StartMenu() { return lab::SpecialFolder(CSIDL_COMMON_STARTMENU); }
std::wstring GroupDir() { return Programs() + L"\\ZEFO Update 4"; }
std::vector<std::wstring> Shortcuts() {
  return {GroupDir() + L"\\ZEFO Update Options.lnk", GroupDir() + L"\\Go to ZEFO Web Support.lnk",
          StartMenu() + L"\\Go to ZEFO Web Support.lnk"};
}

// Everything an agent run may change, put back afterwards.
class AgentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { lab::InstallAgent(); }

  void SetUp() override {
    lab::StopAllAgents();
    user_.Clear();
    startup_.Clear();
    xp_mode_.Clear();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
    ::SetFileAttributesW(lab::SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(lab::SettingsFile().c_str());
  }
  void TearDown() override {
    if (HasFailure()) SaveFailureScreenshot();
    lab::StopAllAgents();
    for (const auto& lnk : Shortcuts()) ::DeleteFileW(lnk.c_str());
    ::RemoveDirectoryW(GroupDir().c_str());
  }

  // What the screen showed when the test failed, for a person to look at.
  static void SaveFailureScreenshot() {
    const std::wstring dir = lab::BinDir() + L"\\..\\screenshots";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->name());
    zu::ui::SaveScreenshot(dir + L"\\" + std::wstring(name.begin(), name.end()) + L".png");
  }

  // A resident agent that shows nothing at start.
  lab::Process StartResident() {
    lab::Process p = lab::StartAgent(L"/Stationary");
    EXPECT_TRUE(lab::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000));
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

  lab::KeySnapshot user_{HKEY_CURRENT_USER, kUserKey};
  lab::KeySnapshot startup_{HKEY_LOCAL_MACHINE, kStartUpKey};
  lab::KeySnapshot xp_mode_{HKEY_CURRENT_USER, kXpModeKey};
  lab::KeySnapshot run_{HKEY_LOCAL_MACHINE, kRunKey};
  lab::FileSnapshot settings_{lab::SettingsFile()};
  lab::FileSnapshot uncheck_{L"C:\\Update\\UncheckItem.dat"};
};

TEST_F(AgentTest, ScreenshotShowsTheOptionsDialog) {
  lab::Process agent = lab::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  ::Sleep(300);
  const std::wstring dir = lab::BinDir() + L"\\..\\screenshots";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring shot = dir + L"\\options-placeholder.png";
  ASSERT_TRUE(zu::ui::SaveScreenshot(shot));
  const std::string png = lab::ReadFileBytes(shot);
  ASSERT_GT(png.size(), 1000u);
  EXPECT_EQ(std::string("\x89PNG", 4), png.substr(0, 4));
  zu::ui::PressButton(options, IDCANCEL);
}

TEST_F(AgentTest, PreInstallOnXpThenClearRemovesEverything) {
  SetXpMode();
  ASSERT_TRUE(lab::RunAgentToEnd(L"/PreInstall"));
  EXPECT_FALSE(lab::AgentRunning());
  const auto run = lab::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(L"\"" + lab::InstalledAgent() + L"\"  /Stationary", *run);
  for (const auto& lnk : Shortcuts()) EXPECT_TRUE(lab::FileExists(lnk)) << std::string(lnk.begin(), lnk.end());

  // A read-only settings file and the unchecked-items file go too.
  ::CreateDirectoryW(L"C:\\Update", nullptr);
  lab::WriteFileBytes(L"C:\\Update\\UncheckItem.dat", "x");
  ::SHCreateDirectoryExW(nullptr, (lab::SpecialFolder(CSIDL_COMMON_APPDATA) +
                                   L"\\Vexa Corporation\\ZEFO Update").c_str(), nullptr);
  lab::WriteFileBytes(lab::SettingsFile(), "[Option]\r\nInterval=3\r\n");
  ::SetFileAttributesW(lab::SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(lab::RunAgentToEnd(L"/CLEAR"));  // any case
  EXPECT_FALSE(lab::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").has_value());
  for (const auto& lnk : Shortcuts()) EXPECT_FALSE(lab::FileExists(lnk));
  EXPECT_FALSE(lab::FileExists(GroupDir()));
  EXPECT_FALSE(lab::FileExists(lab::SettingsFile()));
  EXPECT_FALSE(lab::FileExists(L"C:\\Update\\UncheckItem.dat"));
  EXPECT_FALSE(lab::AgentRunning());
}

TEST_F(AgentTest, PreInstallFromVistaOnCreatesShortcutsAndNoRunValue) {
  // From version 6 on autorun is a logon task, never the Run value.
  ASSERT_TRUE(lab::RunAgentToEnd(L"/preinstall"));
  EXPECT_FALSE(lab::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").has_value());
  for (const auto& lnk : Shortcuts()) EXPECT_TRUE(lab::FileExists(lnk));
}

TEST_F(AgentTest, FirstStartPreparesSettings) {
  const std::wstring oem = lab::SpecialFolder(CSIDL_SYSTEM) + L"\\OEMINFO.INI";
  lab::FileSnapshot oem_snapshot(oem);
  ::DeleteFileW(oem.c_str());

  lab::Process agent = StartResident();
  EXPECT_TRUE(lab::FileExists(lab::SettingsFile()));
  EXPECT_EQ(1u, lab::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
  wchar_t interval[16];
  ::GetPrivateProfileStringW(L"Option", L"Interval", L"", interval, 16, lab::SettingsFile().c_str());
  EXPECT_STREQ(L"1", interval);
  lab::StopAllAgents();
  EXPECT_TRUE(agent.WaitExit(5000));

  // An OEMINFO.INI older than a year means a weekly check.
  lab::WriteFileBytes(oem, "[General]\r\n");
  {
    zu::UniqueFile f(::CreateFileW(oem.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                   0, nullptr));
    SYSTEMTIME st{2001, 1, 0, 1, 0, 0, 0, 0};
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    ASSERT_TRUE(::SetFileTime(f.get(), &ft, &ft, &ft));
  }
  ::DeleteFileW(lab::SettingsFile().c_str());
  agent = StartResident();
  ::GetPrivateProfileStringW(L"Option", L"Interval", L"", interval, 16, lab::SettingsFile().c_str());
  EXPECT_STREQ(L"7", interval);
}

TEST_F(AgentTest, SecondStartsAreForwardedToTheRunningAgent) {
  lab::Process agent = StartResident();
  for (const wchar_t* args : {L"", L"/Stationary", L"/S", L"/clear "}) {
    lab::Process second = lab::StartAgent(args);
    EXPECT_TRUE(second.WaitExit(10000)) << "second start must end at once";
    HWND options = WaitOptions(agent.pid());
    ASSERT_NE(nullptr, options) << "options for: " << std::string(args, args + wcslen(args));
    ASSERT_TRUE(zu::ui::PressButton(options, IDCANCEL));
    EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 5000));
  }
  // Options stay once per process: a second request brings the open one up.
  lab::Process first = lab::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  lab::Process again = lab::StartAgent(L"");
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
  WPARAM WaitRequest(const lab::Process& sender) {
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
    lab::Process p = lab::StartAgent(c.args);
    EXPECT_EQ(c.expected, fake.WaitRequest(p)) << std::string(c.args, c.args + wcslen(c.args));
    EXPECT_TRUE(p.WaitExit(10000));
  }
}

TEST_F(AgentTest, HaltStopsTheSessionAgentAndHaltAllEvery) {
  lab::Process agent = StartResident();
  ASSERT_TRUE(lab::RunAgentToEnd(L"/Halt"));
  EXPECT_TRUE(agent.WaitExit(10000));
  EXPECT_FALSE(lab::AgentRunning());

  agent = StartResident();
  ASSERT_TRUE(lab::RunAgentToEnd(L"/haltall"));
  EXPECT_TRUE(agent.WaitExit(10000));

  // "/HaltAll" never starts an agent.
  ASSERT_TRUE(lab::RunAgentToEnd(L"/HaltAll"));
  EXPECT_FALSE(lab::AgentRunning());
}

TEST_F(AgentTest, StopRequestClosesAnOpenOptionsDialog) {
  // A plain first start shows the Options dialog before going resident.
  lab::Process agent = lab::StartAgent(L"");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  EXPECT_EQ(nullptr, ::FindWindowW(nullptr, L"ZU MainWnd"));
  ASSERT_TRUE(lab::RunAgentToEnd(L"/HaltAll"));
  EXPECT_TRUE(agent.WaitExit(10000));
  EXPECT_FALSE(::IsWindow(options));
}

TEST_F(AgentTest, HaltWithoutAnAgentIsAPlainStart) {
  lab::Process agent = lab::StartAgent(L"/Halt");
  HWND options = WaitOptions(agent.pid());
  ASSERT_NE(nullptr, options);
  // OK confirms the options: no longer a first run.
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  ASSERT_TRUE(lab::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 10000));
  EXPECT_EQ(0u, lab::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
  wchar_t suppress[16];
  ::GetPrivateProfileStringW(L"Option", L"SuppressBallonPopUp", L"", suppress, 16,
                             lab::SettingsFile().c_str());
  EXPECT_STREQ(L"0", suppress);
}

TEST_F(AgentTest, StartupHooksRunWithTheirOptions) {
  const std::wstring log = lab::BinDir() + L"\\hooks.log";
  ::DeleteFileW(log.c_str());
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", log.c_str());
  const std::wstring recorder = lab::BinDir() + L"\\zurecord.exe";
  auto set = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    lab::SetRegString(HKEY_LOCAL_MACHINE, key, name, value);
  };
  set(std::wstring(kStartUpKey) + L"\\A", L"Path", recorder);
  set(std::wstring(kStartUpKey) + L"\\A", L"Option", L"first hook");
  set(std::wstring(kStartUpKey) + L"\\B", L"Option", L"no path, skipped");
  set(std::wstring(kStartUpKey) + L"\\C", L"Path", recorder);

  lab::Process agent = StartResident();
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        std::string s = lab::ReadFileBytes(log);
        return std::count(s.begin(), s.end(), '\n') >= 2;
      },
      10000));
  ::Sleep(500);
  const std::string lines = lab::ReadFileBytes(log);
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
    std::wstring dll = lab::InstallDir() + L"\\ZURes.dll";
    ~Installed() { ::DeleteFileW(dll.c_str()); }
  } library;
  ASSERT_TRUE(::CopyFileW((lab::BinDir() + L"\\lab-resources\\ZURes.dll").c_str(),
                          library.dll.c_str(), FALSE));
  lab::Process agent = lab::StartAgent(L"");
  // The dialog and the session mutex's name come from the library.
  HWND options = zu::ui::WaitForWindow(L"Lab Options Dialog", L"", 15000, agent.pid());
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::WaitForControl(options, IDCANCEL, 15000));
  EXPECT_FALSE(lab::AgentRunning());
  zu::UniqueHandle lab_mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"ZEFO Update Lab"));
  EXPECT_TRUE(lab_mutex);
  lab_mutex.reset();
  zu::ui::PressButton(options, IDCANCEL);
  ASSERT_TRUE(lab::RunAgentToEnd(L"/HaltAll"));
  EXPECT_TRUE(agent.WaitExit(10000));

  // Shortcut names too.
  ASSERT_TRUE(lab::RunAgentToEnd(L"/PreInstall"));
  EXPECT_TRUE(lab::FileExists(GroupDir() + L"\\Lab Options.lnk"));
  EXPECT_TRUE(lab::FileExists(StartMenu() + L"\\Lab Support.lnk"));
  ASSERT_TRUE(lab::RunAgentToEnd(L"/clear"));
  EXPECT_FALSE(lab::FileExists(GroupDir() + L"\\Lab Options.lnk"));
  EXPECT_FALSE(lab::FileExists(StartMenu() + L"\\Lab Support.lnk"));
}

TEST_F(AgentTest, InstallModeBecomesResidentQuietly) {
  lab::Process agent = lab::StartAgent(L"/s");
  ASSERT_TRUE(lab::WaitFor([] { return FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000));
  EXPECT_EQ(nullptr, zu::ui::WaitForWindow(kOptionsCaption, L"", 500, agent.pid()));
  // The installer mutex was given back.
  zu::UniqueHandle m(::CreateMutexW(nullptr, TRUE, L"Global\\ZEFO Update ActiveX Mutex"));
  ASSERT_TRUE(m);
  EXPECT_NE(WAIT_TIMEOUT, ::WaitForSingleObject(m.get(), 0));
  ::ReleaseMutex(m.get());
}

}  // namespace
