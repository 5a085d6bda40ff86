#include "agent/command_line.h"

#include <array>
#include <utility>

namespace {

// Switches are ASCII, so folding ASCII letters is all the case rule needs;
// no locale can make another text match.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return true;
}

constexpr std::array<std::pair<std::wstring_view, AgentSwitch>, 8> kSwitches{{
    {L"/clear", AgentSwitch::kClear},
    {L"/HaltAll", AgentSwitch::kHaltAll},
    {L"/PreInstall", AgentSwitch::kPreInstall},
    {L"/Halt", AgentSwitch::kHalt},
    {L"/showpage", AgentSwitch::kShowPage},
    {L"/Stationary", AgentSwitch::kStationary},
    {L"/S", AgentSwitch::kInstall},
    {L"/DisableButton", AgentSwitch::kDisableButton},
}};

}  // namespace

AgentSwitch ClassifyCommandLine(std::wstring_view tail) {
  for (const auto& [text, sw] : kSwitches)
    if (EqualsIgnoringAsciiCase(tail, text)) return sw;
  return AgentSwitch::kPlain;
}
