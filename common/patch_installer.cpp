#include "common/patch_installer.h"

#include <windows.h>

#include <algorithm>

#include "common/authenticode.h"
#include "common/framework/handle.h"
#include "common/registry.h"
#include "common/update_folder.h"

using namespace patch_list;

namespace {

constexpr wchar_t kLaunchValue[] = L"LaunchInstaller";
constexpr wchar_t kInstallFlag[] = L"InstallFlg";
constexpr wchar_t kRebootFlag[] = L"RebootFlg";
constexpr wchar_t kEngineDebugFile[] = L"debug.ini";  // in the update folder

// An installer's answer, read once and put back to "0".
std::int32_t TakeFlag(const wchar_t* name) {
  std::wstring text;
  const std::int32_t value =
      RegReadString(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, name, &text) ? FlagNumber(text) : 0;
  RegWriteString(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, name, L"0");
  return value;
}

void SetLaunchFlag(DWORD value) {
  RegWriteDWORD(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, kLaunchValue, value);
}

// "C:\..." or "\\server\share\...": CreateProcess without an application
// name searches other folders for anything else.
bool IsFullPath(const std::wstring& path) {
  const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  const bool unc = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
  return drive || unc;
}

bool StartAndWait(std::wstring command_line) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
    return false;
  zu::UniqueHandle process_handle(process.hProcess);
  zu::UniqueHandle thread_handle(process.hThread);
  ::WaitForSingleObject(process_handle.get(), INFINITE);
  return true;
}

}  // namespace

LaunchWorld LaunchWorld::Real() {
  // Only a file no standard user could have written counts.
  return {[] {
    std::wstring value;
    return ReadUpdateFolderIni(kEngineDebugFile, L"General", L"NOExecute", 64, &value) &&
           FlagNumber(value) != 0;
  }};
}

CPatchInstaller::CPatchInstaller(std::wstring list_path, LaunchWorld world)
    : list_(std::move(list_path)), world_(std::move(world)) {}

bool CPatchInstaller::CreateFromList(const std::vector<PatchRecord>& records) {
  return list_.CreateFromList(records);
}

bool CPatchInstaller::Launch(std::int32_t record) {
  SetLaunchFlag(1);
  std::wstring path, parameter;
  bool launched = false;
  if (list_.ReadString(record, kColPath, &path) &&
      list_.ReadString(record, kColParameter, &parameter) && IsFullPath(path)) {
    zu::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && CheckInstallerSignature(file.get(), path).passed)
      launched = world_.no_execute() || StartAndWait(L"\"" + path + L"\" " + parameter);
  }
  SetLaunchFlag(0);
  return launched;
}

void CPatchInstaller::FirstPhaseRun(std::int32_t record) {
  std::int32_t auto_exec = 0;
  if (!list_.ReadInt(record, kColAutoExec, &auto_exec) || auto_exec != 1) return;
  std::int32_t phase = 0, level = 0, started_before = 0;
  list_.ReadInt(record, kColPhaseFlag, &phase);
  list_.ReadInt(record, kColInstallReboot, &level);
  list_.ReadInt(record, kColFirstStarted, &started_before);
  // An installer that ran without a record of it would run again later.
  if (!list_.WriteInt(record, kColFirstStarted, 1)) return;

  const bool launched = Launch(record);
  if (launched) list_.WriteInt(record, kColFirstLaunched, 1);

  const std::int32_t asked = TakeFlag(kInstallFlag);
  if (phase != 0 || asked != 0) {
    phase = std::max(phase, asked);
    list_.WriteInt(record, kColPhaseFlag, phase);
  }
  const std::int32_t reboot = TakeFlag(kRebootFlag);
  if (phase == 0) {
    if (reboot > level) list_.WriteInt(record, kColInstallReboot, reboot);
    list_.WriteInt(record, kColInstalled, 1);
    if (launched) list_.WriteInt(record, kColFinalLaunched, 1);
  } else if (reboot > started_before) {
    list_.WriteInt(record, kColFirstReboot, reboot);
  }
}

void CPatchInstaller::SecondPhaseRun(std::int32_t record) {
  std::int32_t auto_exec = 0, installed = 0;
  if (!list_.ReadInt(record, kColAutoExec, &auto_exec) || auto_exec != 1 ||
      !list_.ReadInt(record, kColInstalled, &installed) || installed != 0)
    return;
  std::int32_t level = 0;
  list_.ReadInt(record, kColInstallReboot, &level);
  if (!list_.WriteInt(record, kColInstalled, 1)) return;
  if (Launch(record)) list_.WriteInt(record, kColFinalLaunched, 1);
  const std::int32_t reboot = TakeFlag(kRebootFlag);
  if (reboot > level) list_.WriteInt(record, kColInstallReboot, reboot);
  // Only a first run may ask for another; left set, it would be taken as
  // the next installer's answer.
  TakeFlag(kInstallFlag);
}
