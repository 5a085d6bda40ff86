#include "agent/command_line.h"

#include <array>
#include <utility>

#include "common/ascii_case.h"

namespace {

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
    if (zu::EqualsIgnoringAsciiCase(tail, text)) return sw;
  return AgentSwitch::kPlain;
}
