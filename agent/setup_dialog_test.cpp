// The Options dialog with its owner faked: what it reads into the switches,
// what OK writes and tells the owner, the question before automatic checking
// goes off; and the information text as it reads it from "Pim.txt".
#include "agent/setup_dialog.h"

#include <gtest/gtest.h>

#include <vector>

#include "agent/info/agent_message.h"
#include "agent/info/settings.h"
#include "agent/setup_dialog_rules.h"
#include "common/framework/seam.h"
#include "tests/support/settings.h"
#include "tests/support/windows.h"

namespace {

class FakeOwner : public IOptionsDialogOwner {
 public:
  void SetOpenDialog(HWND dialog) override { open_dialogs.push_back(dialog); }
  void OpenSupportPage() override { ++support_pages; }
  void SwitchesChanged() override { ++changes; }
  std::vector<HWND> open_dialogs;
  int support_pages = 0;
  int changes = 0;
};

class OptionsDialogTest : public ::testing::Test {
 protected:
  // The information text is a rich edit control, as at the agent's start.
  static void SetUpTestSuite() { ::LoadLibraryW(L"riched20.dll"); }
  void SetUp() override { settings_.MakeFolders(); }
  static void Click(HWND dialog, int id) {
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  }
  static bool Checked(HWND dialog, int id) {
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
  }
  // Runs the dialog; script works it from inside its modal loop.
  INT_PTR Run(CSetupDialog& dialog, const std::function<void(HWND)>& script) {
    return zu::test::WhileModal([&] { return dialog.DoModal(nullptr); },
                                [&] { script(dialog.hwnd()); },
                                [&] { return dialog.hwnd() && ::IsWindowVisible(dialog.hwnd()); });
  }

  zu::test::SettingsFileAside settings_;
  FakeOwner owner_;
  AgentSwitches switches_;
  int questions_ = 0;
  bool question_flag_seen_ = false;
  int answer_ = IDNO;
  zu::ScopedOverride<AgentMessageBoxFn> box_{
      zu::seams::agent_message_box,
      [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        ++questions_;
        question_flag_seen_ = switches_.options_question_open;
        EXPECT_NE(nullptr, owner);
        EXPECT_EQ(L"Do you really want to disable automatic checking of ZEFO Update?", text);
        EXPECT_EQ(L"ZEFO Update", caption);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), type);
        return answer_;
      }};
};

TEST_F(OptionsDialogTest, OkStoresTheBoxesAndTellsTheOwner) {
  struct Case {
    const char* what;
    int stored;
    std::vector<int> clicks;  // boxes clicked before OK
    int answer;               // to the question, when it is asked
    INT_PTR result;           // OK, or Cancel after the dialog stayed
    int stored_after;
    bool asked;
    AgentSwitches after;
  } const cases[] = {
      {"balloons off", 0, {IDC_SUPPRESS_BALLOONS}, IDNO, IDOK, 1, false, {true, true}},
      {"balloons on again", 1, {IDC_SUPPRESS_BALLOONS}, IDNO, IDOK, 0, false, {true, false}},
      {"checking off, confirmed", 1, {IDC_AUTO_CHECK}, IDYES, IDOK, 2, true, {false, false}},
      {"checking off, refused: the dialog stays", 0, {IDC_AUTO_CHECK}, IDNO, IDCANCEL, 0, true,
       {true, false}},
      {"already off: nothing asked", 2, {}, IDNO, IDOK, 2, false, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteSuppressBalloon(c.stored));
    owner_ = FakeOwner{};
    switches_ = AgentSwitches{};
    questions_ = 0;
    question_flag_seen_ = false;
    answer_ = c.answer;
    CSetupDialog dialog(owner_, switches_);
    bool stayed = false, rechecked = false;
    const INT_PTR result = Run(dialog, [&](HWND d) {
      for (int id : c.clicks) Click(d, id);
      ::SendMessageW(d, WM_COMMAND, IDOK, 0);
      if (::IsWindowVisible(d)) {
        stayed = true;
        rechecked = Checked(d, IDC_AUTO_CHECK) &&
                    ::IsWindowEnabled(::GetDlgItem(d, IDC_SUPPRESS_BALLOONS));
        ::SendMessageW(d, WM_COMMAND, IDCANCEL, 0);
      }
    });
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(c.stored_after, ReadSuppressBalloon());
    EXPECT_EQ(c.asked ? 1 : 0, questions_);
    EXPECT_EQ(c.asked, question_flag_seen_) << "Exit waits while the question is open";
    EXPECT_FALSE(switches_.options_question_open);
    EXPECT_EQ(c.after.auto_check, switches_.auto_check);
    EXPECT_EQ(c.after.balloons_suppressed, switches_.balloons_suppressed);
    EXPECT_EQ(c.result == IDOK ? 1 : 0, owner_.changes);
    EXPECT_EQ(c.result == IDCANCEL, stayed);
    EXPECT_EQ(c.result == IDCANCEL, rechecked);
    // The owner knew the dialog while it was up, and no longer after.
    ASSERT_EQ(2u, owner_.open_dialogs.size());
    EXPECT_NE(nullptr, owner_.open_dialogs[0]);
    EXPECT_EQ(nullptr, owner_.open_dialogs[1]);
  }
}

// The switches follow what is stored, but only towards it: a stored 0 does
// not switch on what the running agent has off.
TEST_F(OptionsDialogTest, TheStoredOptionOnlyTurnsSwitchesTowardsIt) {
  struct Case {
    int stored;
    AgentSwitches before, after;
  } const cases[] = {
      {0, {false, true}, {false, true}},
      {1, {true, false}, {true, true}},
      {2, {true, true}, {false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(WriteSuppressBalloon(c.stored));
    switches_ = c.before;
    CSetupDialog dialog(owner_, switches_);
    EXPECT_EQ(c.after.auto_check, switches_.auto_check);
    EXPECT_EQ(c.after.balloons_suppressed, switches_.balloons_suppressed);
  }
}

TEST_F(OptionsDialogTest, TheSupportButtonAsksTheOwnerUnlessDisabled) {
  for (bool disabled : {false, true}) {
    SCOPED_TRACE(disabled ? "/DisableButton" : "plain start");
    owner_ = FakeOwner{};
    switches_ = AgentSwitches{};
    switches_.disable_button = disabled;
    CSetupDialog dialog(owner_, switches_);
    bool enabled = true;
    Run(dialog, [&](HWND d) {
      enabled = ::IsWindowEnabled(::GetDlgItem(d, IDC_WEB_SUPPORT));
      if (enabled) Click(d, IDC_WEB_SUPPORT);
      ::SendMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(!disabled, enabled);
    EXPECT_EQ(disabled ? 0 : 1, owner_.support_pages);
    EXPECT_EQ(0, owner_.changes);
  }
}

class InfoTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu_pim_test.txt";
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }
  void Write(const std::string& bytes) {
    HANDLE f = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD n = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(f);
  }
  std::wstring path_;
};

TEST_F(InfoTextTest, EveryLineEndsWithCarriageReturnLineFeed) {
  Write("Title line\nsecond\r\nthird");
  const InfoText info = ReadInfoText(path_);
  EXPECT_EQ(L"Title line\r\nsecond\r\nthird\r\n", info.text);
  EXPECT_EQ(10u, info.first_line_length);
}

TEST_F(InfoTextTest, AnsiCharactersBecomeUtf16) {
  if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252";
  Write("Caf\xe9 \x80\nx\n");
  const InfoText info = ReadInfoText(path_);
  EXPECT_EQ(L"Caf\u00e9 \u20ac\r\nx\r\n", info.text);
  EXPECT_EQ(6u, info.first_line_length);
}

TEST_F(InfoTextTest, MissingOrEmptyFileGivesNoText) {
  InfoText info = ReadInfoText(path_ + L".missing");
  EXPECT_EQ(L"", info.text);
  EXPECT_EQ(0u, info.first_line_length);
  Write("");
  info = ReadInfoText(path_);
  EXPECT_EQ(L"", info.text);
  EXPECT_EQ(0u, info.first_line_length);
}

TEST_F(InfoTextTest, AHugeFileIsCutAtTheLimit) {
  std::string line(999, 'x');
  line += '\n';
  std::string bytes;
  while (bytes.size() < 3 * kInfoTextReadLimit) bytes += line;
  Write(bytes);
  const InfoText info = ReadInfoText(path_);
  // Each 1000-byte line becomes 1001 characters.
  EXPECT_LE(info.text.size(), kInfoTextReadLimit + kInfoTextReadLimit / 1000 + 2);
  EXPECT_GE(info.text.size(), kInfoTextReadLimit);
  EXPECT_EQ(999u, info.first_line_length);
}

}  // namespace
