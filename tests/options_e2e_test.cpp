// The agent's Options dialog, as a user sees and works it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "agent/resource.h"
#include "tests/support/bitmap.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/registry.h"
#include "tools/uiauto/uiauto.h"

namespace {

const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kOptionsCaption[] = L"ZEFO Update Options";
const wchar_t kQuestion[] = L"Do you really want to disable automatic checking of ZEFO Update?";
const wchar_t kLink[] = L"http://support.zefo.example/help?topic=options";

constexpr int kWebSupport = 1000, kAutoCheck = 1001, kSuppress = 1002, kVersion = 1005,
              kIconFrame = 1008, kInfoText = 1011;
constexpr int kPictureWidth = 150, kPictureHeight = 200;

std::wstring InstalledFile(const wchar_t* name) { return zu::test::InstallDir() + L"\\" + name; }

// A control's rectangle in its dialog's client coordinates.
RECT ClientRect(HWND dialog, const zu::ui::ControlInfo& c) {
  RECT r = c.rect;
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class OptionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zu::test::InstallAgent(); }

  void SetUp() override {
    zu::test::StopAllAgents();
    user_.Clear();
    browser_.Clear();
    ::DeleteFileW(InstalledFile(L"sample.bmp").c_str());
    WriteInfoText("ZEFO Update\r\nKeeps your ZEFO PC up to date.\r\n");
  }
  void TearDown() override {
    if (HasFailure()) Screenshot(::testing::UnitTest::GetInstance()->current_test_info()->name());
    zu::test::StopAllAgents();
    ::DeleteFileW(InstalledFile(L"sample.bmp").c_str());
    ::DeleteFileW(InstalledFile(L"Pim.txt").c_str());
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
  }

  static void Screenshot(const std::string& name) {
    const std::wstring dir = zu::test::BinDir() + L"\\..\\screenshots";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    zu::ui::SaveScreenshot(dir + L"\\" + std::wstring(name.begin(), name.end()) + L".png");
  }

  static void WriteInfoText(const std::string& ansi) {
    zu::test::WriteFileBytes(InstalledFile(L"Pim.txt"), ansi);
  }
  static void WritePicture() {
    ASSERT_TRUE(zu::test::WriteBitmapFile(
        InstalledFile(L"sample.bmp"), kPictureWidth, kPictureHeight,
        [](int x, int y) { return RGB(30 + y / 2, 80 + x / 3, 160); }));
  }

  // The settings file as the installer leaves it, with the option set.
  static void SetStored(int value) {
    zu::test::InstallSettingsFile();
    ::WritePrivateProfileStringW(L"Option", L"SuppressBallonPopUp",
                                 std::to_wstring(value).c_str(), zu::test::SettingsFile().c_str());
  }
  static std::wstring Stored() {
    wchar_t text[32] = L"";
    ::GetPrivateProfileStringW(L"Option", L"SuppressBallonPopUp", L"", text, 32,
                               zu::test::SettingsFile().c_str());
    return text;
  }

  // A plain start: the dialog, once a person could use it.
  HWND OpenOptions(const std::wstring& args = L"") {
    agent_ = zu::test::StartAgent(args);
    return WaitForOptions();
  }
  // A resident agent with its icon, then a later start that hands the
  // request to it: the dialog of the resident agent.
  HWND OpenOptionsInResidentAgent() {
    agent_ = zu::test::StartAgent(L"/Stationary");
    if (!MainWindowUp() || !zu::test::RunAgentToEnd(L"")) return nullptr;
    return WaitForOptions();
  }
  // The agent's dialog, once a person could use it.
  HWND WaitForOptions() {
    HWND w = zu::ui::WaitForWindow(kOptionsCaption, L"", 20000, agent_.pid());
    if (w && zu::ui::WaitForControl(w, IDCANCEL, 20000)) return w;
    // Say whose windows are up instead, for the failure that follows.
    std::string up;
    for (HWND other : zu::ui::TopLevelWindows()) {
      const zu::ui::WindowInfo info = zu::ui::DescribeWindow(other);
      if (!info.visible) continue;
      up += " [" + std::to_string(info.pid) + " " +
            std::string(info.caption.begin(), info.caption.end()) + "]";
    }
    ADD_FAILURE() << "no Options dialog of agent " << agent_.pid() << "; visible:" << up;
    return nullptr;
  }
  static zu::ui::ControlInfo Control(HWND dialog, int id) {
    auto c = zu::ui::FindControl(dialog, id);
    EXPECT_TRUE(c.has_value()) << "control " << id;
    return c.value_or(zu::ui::ControlInfo{});
  }
  static bool MainWindowUp() {
    return zu::test::WaitFor([] { return ::FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000);
  }

  zu::test::Process agent_;
  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kUserKey};
  zu::test::KeySnapshot browser_{HKEY_LOCAL_MACHINE, zu::test::kBrowserKey};
  zu::test::FileSnapshot settings_{zu::test::SettingsFile()};
};

TEST_F(OptionsTest, TheStoredOptionSetsTheBoxesAndOkKeepsIt) {
  struct Case {
    int stored;
    int auto_check, suppress;
    bool suppress_enabled;
  };
  for (const Case& c : {Case{0, BST_CHECKED, BST_UNCHECKED, true},
                        Case{1, BST_CHECKED, BST_CHECKED, true},
                        Case{2, BST_UNCHECKED, BST_UNCHECKED, false}}) {
    SCOPED_TRACE(c.stored);
    SetStored(c.stored);
    HWND options = OpenOptions();
    ASSERT_NE(nullptr, options);
    EXPECT_EQ(c.auto_check, Control(options, kAutoCheck).check);
    EXPECT_TRUE(Control(options, kAutoCheck).enabled);
    EXPECT_EQ(c.suppress, Control(options, kSuppress).check);
    EXPECT_EQ(c.suppress_enabled, Control(options, kSuppress).enabled);
    // The version line is the installed Version.txt's first line.
    const std::string version = zu::test::ReadFileBytes(zu::test::InstallDir() + L"\\Version.txt");
    const std::string first = version.substr(0, version.find_first_of("\r\n"));
    EXPECT_EQ(L"ZEFO Update Version " + std::wstring(first.begin(), first.end()) +
                  L"\r\nCopyright (C) Vexa Corporation",
              Control(options, kVersion).text);

    // OK without changes asks nothing and keeps what was stored.
    ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
    EXPECT_EQ(nullptr, zu::ui::WaitForMessageBox(L"ZEFO Update", 1500, agent_.pid()));
    EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
    ASSERT_TRUE(MainWindowUp());
    EXPECT_EQ(std::to_wstring(c.stored), Stored());
    EXPECT_EQ(0u, zu::test::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
    zu::test::StopAllAgents();
  }
}

TEST_F(OptionsTest, CancelWritesNothing) {
  SetStored(1);
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::SetCheck(options, kSuppress, false));
  ASSERT_TRUE(zu::ui::PressButton(options, IDCANCEL));
  EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  ASSERT_TRUE(MainWindowUp());
  EXPECT_EQ(L"1", Stored());
  EXPECT_EQ(1u, zu::test::RegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun").value_or(99));
}

TEST_F(OptionsTest, TheBalloonsBoxFollowsAutomaticChecking) {
  SetStored(1);
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, false));
  EXPECT_FALSE(Control(options, kSuppress).enabled);
  EXPECT_EQ(BST_UNCHECKED, Control(options, kSuppress).check);
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, true));
  EXPECT_TRUE(Control(options, kSuppress).enabled);
  EXPECT_EQ(BST_UNCHECKED, Control(options, kSuppress).check);
  // Balloons back on, then OK: 0.
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  ASSERT_TRUE(MainWindowUp());
  EXPECT_EQ(L"0", Stored());
}

TEST_F(OptionsTest, SwitchingAutomaticCheckingOffIsAskedFirst) {
  SetStored(0);
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, false));
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));

  // No: the dialog stays, with automatic checking on again.
  std::wstring text;
  ASSERT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"No", 10000, &text));
  EXPECT_EQ(kQuestion, text);
  ASSERT_TRUE(zu::ui::WaitForControl(options, IDOK, 5000));
  EXPECT_TRUE(::IsWindowVisible(options));
  EXPECT_EQ(BST_CHECKED, Control(options, kAutoCheck).check);
  EXPECT_TRUE(Control(options, kSuppress).enabled);
  EXPECT_EQ(L"0", Stored());

  // Yes: automatic checking off.
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, false));
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  HWND box = zu::ui::WaitForMessageBox(L"ZEFO Update", 10000, agent_.pid());
  ASSERT_NE(nullptr, box);
  Screenshot("options-question");
  ASSERT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"Yes", 10000, nullptr));
  EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  ASSERT_TRUE(MainWindowUp());
  EXPECT_EQ(L"2", Stored());

  // Next time both boxes are off and nothing is asked on OK.
  zu::test::StopAllAgents();
  options = OpenOptions();
  ASSERT_NE(nullptr, options);
  EXPECT_EQ(BST_UNCHECKED, Control(options, kAutoCheck).check);
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  EXPECT_EQ(nullptr, zu::ui::WaitForMessageBox(L"ZEFO Update", 1500, agent_.pid()));
  EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  EXPECT_EQ(L"2", Stored());
}

TEST_F(OptionsTest, YesInAResidentAgentTakesItsIconOutOfTheTray) {
  SetStored(0);
  HWND options = OpenOptionsInResidentAgent();
  ASSERT_NE(nullptr, options);
  EXPECT_TRUE(zu::test::WaitFor([] { return zu::ui::TrayIconCount() == 1; }, 10000));
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, false));
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  ASSERT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"Yes", 10000, nullptr));
  EXPECT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  EXPECT_EQ(L"2", Stored());
  EXPECT_TRUE(zu::test::WaitFor([] { return zu::ui::TrayIconCount() == 0; }, 10000));
  EXPECT_TRUE(zu::test::AgentRunning());
}

TEST_F(OptionsTest, ExitFromTheTrayWhileTheQuestionIsOpenBringsTheDialogForward) {
  SetStored(0);
  HWND options = OpenOptionsInResidentAgent();
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(zu::ui::SetCheck(options, kAutoCheck, false));
  ASSERT_TRUE(zu::ui::PressButton(options, IDOK));
  ASSERT_NE(nullptr, zu::ui::WaitForMessageBox(L"ZEFO Update", 10000, agent_.pid()));

  ASSERT_TRUE(zu::test::ChooseTrayMenuItem(ID_TRAY_EXIT));
  ::Sleep(1500);
  EXPECT_TRUE(zu::test::AgentRunning());
  EXPECT_TRUE(::IsWindow(options));
  EXPECT_NE(nullptr, ::FindWindowW(nullptr, L"ZU MainWnd"));

  // Once the question is answered, Exit ends the agent.
  ASSERT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"No", 10000, nullptr));
  zu::ui::PressButton(options, IDCANCEL);
  ASSERT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  ASSERT_TRUE(zu::test::ChooseTrayMenuItem(ID_TRAY_EXIT));
  EXPECT_TRUE(zu::test::WaitFor([] { return !zu::test::AgentRunning(); }, 10000));
  EXPECT_TRUE(agent_.WaitExit(10000));
}

TEST_F(OptionsTest, WithoutAPictureTheTemplateLayoutStays) {
  SetStored(0);
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  ::Sleep(500);
  Screenshot("options-without-header");
  EXPECT_FALSE(Control(options, kWebSupport).visible);
  RECT client;
  ::GetClientRect(options, &client);
  const RECT text = ClientRect(options, Control(options, kInfoText));
  const RECT cancel = ClientRect(options, Control(options, IDCANCEL));
  // The template's margins: as wide on the right of Cancel as left of the text.
  EXPECT_NEAR(text.left, client.right - cancel.right, 2);
  EXPECT_EQ(text.right, cancel.right);
  EXPECT_LT(ClientRect(options, Control(options, kSuppress)).bottom,
            ClientRect(options, Control(options, kIconFrame)).top);
  // No painted picture, only the painted icon on its frame.
  int pictures = 0;
  for (const auto& c : zu::ui::ReadControls(options))
    if (c.class_name == L"StaticPaint") {
      ++pictures;
      const RECT r = ClientRect(options, c);
      const RECT frame = ClientRect(options, Control(options, kIconFrame));
      EXPECT_EQ(frame.left, r.left);
      EXPECT_EQ(frame.top, r.top);
      EXPECT_EQ(32, r.right - r.left);
      EXPECT_EQ(32, r.bottom - r.top);
    }
  EXPECT_EQ(1, pictures);
  zu::ui::PressButton(options, IDCANCEL);
}

TEST_F(OptionsTest, APictureMovesTheControlsAroundIt) {
  // Where the template puts everything.
  SetStored(0);
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  std::map<int, RECT> before;
  for (int id : {kIconFrame, kVersion, kWebSupport, IDOK, IDCANCEL, kAutoCheck, kSuppress,
                 kInfoText})
    before[id] = ClientRect(options, Control(options, id));
  zu::ui::PressButton(options, IDCANCEL);
  ASSERT_TRUE(zu::ui::WaitForWindowGone(options, 10000));
  zu::test::StopAllAgents();

  WritePicture();
  options = OpenOptions();
  ASSERT_NE(nullptr, options);
  ::Sleep(500);
  Screenshot("options-with-header");
  const int w = kPictureWidth, h = kPictureHeight;
  auto at = [&](int id) { return ClientRect(options, Control(options, id)); };
  auto same_size = [&](int id) {
    const RECT a = at(id), b = before[id];
    EXPECT_EQ(b.right - b.left, a.right - a.left) << id;
    EXPECT_EQ(b.bottom - b.top, a.bottom - a.top) << id;
  };
  for (const auto& [id, r] : before) same_size(id);

  EXPECT_EQ(20, at(kIconFrame).left);
  EXPECT_EQ(h + 10, at(kIconFrame).top);
  EXPECT_EQ(at(kIconFrame).right + 20, at(kVersion).left);
  EXPECT_EQ(h + 15, at(kVersion).top);
  ASSERT_TRUE(Control(options, kWebSupport).visible);
  EXPECT_EQ(at(kIconFrame).left + 10, at(kWebSupport).left);
  EXPECT_EQ(h + 70, at(kWebSupport).top);
  for (int id : {IDOK, IDCANCEL}) {
    EXPECT_EQ(before[id].left + w, at(id).left) << id;
    EXPECT_EQ(at(kWebSupport).top, at(id).top) << id;
  }
  for (int id : {kAutoCheck, kSuppress, kInfoText}) {
    EXPECT_EQ(before[id].left + w - 12, at(id).left) << id;
    EXPECT_EQ(before[id].top, at(id).top) << id;
  }
  RECT window;
  ::GetWindowRect(options, &window);
  EXPECT_EQ(at(kInfoText).right + 30, window.right - window.left);
  EXPECT_EQ(at(kWebSupport).bottom + 50, window.bottom - window.top);

  // The picture left of the text, at the text's top, in its own size.
  bool found = false;
  for (const auto& c : zu::ui::ReadControls(options)) {
    const RECT r = ClientRect(options, c);
    if (c.class_name != L"StaticPaint" || r.right - r.left != w) continue;
    found = true;
    EXPECT_EQ(2, r.left);
    EXPECT_EQ(before[kInfoText].top, r.top);
    EXPECT_EQ(h, r.bottom - r.top);
  }
  EXPECT_TRUE(found);

  // Band colour above the separator line, white below it.
  const int separator = at(kIconFrame).bottom + 11;
  RECT client;
  ::GetClientRect(options, &client);
  POINT band{client.right - 4, separator - 4}, line{client.right - 4, separator},
      below{client.right - 4, separator + 4};
  for (POINT* p : {&band, &line, &below}) ::ClientToScreen(options, p);
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(RGB(215, 221, 224), ::GetPixel(screen, band.x, band.y));
  EXPECT_EQ(RGB(141, 151, 150), ::GetPixel(screen, line.x, line.y));
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(screen, below.x, below.y));
  ::ReleaseDC(nullptr, screen);
  zu::ui::PressButton(options, IDCANCEL);
}

TEST_F(OptionsTest, DisableButtonGreysTheWebSupportButton) {
  WritePicture();
  HWND options = OpenOptions(L"/DisableButton");
  ASSERT_NE(nullptr, options);
  EXPECT_TRUE(Control(options, kWebSupport).visible);
  EXPECT_FALSE(Control(options, kWebSupport).enabled);
  zu::ui::PressButton(options, IDCANCEL);
}

// The support-page button of the dialog a plain first start shows: its
// message is owned by the dialog, before any main window exists.
TEST_F(OptionsTest, TheSupportPagesMessageBelongsToTheStartUpDialog) {
  WritePicture();  // the button shows beside the picture
  zu::test::InstallSettingsFile();
  ::WritePrivateProfileStringW(L"Setting", L"InfoFileURLBase", L"http://127.0.0.1:1/",
                               zu::test::SettingsFile().c_str());
  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  EXPECT_EQ(nullptr, ::FindWindowW(nullptr, L"ZU MainWnd"));
  ASSERT_TRUE(zu::ui::PressButton(options, kWebSupport));
  HWND box = zu::ui::WaitForMessageBox(L"ZEFO Update", 30000, agent_.pid());
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(L"The server could not be accessed. Please try again.", zu::ui::ReadMessageBoxText(box));
  EXPECT_EQ(options, ::GetWindow(box, GW_OWNER));
  EXPECT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"OK", 10000, nullptr));
  zu::ui::PressButton(options, IDCANCEL);
}

TEST_F(OptionsTest, ALinkInTheTextOpensInTheRegisteredBrowser) {
  const std::wstring log = zu::test::BinDir() + L"\\options-browser.log";
  ASSERT_TRUE(zu::test::RecordBrowserStarts(log));
  // The link opens the text, so it sits at a known place.
  const std::string link(kLink, kLink + wcslen(kLink));
  WriteInfoText(link + "\r\nMore help on the web.\r\n");

  HWND options = OpenOptions();
  ASSERT_NE(nullptr, options);
  const auto text = Control(options, kInfoText);
  EXPECT_NE(std::wstring::npos, text.text.find(kLink));
  // Click on it like a person: move there, press and release.
  ::SetCursorPos(text.rect.left + 12, text.rect.top + 10);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, clicks, sizeof(INPUT));
  ASSERT_TRUE(zu::test::WaitFor([&] { return zu::test::ReadFileBytes(log).find(link) != std::string::npos; },
                           15000))
      << zu::test::ReadFileBytes(log);
  // The browser gets the address alone, and only once.
  const std::string lines = zu::test::ReadFileBytes(log);
  EXPECT_EQ(1, std::count(lines.begin(), lines.end(), '\n'));
  EXPECT_NE(std::string::npos, lines.find(" " + link + "\n"));
  zu::ui::PressButton(options, IDCANCEL);
  ::DeleteFileW(log.c_str());
}

}  // namespace
