#pragma once
// Calls of platform.cpp that tests replace: ending the session would end
// every process of the test's Wine prefix, and the execution state cannot
// be observed or made to fail there.
#include <windows.h>

namespace zu::seams {

using ExitWindowsFn = BOOL(WINAPI*)(UINT flags, DWORD reason);
using SetExecutionStateFn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE flags);

extern ExitWindowsFn exit_windows;                // ::ExitWindowsEx
extern SetExecutionStateFn set_execution_state;  // ::SetThreadExecutionState

}  // namespace zu::seams
