#include "common/autorun_command.h"

namespace zu {

std::wstring AgentCommandFor(std::wstring_view program_files) {
  if (program_files.empty() || program_files.size() > kProgramFilesMaxChars ||
      program_files == L"%ProgramFiles%") {
    return {};
  }
  std::wstring command = L"\"";
  command += program_files;
  command += L"\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ";
  return command;
}

}  // namespace zu
