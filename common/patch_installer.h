#pragma once
// CPatchInstaller: runs the installers a patch list names, in a first and
// a second phase, and keeps their records. Installers talk back through
// "InstallFlg" and "RebootFlg" under HKLM "Software\Vexa Corporation\ZEFO
// Update"; "LaunchInstaller" there is 1 while one is being launched.
// Used by the control's download run and by the agent's "/S" run.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/patch_list.h"

inline constexpr wchar_t kInstallerFlagsKey[] = L"Software\\Vexa Corporation\\ZEFO Update";

// What a launch needs besides the list; Real() starts installers for real.
struct LaunchWorld {
  // "NOExecute" in C:\Update\debug.ini, read only from a trusted file:
  // installers count as launched without being started.
  std::function<bool()> no_execute;
  static LaunchWorld Real();
};

class CPatchInstaller {
 public:
  explicit CPatchInstaller(std::wstring list_path = PatchListPath(),
                           LaunchWorld world = LaunchWorld::Real());

  CWrapIniOper& list() { return list_; }

  // Writes the list afresh from the run's modules.
  bool CreateFromList(const std::vector<patch_list::PatchRecord>& records);

  // The first run of an auto-execute record; then the record is complete,
  // or waits for its second run (the installer's "InstallFlg", or the
  // page's phase flag, asked for one).
  void FirstPhaseRun(std::int32_t record);
  // The completing run of an auto-execute record not yet installed.
  void SecondPhaseRun(std::int32_t record);

  int PendingSecondRuns() { return list_.PendingSecondRuns(); }
  bool AllInstalled() { return list_.AllInstalled(); }
  std::int32_t FirstPhaseRebootLevel() { return list_.FirstPhaseRebootLevel(); }
  std::int32_t FinalRebootLevel() { return list_.FinalRebootLevel(); }

  // Starts the record's installer as "\"path\" parameter" and waits for it
  // to end, however long it takes. The file is opened once, without write
  // or delete sharing, its signature checked through that handle, and the
  // handle kept until the installer has ended, so the checked file is the
  // one that runs. False when the signature is not the maker's, the path
  // is not a full path, or the process did not start.
  bool Launch(std::int32_t record);

 private:
  CWrapIniOper list_;
  LaunchWorld world_;
};
