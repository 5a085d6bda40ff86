#include "tools/uiauto/zuui_args.h"

#include <cwchar>

namespace zu::ui {

const wchar_t kCliUsage[] =
    L"usage: zuui windows [--pid N]\n"
    L"       zuui wait     --caption X [--class C] [--pid N] [--timeout MS]\n"
    L"       zuui controls --caption X [--class C] [--pid N] [--timeout MS]\n"
    L"       zuui press    --caption X (--id N | --text T) [--class C] [--pid N] [--timeout MS]\n"
    L"       zuui check    --caption X --id N --state 0|1 [--class C] [--pid N] [--timeout MS]\n"
    L"       zuui msgbox   --caption X [--press T] [--pid N] [--timeout MS]\n"
    L"       zuui close    --caption X [--class C] [--pid N] [--timeout MS]\n"
    L"       zuui screenshot FILE.png\n"
    L"Time-outs default to 5000 ms. Exit code 0 success, 1 time-out or missing\n"
    L"window or control, 2 bad arguments.\n";

namespace {

// Decimal or 0x hexadecimal, nothing else, at most max.
std::optional<uint32_t> ParseNumber(const std::wstring& s, uint32_t max) {
  if (s.empty()) return std::nullopt;
  int base = 10;
  size_t i = 0;
  if (s.size() > 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X')) {
    base = 16;
    i = 2;
  }
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    wchar_t c = s[i];
    unsigned d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return std::nullopt;
    v = v * base + d;
    if (v > max) return std::nullopt;
  }
  return static_cast<uint32_t>(v);
}

struct VerbName {
  const wchar_t* name;
  Verb verb;
};
constexpr VerbName kVerbs[] = {
    {L"windows", Verb::kWindows}, {L"wait", Verb::kWait},   {L"controls", Verb::kControls},
    {L"press", Verb::kPress},     {L"check", Verb::kCheck}, {L"msgbox", Verb::kMsgBox},
    {L"screenshot", Verb::kScreenshot}, {L"close", Verb::kClose},
};

bool Fail(std::wstring* error, const std::wstring& why) {
  if (error) *error = why;
  return false;
}

// Which options each verb takes; anything else is refused rather than
// silently ignored, so a typo in a script fails loudly.
bool Allowed(Verb verb, const std::wstring& opt) {
  if (opt == L"--pid") return verb != Verb::kScreenshot;
  if (opt == L"--caption" || opt == L"--timeout")
    return verb != Verb::kWindows && verb != Verb::kScreenshot;
  if (opt == L"--class")
    return verb == Verb::kWait || verb == Verb::kControls || verb == Verb::kPress ||
           verb == Verb::kCheck || verb == Verb::kClose;
  if (opt == L"--id") return verb == Verb::kPress || verb == Verb::kCheck;
  if (opt == L"--text") return verb == Verb::kPress;
  if (opt == L"--state") return verb == Verb::kCheck;
  if (opt == L"--press") return verb == Verb::kMsgBox;
  return false;
}

bool Parse(const std::vector<std::wstring>& args, CliCommand* cmd, std::wstring* error) {
  if (args.empty()) return Fail(error, L"no command");
  bool known = false;
  for (const auto& v : kVerbs) {
    if (args[0] == v.name) {
      cmd->verb = v.verb;
      known = true;
    }
  }
  if (!known) return Fail(error, L"unknown command: " + args[0]);

  bool have_state = false, have_file = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (a.rfind(L"--", 0) != 0) {
      if (cmd->verb != Verb::kScreenshot || have_file) return Fail(error, L"unexpected: " + a);
      cmd->file = a;
      have_file = !a.empty();
      if (!have_file) return Fail(error, L"empty file name");
      continue;
    }
    if (!Allowed(cmd->verb, a)) return Fail(error, L"option not valid here: " + a);
    if (i + 1 >= args.size()) return Fail(error, L"missing value after " + a);
    const std::wstring& value = args[++i];
    if (a == L"--caption") {
      cmd->caption = value;
    } else if (a == L"--class") {
      if (value.empty()) return Fail(error, L"empty --class");
      cmd->class_name = value;
    } else if (a == L"--pid") {
      auto n = ParseNumber(value, 0xFFFFFFFFu);
      if (!n) return Fail(error, L"bad --pid: " + value);
      cmd->pid = *n;
    } else if (a == L"--timeout") {
      // Below INFINITE: a script must never wait forever.
      auto n = ParseNumber(value, 0xFFFFFFFEu);
      if (!n) return Fail(error, L"bad --timeout: " + value);
      cmd->timeout_ms = *n;
    } else if (a == L"--id") {
      auto n = ParseNumber(value, 0xFFFF);  // control ids are 16 bits
      if (!n) return Fail(error, L"bad --id: " + value);
      cmd->id = static_cast<int>(*n);
    } else if (a == L"--text") {
      if (value.empty()) return Fail(error, L"empty --text");
      cmd->text = value;
    } else if (a == L"--state") {
      if (value != L"0" && value != L"1") return Fail(error, L"--state takes 0 or 1");
      cmd->state = value == L"1";
      have_state = true;
    } else if (a == L"--press") {
      if (value.empty()) return Fail(error, L"empty --press");
      cmd->press = value;
    }
  }

  switch (cmd->verb) {
    case Verb::kWindows:
      break;
    case Verb::kScreenshot:
      if (!have_file) return Fail(error, L"screenshot needs a file name");
      break;
    case Verb::kMsgBox:
      if (cmd->caption.empty()) return Fail(error, L"msgbox needs --caption");
      break;
    case Verb::kPress:
      if (cmd->id.has_value() == cmd->text.has_value())
        return Fail(error, L"press needs exactly one of --id and --text");
      [[fallthrough]];
    default:
      // An empty caption with a class waits for any window of that class
      // (a balloon, say); with neither, any window at all would do.
      if (cmd->caption.empty() && cmd->class_name.empty())
        return Fail(error, L"--caption or --class is required");
      if (cmd->verb == Verb::kCheck && (!cmd->id || !have_state))
        return Fail(error, L"check needs --id and --state");
  }
  return true;
}

}  // namespace

std::optional<CliCommand> ParseCli(const std::vector<std::wstring>& args, std::wstring* error) {
  CliCommand cmd;
  if (!Parse(args, &cmd, error)) return std::nullopt;
  return cmd;
}

}  // namespace zu::ui
