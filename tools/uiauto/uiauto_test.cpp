// The helper against real windows of this process, made on threads of their
// own as another program would make them, and zuui.exe against the same.
#include "tools/uiauto/uiauto.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/text.h"
#include "tests/support/windows.h"

namespace zu::ui {
namespace {

constexpr DWORD kFindMs = 10000;

std::wstring UniqueCaption(const wchar_t* stem) {
  static std::atomic<int> n{0};
  return std::wstring(stem) + L" " + std::to_wstring(::GetCurrentProcessId()) + L"." +
         std::to_wstring(++n);
}

// Waits for a condition another thread makes true.
template <typename F>
bool Eventually(F f, DWORD ms = 5000) {
  const DWORD start = ::GetTickCount();
  while (!f()) {
    if (::GetTickCount() - start >= ms) return false;
    ::Sleep(10);
  }
  return true;
}

// An in-memory dialog template: DLGTEMPLATE, then DWORD-aligned items.
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& caption, short cx, short cy) {
    Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT);
    Dword(0);
    Word(0);  // item count, set by Add
    Word(10), Word(10), Word(cx), Word(cy);
    Word(0), Word(0);  // no menu, default class
    String(caption);
    Word(8);
    String(L"MS Shell Dlg");
  }
  // atom: 0x80 button, 0x81 edit, 0x82 static
  void Add(WORD id, WORD atom, const std::wstring& text, DWORD style, short x, short y, short cx,
           short cy) {
    if (words_.size() % 2) Word(0);
    Dword(style | WS_CHILD), Dword(0);
    Word(x), Word(y), Word(cx), Word(cy), Word(id);
    Word(0xFFFF), Word(atom);
    String(text);
    Word(0);
    ++words_[4];
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
  void String(const std::wstring& s) {
    for (wchar_t c : s) Word(c);
    Word(0);
  }
  std::vector<WORD> words_;
};

enum : WORD {
  kRemember = 1001,  // auto check box
  kFrozen = 1002,    // plain check box the program never changes
  kLater = 1003,
  kDisabled = 1004,
  kMessage = 1005,
  kName = 1006,
  kHidden = 1007,
  kMaybe = 1008,  // auto three-state box, starts checked
};

// A modal dialog run by its own thread, as a program's would be.
class TestDialog {
 public:
  explicit TestDialog(DWORD delay_ms = 0) : caption_(UniqueCaption(L"UiAuto Test Dialog")) {
    thread_ = std::thread([this, delay_ms] {
      if (delay_ms) ::Sleep(delay_ms);
      DialogTemplate t(caption_, 260, 140);
      t.Add(kRemember, 0x80, L"&Remember me", BS_AUTOCHECKBOX | WS_VISIBLE | WS_TABSTOP, 7, 7, 120,
            10);
      t.Add(kFrozen, 0x80, L"&Frozen", BS_CHECKBOX | WS_VISIBLE, 7, 20, 120, 10);
      t.Add(kMaybe, 0x80, L"&Maybe", BS_AUTO3STATE | WS_VISIBLE, 7, 33, 120, 10);
      t.Add(kMessage, 0x82, L"Line one\nLine two", SS_LEFT | WS_VISIBLE, 7, 46, 150, 20);
      t.Add(kName, 0x81, L"edit text", ES_AUTOHSCROLL | WS_BORDER | WS_VISIBLE, 7, 70, 150, 12);
      t.Add(kLater, 0x80, L"&Later", BS_PUSHBUTTON | WS_VISIBLE, 7, 110, 50, 14);
      t.Add(kDisabled, 0x80, L"Disabled", BS_PUSHBUTTON | WS_VISIBLE | WS_DISABLED, 60, 110, 50,
            14);
      t.Add(kHidden, 0x80, L"Hidden", BS_PUSHBUTTON, 113, 110, 50, 14);
      t.Add(IDOK, 0x80, L"OK", BS_DEFPUSHBUTTON | WS_VISIBLE, 200, 110, 50, 14);
      result_ = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), nullptr, &Proc,
                                          reinterpret_cast<LPARAM>(this));
    });
  }
  ~TestDialog() {
    stop_ = true;
    if (HWND h = hwnd_.load()) ::PostMessageW(h, WM_CLOSE, 0, 0);
    thread_.join();
  }
  const std::wstring& caption() const { return caption_; }
  HWND hwnd() const { return hwnd_; }
  INT_PTR result() const { return result_; }  // 0 while open
  int later_clicks() const { return later_clicks_; }
  int remember_clicks() const { return remember_clicks_; }

 private:
  static INT_PTR CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TestDialog*>(::GetWindowLongPtrW(h, DWLP_USER));
    switch (msg) {
      case WM_INITDIALOG:
        self = reinterpret_cast<TestDialog*>(lp);
        ::SetWindowLongPtrW(h, DWLP_USER, lp);
        ::CheckDlgButton(h, kMaybe, BST_CHECKED);
        self->hwnd_ = h;
        if (self->stop_) ::EndDialog(h, IDCANCEL);  // torn down before it was up
        return TRUE;
      case WM_COMMAND:
        if (HIWORD(wp) != BN_CLICKED) return FALSE;
        if (LOWORD(wp) == kLater) ++self->later_clicks_;
        if (LOWORD(wp) == kRemember) ++self->remember_clicks_;
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) ::EndDialog(h, LOWORD(wp));
        return TRUE;
      case WM_CLOSE:
        ::EndDialog(h, IDCANCEL);
        return TRUE;
    }
    return FALSE;
  }

  const std::wstring caption_;
  std::thread thread_;
  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<bool> stop_{false};
  std::atomic<INT_PTR> result_{0};
  std::atomic<int> later_clicks_{0}, remember_clicks_{0};
};

// A Yes/No message box on its own thread; result() is what MessageBox
// returned, 0 while it is open.
class TestMessageBox {
 public:
  explicit TestMessageBox(std::wstring text)
      : caption_(UniqueCaption(L"UiAuto Test Box")), text_(std::move(text)) {
    thread_ = std::thread([this] {
      result_ = ::MessageBoxW(nullptr, text_.c_str(), caption_.c_str(),
                              MB_YESNO | MB_ICONEXCLAMATION);
    });
  }
  ~TestMessageBox() {
    while (result_ == 0) {
      if (HWND box = ::FindWindowW(L"#32770", caption_.c_str()))
        ::PostMessageW(box, WM_COMMAND, IDNO, 0);
      ::Sleep(50);
    }
    thread_.join();
  }
  const std::wstring& caption() const { return caption_; }
  int result() const { return result_; }

 private:
  const std::wstring caption_, text_;
  std::thread thread_;
  std::atomic<int> result_{0};
};

DWORD Elapsed(DWORD start) { return ::GetTickCount() - start; }

TEST(UiAuto, WaitsForAWindowByCaptionClassAndProcess) {
  TestDialog dialog(300);  // appears while we wait
  HWND found = WaitForWindow(dialog.caption(), L"", kFindMs);
  ASSERT_NE(found, nullptr);
  EXPECT_TRUE(Eventually([&] { return dialog.hwnd() == found; }));
  EXPECT_EQ(WaitForWindow(dialog.caption(), L"#32770", 0), found);
  EXPECT_EQ(WaitForWindow(dialog.caption(), L"", 0, ::GetCurrentProcessId()), found);
  EXPECT_EQ(ReadWindowText(found), dialog.caption());

  auto info = DescribeWindow(found);
  EXPECT_EQ(info.pid, ::GetCurrentProcessId());
  EXPECT_EQ(info.class_name, L"#32770");
  EXPECT_EQ(info.caption, dialog.caption());
  EXPECT_TRUE(Eventually([&] { return DescribeWindow(found).visible; }));
  auto mine = TopLevelWindows(::GetCurrentProcessId());
  EXPECT_NE(std::find(mine.begin(), mine.end(), found), mine.end());
  EXPECT_EQ(TopLevelWindows(0x7FFFFFF0).size(), 0u);

  // A window of the class any caption: the first one, whichever it is.
  HWND any_dialog = WaitForWindow(L"", L"#32770", 0);
  ASSERT_NE(any_dialog, nullptr);
  EXPECT_EQ(DescribeWindow(any_dialog).class_name, L"#32770");
}

TEST(UiAuto, TimeOutsAreAnsweredAndKept) {
  TestDialog dialog;
  HWND found = WaitForWindow(dialog.caption(), L"", kFindMs);
  ASSERT_NE(found, nullptr);

  DWORD start = ::GetTickCount();
  EXPECT_EQ(WaitForWindow(L"UiAuto window that never appears", L"", 400), nullptr);
  EXPECT_GE(Elapsed(start), 400u);
  EXPECT_LT(Elapsed(start), 3000u);

  // Right caption, wrong class or process.
  EXPECT_EQ(WaitForWindow(dialog.caption(), L"Edit", 100), nullptr);
  EXPECT_EQ(WaitForWindow(dialog.caption(), L"", 100, 0x7FFFFFF0), nullptr);
  // Neither caption nor class would match any window at all.
  EXPECT_EQ(WaitForWindow(L"", L"", 100), nullptr);

  start = ::GetTickCount();
  EXPECT_FALSE(WaitForWindowGone(found, 300));
  EXPECT_GE(Elapsed(start), 300u);
  start = ::GetTickCount();
  EXPECT_FALSE(WaitForControl(found, kDisabled, 300));
  EXPECT_GE(Elapsed(start), 300u);
  EXPECT_FALSE(CloseMessageBox(L"UiAuto box that never appears", L"OK", 300, nullptr));

  ::PostMessageW(found, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitForWindowGone(found, kFindMs));
  EXPECT_EQ(dialog.result(), IDCANCEL);
}

TEST(UiAuto, ReadsControlsWithTextsAndStates) {
  TestDialog dialog;
  HWND top = WaitForWindow(dialog.caption(), L"#32770", kFindMs);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(WaitForControl(top, IDOK, kFindMs));

  auto controls = ReadControls(top);
  ASSERT_EQ(controls.size(), 9u);
  auto remember = FindControl(top, kRemember);
  ASSERT_TRUE(remember);
  EXPECT_EQ(remember->class_name, L"Button");
  EXPECT_EQ(remember->text, L"&Remember me");
  EXPECT_TRUE(remember->visible);
  EXPECT_TRUE(remember->enabled);
  EXPECT_EQ(remember->check, BST_UNCHECKED);
  EXPECT_EQ(::GetParent(remember->hwnd), top);
  EXPECT_GT(remember->rect.right, remember->rect.left);

  EXPECT_EQ(FindControl(top, kMaybe)->check, BST_CHECKED);
  EXPECT_EQ(FindControl(top, kLater)->check, -1);  // a push button has no check state
  EXPECT_FALSE(FindControl(top, kDisabled)->enabled);
  EXPECT_FALSE(FindControl(top, kHidden)->visible);

  auto message = FindControl(top, kMessage);
  EXPECT_EQ(message->class_name, L"Static");
  EXPECT_EQ(message->text, L"Line one\nLine two");
  EXPECT_EQ(message->check, -1);
  auto name = FindControl(top, kName);
  EXPECT_EQ(name->class_name, L"Edit");
  EXPECT_EQ(name->text, L"edit text");
  // The edit's text as the program changed it, not as the template had it.
  ::SetDlgItemTextW(top, kName, L"typed");
  EXPECT_EQ(FindControl(top, kName)->text, L"typed");

  // By text, with or without the mnemonic.
  auto by_text = FindControl(top, L"Remember me");
  ASSERT_TRUE(by_text);
  EXPECT_EQ(by_text->id, kRemember);
  EXPECT_EQ(FindControl(top, L"&Later")->id, kLater);
  EXPECT_FALSE(FindControl(top, 4242));
  EXPECT_FALSE(FindControl(top, L"No such text"));
  EXPECT_TRUE(ReadControls(nullptr).empty());
}

TEST(UiAuto, PressesOnlyButtonsAPersonCouldPress) {
  TestDialog dialog;
  HWND top = WaitForWindow(dialog.caption(), L"", kFindMs);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(WaitForControl(top, L"Later", kFindMs));

  EXPECT_TRUE(PressButton(top, kLater));
  EXPECT_TRUE(Eventually([&] { return dialog.later_clicks() == 1; }));
  EXPECT_TRUE(PressButton(top, L"Later"));
  EXPECT_TRUE(Eventually([&] { return dialog.later_clicks() == 2; }));

  EXPECT_FALSE(PressButton(top, kDisabled));
  EXPECT_FALSE(PressButton(top, L"Disabled"));
  EXPECT_FALSE(PressButton(top, kHidden));
  EXPECT_FALSE(PressButton(top, L"Hidden"));
  EXPECT_FALSE(PressButton(top, 4242));
  EXPECT_FALSE(PressButton(top, kMessage));             // a static is not a button
  EXPECT_FALSE(PressButton(top, L"Line one\nLine two"));
  ::Sleep(200);
  EXPECT_EQ(dialog.later_clicks(), 2);

  // While the program has the dialog disabled (as under a modal box),
  // nothing in it can be pressed.
  ::EnableWindow(top, FALSE);
  EXPECT_FALSE(PressButton(top, kLater));
  EXPECT_FALSE(WaitForControl(top, kLater, 100));
  ::EnableWindow(top, TRUE);

  // OK ends the modal loop; posting the click never blocks us.
  EXPECT_TRUE(PressButton(top, L"OK"));
  EXPECT_TRUE(WaitForWindowGone(top, kFindMs));
  EXPECT_TRUE(Eventually([&] { return dialog.result() == IDOK; }));
  EXPECT_FALSE(PressButton(top, kLater));  // window gone
}

TEST(UiAuto, SetsCheckBoxesByClickingThem) {
  TestDialog dialog;
  HWND top = WaitForWindow(dialog.caption(), L"", kFindMs);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(WaitForControl(top, kRemember, kFindMs));

  EXPECT_TRUE(SetCheck(top, kRemember, true));
  EXPECT_EQ(::IsDlgButtonChecked(top, kRemember), BST_CHECKED);
  EXPECT_EQ(dialog.remember_clicks(), 1);  // the program saw a click
  EXPECT_TRUE(SetCheck(top, kRemember, true));  // already so: no click
  EXPECT_EQ(dialog.remember_clicks(), 1);
  EXPECT_TRUE(SetCheck(top, kRemember, false));
  EXPECT_EQ(::IsDlgButtonChecked(top, kRemember), BST_UNCHECKED);
  EXPECT_EQ(dialog.remember_clicks(), 2);

  // Checked -> indeterminate -> unchecked: two clicks.
  EXPECT_TRUE(SetCheck(top, kMaybe, false));
  EXPECT_EQ(::IsDlgButtonChecked(top, kMaybe), BST_UNCHECKED);
  EXPECT_TRUE(SetCheck(top, kMaybe, true));
  EXPECT_EQ(::IsDlgButtonChecked(top, kMaybe), BST_CHECKED);

  // A box whose program does not let it change is reported, not assumed.
  EXPECT_FALSE(SetCheck(top, kFrozen, true));
  EXPECT_EQ(::IsDlgButtonChecked(top, kFrozen), BST_UNCHECKED);
  EXPECT_FALSE(SetCheck(top, kLater, true));  // not a check box
  EXPECT_EQ(dialog.later_clicks(), 0);
  EXPECT_FALSE(SetCheck(top, 4242, true));

  ::EnableWindow(::GetDlgItem(top, kRemember), FALSE);
  EXPECT_FALSE(SetCheck(top, kRemember, true));
  EXPECT_EQ(::IsDlgButtonChecked(top, kRemember), BST_UNCHECKED);
}

TEST(UiAuto, AnswersMessageBoxes) {
  const std::wstring text = L"Do you really want to disable automatic checking?\nSecond line.";
  {
    TestMessageBox box(text);
    std::wstring read;
    EXPECT_TRUE(CloseMessageBox(box.caption(), L"No", kFindMs, &read));
    EXPECT_EQ(read, text);
    EXPECT_TRUE(Eventually([&] { return box.result() == IDNO; }));
  }
  {
    TestMessageBox box(text);
    HWND hwnd = WaitForMessageBox(box.caption(), kFindMs);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(ReadMessageBoxText(hwnd), text);
    // The box has no Cancel a person can see, even if it keeps one hidden.
    EXPECT_FALSE(PressButton(hwnd, L"Cancel"));
    EXPECT_FALSE(PressButton(hwnd, L"OK"));
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(CloseMessageBox(box.caption(), L"&Yes", kFindMs, nullptr));
    EXPECT_TRUE(Eventually([&] { return box.result() == IDYES; }));
  }
}

// Wine's tray shows a balloon as a top-level tool tip whose text is the
// balloon's: found by class and text like any other window.
TEST(UiAuto, FindsANotificationBalloonByItsText) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"UiAutoIconHolder";
  ::RegisterClassW(&wc);
  HWND holder = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
  ASSERT_NE(holder, nullptr);
  const std::wstring text = UniqueCaption(L"Recommended Updates are available!\nClick here");
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = holder;
  nid.uFlags = NIF_ICON | NIF_INFO;
  nid.hIcon = ::LoadIconW(nullptr, IDI_INFORMATION);
  nid.dwInfoFlags = NIIF_INFO;
  nid.uTimeout = 30000;
  ::wcsncpy(nid.szInfoTitle, L"ZEFO Update", ARRAYSIZE(nid.szInfoTitle) - 1);
  ::wcsncpy(nid.szInfo, text.c_str(), ARRAYSIZE(nid.szInfo) - 1);
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_ADD, &nid));

  HWND balloon = WaitForWindow(text, L"tooltips_class32", kFindMs);
  EXPECT_NE(balloon, nullptr);
  EXPECT_EQ(ReadWindowText(balloon), text);

  ::Shell_NotifyIconW(NIM_DELETE, &nid);
  ::DestroyWindow(holder);
  ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// A window of one known colour, painted and left on the screen.
class ColourWindow {
 public:
  static constexpr COLORREF kColour = RGB(0x20, 0xC0, 0x40);
  ColourWindow(int x, int y, int w, int h) : brush_(::CreateSolidBrush(kColour)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = brush_;
    wc.lpszClassName = L"UiAutoColourWindow";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"colour", WS_POPUP | WS_VISIBLE,
                              x, y, w, h, nullptr, nullptr, wc.hInstance, nullptr);
    ::UpdateWindow(hwnd_);
    zu::test::PumpMessages(500);  // the display catches up with the painting
  }
  ~ColourWindow() {
    ::DestroyWindow(hwnd_);
    ::UnregisterClassW(L"UiAutoColourWindow", ::GetModuleHandleW(nullptr));
    ::DeleteObject(brush_);
  }
  HWND hwnd() const { return hwnd_; }

 private:
  HBRUSH brush_;
  HWND hwnd_ = nullptr;
};

using zu::test::TempPath;

uint32_t BigEndian(const std::string& b, size_t at) {
  return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
         (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

// Checks the file is a PNG of the whole screen showing the colour window.
void ExpectScreenshot(const std::wstring& path, const RECT& window) {
  const std::string head = zu::test::ReadFileBytes(path).substr(0, 24);
  ASSERT_EQ(head.size(), 24u);
  EXPECT_EQ(head.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(head.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndian(head, 16), uint32_t(::GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(BigEndian(head, 20), uint32_t(::GetSystemMetrics(SM_CYSCREEN)));

  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  {
    Gdiplus::Bitmap picture(path.c_str());
    ASSERT_EQ(picture.GetLastStatus(), Gdiplus::Ok);
    Gdiplus::Color inside, corner;
    picture.GetPixel((window.left + window.right) / 2, (window.top + window.bottom) / 2, &inside);
    picture.GetPixel(window.left + 3, window.top + 3, &corner);
    EXPECT_EQ(inside.GetR(), GetRValue(ColourWindow::kColour));
    EXPECT_EQ(inside.GetG(), GetGValue(ColourWindow::kColour));
    EXPECT_EQ(inside.GetB(), GetBValue(ColourWindow::kColour));
    EXPECT_EQ(corner.GetValue(), inside.GetValue());  // placed where the window is
    Gdiplus::Color beside;
    picture.GetPixel(window.right + 5, window.top + 5, &beside);
    EXPECT_NE(beside.GetValue(), inside.GetValue());  // and only the window
  }
  Gdiplus::GdiplusShutdown(token);
}

TEST(UiAuto, ScreenshotIsAPngOfTheScreen) {
  ColourWindow colour(300, 200, 160, 120);
  RECT rect;
  ::GetWindowRect(colour.hwnd(), &rect);
  const std::wstring path = TempPath(L"uiauto_screen.png");
  ::DeleteFileW(path.c_str());
  ASSERT_TRUE(SaveScreenshot(path));
  ExpectScreenshot(path, rect);
  ::DeleteFileW(path.c_str());

  EXPECT_FALSE(SaveScreenshot(TempPath(L"no such folder\\x.png")));
}

// zuui.exe beside this test: its output and exit code.
struct ZuuiRun {
  std::string out;
  std::optional<DWORD> code;
};

ZuuiRun RunZuui(const std::wstring& args) {
  const zu::test::RunResult r = zu::test::RunCaptured(zu::test::BinDir() + L"\\zuui.exe", args, 60000);
  return {r.output, r.code};
}

using zu::test::Utf8;

std::string Hex(HWND h) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "0x%08lx", static_cast<unsigned long>(UINT_PTR(h)));
  return buf;
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

TEST(Zuui, DrivesADialogFromAnotherProcess) {
  TestDialog dialog;
  HWND top = WaitForWindow(dialog.caption(), L"", kFindMs);
  ASSERT_NE(top, nullptr);
  const std::wstring target = L"--caption " + Quoted(dialog.caption());

  ZuuiRun wait = RunZuui(L"wait " + target + L" --class #32770");
  EXPECT_EQ(wait.code, 0u);
  EXPECT_EQ(wait.out, Hex(top) + "\n");

  ZuuiRun windows = RunZuui(L"windows --pid " + std::to_wstring(::GetCurrentProcessId()));
  EXPECT_EQ(windows.code, 0u);
  EXPECT_NE(windows.out.find(Hex(top) + "\t" + std::to_string(::GetCurrentProcessId()) +
                             "\t#32770\t" + Utf8(dialog.caption()) + "\t1\n"),
            std::string::npos)
      << windows.out;

  ZuuiRun controls = RunZuui(L"controls " + target);
  EXPECT_EQ(controls.code, 0u);
  for (const char* line : {"1001\tButton\t&Remember me\t1\t1\t0\n",
                           "1008\tButton\t&Maybe\t1\t1\t1\n",
                           "1005\tStatic\tLine one\\nLine two\t1\t1\t-1\n",
                           "1006\tEdit\tedit text\t1\t1\t-1\n",
                           "1004\tButton\tDisabled\t1\t0\t-1\n",
                           "1007\tButton\tHidden\t0\t1\t-1\n"}) {
    EXPECT_NE(controls.out.find(line), std::string::npos) << line << " in\n" << controls.out;
  }

  EXPECT_EQ(RunZuui(L"press " + target + L" --text Later").code, 0u);
  EXPECT_TRUE(Eventually([&] { return dialog.later_clicks() == 1; }));
  EXPECT_EQ(RunZuui(L"press " + target + L" --id 1004 --timeout 200").code, 1u);

  EXPECT_EQ(RunZuui(L"check " + target + L" --id 1001 --state 1").code, 0u);
  EXPECT_EQ(::IsDlgButtonChecked(top, kRemember), BST_CHECKED);
  EXPECT_EQ(RunZuui(L"check " + target + L" --id 1002 --state 1 --timeout 200").code, 1u);

  EXPECT_EQ(RunZuui(L"press " + target + L" --id 1").code, 0u);
  EXPECT_TRUE(WaitForWindowGone(top, kFindMs));
  EXPECT_TRUE(Eventually([&] { return dialog.result() == IDOK; }));
}

TEST(Zuui, AnswersAMessageBoxAndReportsFailuresByExitCode) {
  TestMessageBox box(L"Install now?\nThe PC restarts afterwards.");
  ZuuiRun answered = RunZuui(L"msgbox --caption " + Quoted(box.caption()) + L" --press Yes");
  EXPECT_EQ(answered.code, 0u);
  EXPECT_EQ(answered.out, "Install now?\nThe PC restarts afterwards.\n");
  EXPECT_TRUE(Eventually([&] { return box.result() == IDYES; }));

  EXPECT_EQ(RunZuui(L"wait --caption \"UiAuto never\" --timeout 200").code, 1u);
  EXPECT_EQ(RunZuui(L"msgbox --caption \"UiAuto never\" --timeout 200").code, 1u);
  EXPECT_EQ(RunZuui(L"bogus").code, 2u);
  EXPECT_EQ(RunZuui(L"").code, 2u);
  EXPECT_EQ(RunZuui(L"check --caption X --id 1001 --state 2").code, 2u);
}

TEST(Zuui, SavesAScreenshot) {
  ColourWindow colour(500, 300, 100, 80);
  RECT rect;
  ::GetWindowRect(colour.hwnd(), &rect);
  const std::wstring path = TempPath(L"zuui screen.png");
  ::DeleteFileW(path.c_str());
  ZuuiRun run = RunZuui(L"screenshot " + Quoted(path));
  EXPECT_EQ(run.code, 0u);
  ExpectScreenshot(path, rect);
  ::DeleteFileW(path.c_str());
  EXPECT_EQ(RunZuui(L"screenshot " + Quoted(TempPath(L"no such folder\\x.png"))).code, 1u);
}

}  // namespace
}  // namespace zu::ui
