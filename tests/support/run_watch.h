#pragma once
// A download run's worker as the engine's tests watch it: one log of what
// it did, line by line, and the power status it sees. While a RunWatch
// lives it stands in for the power status and the thread's execution
// state, and every line goes to its log:
//   "notify C" or "notify C(N)"   a notification to the dialog
//   "ask CAPTION: TEXT"           a message box the dialog would own
//   "keep awake", "allow sleep"   the execution state
// plus whatever the test's own doubles note with NoteRun.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/framework/seam.h"
#include "common/platform_seams.h"
#include "control/engine/download_run.h"
#include "control/engine/engine_seams.h"
#include "control/engine/module_list.h"

namespace zu::test {

using RunLog = std::vector<std::wstring>;

// A module as a page queues it with AddModuleInfo.
CModuleInfo Module(const std::wstring& url, std::int64_t size, bool auto_execute = false,
                   const wchar_t* name = L"Module");

// Adds a line to the live watch's log; nothing without one.
void NoteRun(const std::wstring& line);

// Not copied: its overrides are not.
class RunWatch {
 public:
  RunWatch();
  ~RunWatch();

  // The next `reads` reads of the power status answer "on battery".
  void OnBatteryFor(int reads);
  // The dialog's side: answers the buttons given in turn, then Yes or OK.
  std::unique_ptr<IRunSink> Sink(std::vector<int> answers = {});

  RunLog log;

 private:
  ScopedOverride<seams::GetSystemPowerStatusFn> power_;
  ScopedOverride<seams::SetExecutionStateFn> awake_;
};

}  // namespace zu::test
