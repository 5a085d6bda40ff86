#pragma once
// The agent's command line as the autorun registration stores it. Plain
// text rules, no Windows headers.
#include <cstddef>
#include <string>
#include <string_view>

namespace zu {

// Longest program files folder the command is built from.
inline constexpr std::size_t kProgramFilesMaxChars = 255;

// "\"<program files>\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  " (the quoted
// executable and two blanks, so that an argument can follow directly).
// Empty when the folder is empty, longer than kProgramFilesMaxChars or the
// variable was not expanded: a wrong path must not be registered.
std::wstring AgentCommandFor(std::wstring_view program_files);

}  // namespace zu
