// zuui: the UI-automation helper for shell scripts. One command a run;
// one tab-separated line a window or control on standard output (UTF-8).
// Exit code 0 success, 1 time-out or missing window or control, 2 bad
// arguments.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/uiauto/labels.h"
#include "tools/uiauto/uiauto.h"
#include "tools/uiauto/zuui_args.h"

namespace {

using zu::ui::CliCommand;
using zu::ui::Verb;

constexpr int kOk = 0, kNotFound = 1, kBadArgs = 2;

// A console gets UTF-16; a pipe or file (the usual case for a script)
// gets UTF-8 bytes, whatever the ANSI code page is.
void Write(HANDLE out, const std::wstring& text) {
  DWORD mode = 0, n = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    return;
  }
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  std::string utf8(bytes, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                        bytes, nullptr, nullptr);
  ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &n, nullptr);
}

void Out(const std::wstring& line) { Write(::GetStdHandle(STD_OUTPUT_HANDLE), line + L"\n"); }
void Err(const std::wstring& line) { Write(::GetStdHandle(STD_ERROR_HANDLE), line + L"\n"); }

std::wstring Hex(HWND wnd) {
  wchar_t buf[32];
  std::swprintf(buf, 32, L"0x%08lx",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(wnd)));
  return buf;
}

HWND FindTarget(const CliCommand& cmd) {
  HWND wnd = zu::ui::WaitForWindow(cmd.caption, cmd.class_name, cmd.timeout_ms, cmd.pid);
  if (!wnd) Err(L"zuui: no window \"" + cmd.caption + L"\"");
  return wnd;
}

int Windows(const CliCommand& cmd) {
  for (HWND w : zu::ui::TopLevelWindows(cmd.pid)) {
    auto info = zu::ui::DescribeWindow(w);
    Out(Hex(w) + L"\t" + std::to_wstring(info.pid) + L"\t" + zu::ui::EscapeField(info.class_name) +
        L"\t" + zu::ui::EscapeField(info.caption) + L"\t" + (info.visible ? L"1" : L"0"));
  }
  return kOk;
}

int Controls(const CliCommand& cmd, HWND top) {
  // A dialog is shown once its controls are set up; until then they may
  // still have the template's texts. Hidden windows are listed as found.
  if (zu::ui::DescribeWindow(top).class_name == L"#32770") {
    const DWORD start = ::GetTickCount();
    while (!::IsWindowVisible(top) && ::IsWindow(top) && ::GetTickCount() - start < cmd.timeout_ms)
      ::Sleep(50);
  }
  for (const auto& c : zu::ui::ReadControls(top)) {
    Out(std::to_wstring(c.id) + L"\t" + zu::ui::EscapeField(c.class_name) + L"\t" +
        zu::ui::EscapeField(c.text) + L"\t" + (c.visible ? L"1" : L"0") + L"\t" +
        (c.enabled ? L"1" : L"0") + L"\t" + std::to_wstring(c.check));
  }
  return kOk;
}

int Press(const CliCommand& cmd, HWND top) {
  auto c = cmd.id ? zu::ui::WaitForControl(top, *cmd.id, cmd.timeout_ms)
                  : zu::ui::WaitForControl(top, *cmd.text, cmd.timeout_ms);
  bool pressed = c && (cmd.id ? zu::ui::PressButton(top, *cmd.id)
                              : zu::ui::PressButton(top, *cmd.text));
  if (!pressed) Err(L"zuui: no button to press");
  return pressed ? kOk : kNotFound;
}

int Check(const CliCommand& cmd, HWND top) {
  bool set = zu::ui::WaitForControl(top, *cmd.id, cmd.timeout_ms) &&
             zu::ui::SetCheck(top, *cmd.id, cmd.state);
  if (!set) Err(L"zuui: the check box did not take the state");
  return set ? kOk : kNotFound;
}

int MsgBox(const CliCommand& cmd) {
  HWND box = zu::ui::WaitForMessageBox(cmd.caption, cmd.timeout_ms, cmd.pid);
  if (!box) {
    Err(L"zuui: no message box \"" + cmd.caption + L"\"");
    return kNotFound;
  }
  // The text as it stands, line ends included: scripts compare it whole.
  Out(zu::ui::ReadMessageBoxText(box));
  if (!cmd.press) return kOk;
  if (!zu::ui::PressButton(box, *cmd.press)) {
    Err(L"zuui: no button \"" + *cmd.press + L"\"");
    return kNotFound;
  }
  if (!zu::ui::WaitForWindowGone(box, cmd.timeout_ms)) {
    Err(L"zuui: the message box stayed open");
    return kNotFound;
  }
  return kOk;
}

int Run(const CliCommand& cmd) {
  switch (cmd.verb) {
    case Verb::kWindows:
      return Windows(cmd);
    case Verb::kScreenshot:
      if (zu::ui::SaveScreenshot(cmd.file)) return kOk;
      Err(L"zuui: cannot save " + cmd.file);
      return kNotFound;
    case Verb::kMsgBox:
      return MsgBox(cmd);
    default:
      break;
  }
  HWND top = FindTarget(cmd);
  if (!top) return kNotFound;
  switch (cmd.verb) {
    case Verb::kWait:
      Out(Hex(top));
      return kOk;
    case Verb::kControls:
      return Controls(cmd, top);
    case Verb::kPress:
      return Press(cmd, top);
    case Verb::kCheck:
      return Check(cmd, top);
    case Verb::kClose:
      // As the user's click on the window's close box, then gone.
      ::PostMessageW(top, WM_CLOSE, 0, 0);
      if (zu::ui::WaitForWindowGone(top, cmd.timeout_ms)) return kOk;
      Err(L"zuui: the window stayed open");
      return kNotFound;
    default:
      return kBadArgs;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring error;
  auto cmd = zu::ui::ParseCli(args, &error);
  if (!cmd) {
    if (args.empty()) {
      Write(::GetStdHandle(STD_ERROR_HANDLE), zu::ui::kCliUsage);
    } else {
      Err(L"zuui: " + error + L" (zuui alone lists the commands)");
    }
    return kBadArgs;
  }
  return Run(*cmd);
}
