#pragma once
// The agent's switches. The whole command-line tail is one switch: it is
// never split into words, and anything that matches no switch is a plain
// start.
#include <string_view>

enum class AgentSwitch {
  kPlain,
  kClear,
  kHaltAll,
  kPreInstall,
  kHalt,
  kShowPage,
  kStationary,
  kInstall,  // "/S"
  kDisableButton,
};

AgentSwitch ClassifyCommandLine(std::wstring_view tail);
