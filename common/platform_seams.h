#pragma once
// Calls of platform.cpp that tests replace: ending the session would end
// every process of the test's Wine prefix, the execution state cannot be
// observed or made to fail there, and the power line is always on.
#include <windows.h>

namespace zu::seams {

using ExitWindowsFn = BOOL(WINAPI*)(UINT flags, DWORD reason);
using SetExecutionStateFn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE flags);
using GetSystemPowerStatusFn = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS status);

extern ExitWindowsFn exit_windows;                // ::ExitWindowsEx
extern SetExecutionStateFn set_execution_state;  // ::SetThreadExecutionState
// Wine always reports mains power.
extern GetSystemPowerStatusFn get_system_power_status;  // ::GetSystemPowerStatus

}  // namespace zu::seams
