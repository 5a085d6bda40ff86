#include "common/autorun.h"

#include <windows.h>

#include <iterator>

#include "common/autorun_command.h"
#include "common/autorun_seams.h"
#include "common/framework/com.h"
#include "common/platform.h"
#include "common/registry.h"
#include "common/task_scheduler.h"

namespace {

HRESULT CreateSchedulerService(ITaskService** service) {
  return ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                            reinterpret_cast<void**>(service));
}

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"ZEFO Update 4";

// COM lives for one call; the service is released before COM goes.
template <typename Fn>
bool WithTaskService(Fn fn) {
  zu::ComInit com;
  if (!com.ok()) return false;
  zu::ComPtr<ITaskService> service;
  if (FAILED(zu::seams::create_task_service(service.put())) || !service) return false;
  return fn(service.get());
}

}  // namespace

namespace zu::seams {
IsVistaOrLaterFn is_vista_or_later = &::IsVistaOrLater;
CreateTaskServiceFn create_task_service = &CreateSchedulerService;
}  // namespace zu::seams

std::wstring AgentAutorunCommand() {
  wchar_t folder[zu::kProgramFilesMaxChars + 1];
  const DWORD needed = ::ExpandEnvironmentStringsW(L"%ProgramFiles%", folder,
                                                   static_cast<DWORD>(std::size(folder)));
  // The count includes the terminator; a larger one means the buffer holds
  // a truncated path.
  if (needed == 0 || needed > std::size(folder)) return {};
  return zu::AgentCommandFor(folder);
}

bool RegisterAutorun(const std::wstring& argument) {
  if (!IsUserAdministrator()) return false;
  const std::wstring command = AgentAutorunCommand();
  if (command.empty()) return false;
  if (!zu::seams::is_vista_or_later())
    return RegWriteString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, command + argument);
  return WithTaskService([&](ITaskService* service) {
    return zu::RegisterLogonTask(service, command, argument);
  });
}

bool UnregisterAutorun() {
  if (!IsUserAdministrator()) return false;
  if (!zu::seams::is_vista_or_later()) return RegDeleteValueOf(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
  return WithTaskService([](ITaskService* service) { return zu::DeleteLogonTask(service); });
}

bool ReadAutorunCommand(std::wstring* text) {
  if (!zu::seams::is_vista_or_later()) return RegReadString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, text);
  return WithTaskService(
      [&](ITaskService* service) { return zu::ReadLogonTaskArguments(service, text); });
}
