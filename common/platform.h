#pragma once
// Operations on the user's desktop that both deliverables share: the
// administrator test, restart and shutdown, keep-awake, screen saver, the
// power line and the operating-system generation.

#include <string>

// The folder of the running executable, without a trailing backslash; empty
// when it cannot be read.
std::wstring ExecutableFolder();

// Access check of the caller's token (the thread's when it impersonates)
// against the built-in Administrators group.
bool IsUserAdministrator();
// Vista or later: the reported major version is greater than 5.
bool IsVistaOrLater();

// Enable the shutdown privilege, then restart (EWX_REBOOT | EWX_FORCE) or
// power off (EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE). False when the
// privilege cannot be enabled or Windows refuses.
bool RestartWindows();
bool ShutdownWindows();

// Keep the system and the display awake, and back again. The execution
// state belongs to the calling thread: call the pair on one thread.
bool KeepAwake();
bool AllowSleep();

// Turn the user's screen saver off and back on around an install run.
// RestoreScreenSaver writes "1" only when DisableScreenSaver left this
// process responsible for it, and answers false otherwise.
bool DisableScreenSaver();
bool RestoreScreenSaver();

// Screen saver off and the PC kept awake from construction until Release
// or destruction, whichever comes first. Both on one thread: the execution
// state belongs to a thread.
class DesktopHold {
 public:
  DesktopHold();
  ~DesktopHold() { Release(); }
  DesktopHold(const DesktopHold&) = delete;
  DesktopHold& operator=(const DesktopHold&) = delete;
  void Release();

 private:
  bool held_ = true;
};

// Through zu::seams::get_system_power_status: whether the PC runs on
// battery now (AC line offline); an unknown status counts as mains.
bool RunsOnBattery();
