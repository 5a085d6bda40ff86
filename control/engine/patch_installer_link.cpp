// The download run's installer object: the run's modules as patch records
// and CPatchInstaller's phases over them.
#include "control/engine/patch_installer_link.h"

#include "common/patch_installer.h"
#include "control/engine/module_list.h"
#include "control/module_path.h"

namespace {

patch_list::PatchRecord RecordOf(const CModuleInfo& m) {
  patch_list::PatchRecord r;
  r.path = ModuleFinalPath(m.url);
  r.size = m.size;
  r.name = m.display_name;
  r.auto_exec = m.auto_execute ? 1 : 0;
  r.parameter = m.install_param;
  r.phase_flag = m.phase_flag;
  r.first_reboot = m.first_phase_reboot;
  r.uninstall_path = m.uninstall_path;
  r.install_reboot = m.install_reboot;
  r.bounding = m.bounding_flag;
  r.spid = m.spid;
  return r;
}

class PatchInstallerLink : public IPatchInstaller {
 public:
  CPatchInstaller& installer() { return installer_; }

  bool ReadInteger(int record, int column, std::int32_t* value) override {
    return installer_.list().ReadInt(record, column, value);
  }
  void FirstPhaseRun(int record) override { installer_.FirstPhaseRun(record); }
  void SecondPhaseRun(int record) override { installer_.SecondPhaseRun(record); }
  int PendingSecondRuns() override { return installer_.PendingSecondRuns(); }
  bool AllInstalled() override { return installer_.AllInstalled(); }
  int FirstPhaseRebootLevel() override { return installer_.FirstPhaseRebootLevel(); }
  int FinalRebootLevel() override { return installer_.FinalRebootLevel(); }

 private:
  CPatchInstaller installer_;
};

}  // namespace

std::unique_ptr<IPatchInstaller> CreatePatchInstaller(const ModuleList& modules) {
  std::vector<patch_list::PatchRecord> records;
  records.reserve(modules.size());
  for (std::size_t i = 0; i < modules.size(); ++i) records.push_back(RecordOf(modules[i]));
  auto link = std::make_unique<PatchInstallerLink>();
  if (!link->installer().CreateFromList(records)) return nullptr;
  return link;
}
