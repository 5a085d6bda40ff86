#pragma once
// What the installation passes of a download run ask of the installer
// object (CPatchInstaller): its patch list, written afresh from the module
// list when it is created, and the two phases of each record.
#include <cstdint>
#include <functional>
#include <memory>

class ModuleList;

class IPatchInstaller {
 public:
  virtual ~IPatchInstaller() = default;
  // A record's integer column (patch_list::kCol*); false when it cannot be
  // read.
  virtual bool ReadInteger(int record, int column, std::int32_t* value) = 0;
  virtual void FirstPhaseRun(int record) = 0;
  virtual void SecondPhaseRun(int record) = 0;
  // Records with auto-execute 1 and phase flag 1 not yet installed.
  virtual int PendingSecondRuns() = 0;
  // Every record's installed column is set.
  virtual bool AllInstalled() = 0;
  // 0 none, 1 restart, 2 shutdown.
  virtual int FirstPhaseRebootLevel() = 0;
  virtual int FinalRebootLevel() = 0;
};

// Creates the installer object and its patch list for the run's modules;
// null when it cannot be created.
using PatchInstallerFactory =
    std::function<std::unique_ptr<IPatchInstaller>(const ModuleList& modules)>;

// The real one: CPatchInstaller over C:\Update\PatchList.dat, written afresh
// with one record per module in list order.
std::unique_ptr<IPatchInstaller> CreatePatchInstaller(const ModuleList& modules);
