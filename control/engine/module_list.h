#pragma once
// The modules a page queues for one download run, and the rules of the
// add methods. Plain C++ (no Windows headers).
#include <cstdint>
#include <string>
#include <vector>

// One queued module. The installer option is kept but nothing reads it.
struct CModuleInfo {
  std::wstring url;
  std::int64_t size = 0;  // bytes; 0 = unknown
  std::wstring display_name;
  bool auto_execute = false;
  std::wstring installer_option;
  std::wstring install_param;        // AddModuleInfoEx only
  std::int32_t phase_flag = -1;      // "uninstall flag": a second run may follow
  std::wstring uninstall_path;
  std::int32_t first_phase_reboot = -1;
  std::int32_t install_reboot = -1;
  std::int32_t bounding_flag = -1;
  std::wstring spid;
};

class ModuleList {
 public:
  // AddModuleInfo: appended with the defaults of the Ex-only fields; the
  // counts stay as they are.
  void Add(CModuleInfo module);
  // AddModuleInfoEx: appended, then counted. False for a bounding
  // conflict (a bounding module among two or more auto-execute ones); the
  // module stays queued all the same.
  bool AddEx(CModuleInfo module);
  // Empties the list and both counts.
  void Clear();

  std::size_t size() const { return modules_.size(); }
  bool empty() const { return modules_.empty(); }
  const CModuleInfo& operator[](std::size_t i) const { return modules_[i]; }

  // The sum of the sizes of the modules whose size is known (saturating),
  // and whether any module's size is unknown (then the run has no total).
  std::uint64_t KnownSizeSum() const;
  bool HasUnknownSize() const;
  std::size_t AutoExecuteCount() const;

  int auto_execute_adds() const { return auto_execute_adds_; }
  int bounding_adds() const { return bounding_adds_; }

 private:
  // Unchanged while a run reads it: the page's add and clear methods
  // refuse during a run.
  std::vector<CModuleInfo> modules_;
  int bounding_adds_ = 0;
  int auto_execute_adds_ = 0;
};
