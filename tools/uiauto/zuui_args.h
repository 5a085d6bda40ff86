#pragma once
// The command line of zuui.exe. Plain C++: parsed and checked here, run
// against windows elsewhere.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zu::ui {

enum class Verb { kWindows, kWait, kControls, kPress, kCheck, kMsgBox, kScreenshot, kClose };

struct CliCommand {
  Verb verb = Verb::kWindows;
  std::wstring caption;     // --caption (wait, controls, press, check, msgbox, close)
  std::wstring class_name;  // --class, empty = any
  uint32_t pid = 0;         // --pid, 0 = any process
  uint32_t timeout_ms = 5000;
  std::optional<int> id;            // --id (press, check)
  std::optional<std::wstring> text;  // --text (press)
  bool state = false;               // --state (check)
  std::optional<std::wstring> press;  // --press (msgbox)
  std::wstring file;                // screenshot FILE
};

// nullopt with *error set when the arguments do not form a command.
std::optional<CliCommand> ParseCli(const std::vector<std::wstring>& args, std::wstring* error);

extern const wchar_t kCliUsage[];

}  // namespace zu::ui
