#include "common/task_scheduler.h"

#include "common/framework/com.h"

namespace zu {
namespace {

class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  explicit Variant(const wchar_t* text) : Variant() {
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocString(text);
  }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

// Out-pointers are trusted only together with a success code.
template <typename T>
bool Got(HRESULT hr, const ComPtr<T>& p) {
  return SUCCEEDED(hr) && p;
}

bool Connect(ITaskService* service) {
  if (!service) return false;
  Variant local;  // local machine, the caller's credentials
  return SUCCEEDED(service->Connect(local.get(), local.get(), local.get(), local.get()));
}

bool IsMissing(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

bool OpenOrCreateFolder(ITaskFolder* parent, const wchar_t* name, ComPtr<ITaskFolder>* folder) {
  Bstr bname(name);
  if (Got(parent->GetFolder(bname.get(), folder->put()), *folder)) return true;
  Variant default_security;
  return Got(parent->CreateFolder(bname.get(), default_security.get(), folder->put()), *folder);
}

bool SetPrincipal(ITaskDefinition* task) {
  ComPtr<IPrincipal> principal;
  return Got(task->get_Principal(principal.put()), principal) &&
         SUCCEEDED(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST)) &&
         SUCCEEDED(principal->put_GroupId(Bstr(kUsersGroupSid).get())) &&
         SUCCEEDED(principal->put_LogonType(TASK_LOGON_GROUP));
}

bool SetRegistrationInfo(ITaskDefinition* task) {
  ComPtr<IRegistrationInfo> info;
  return Got(task->get_RegistrationInfo(info.put()), info) &&
         SUCCEEDED(info->put_Author(Bstr(kTaskVendorFolder).get()));
}

bool SetSettings(ITaskDefinition* task) {
  ComPtr<ITaskSettings> settings;
  return Got(task->get_Settings(settings.put()), settings) &&
         SUCCEEDED(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE)) &&
         SUCCEEDED(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE)) &&
         SUCCEEDED(settings->put_ExecutionTimeLimit(Bstr(L"PT0S").get())) &&
         SUCCEEDED(settings->put_MultipleInstances(TASK_INSTANCES_PARALLEL)) &&
         SUCCEEDED(settings->put_AllowDemandStart(VARIANT_TRUE)) &&
         SUCCEEDED(settings->put_AllowHardTerminate(VARIANT_TRUE)) &&
         SUCCEEDED(settings->put_StartWhenAvailable(VARIANT_TRUE));
}

bool SetTrigger(ITaskDefinition* task) {
  ComPtr<ITriggerCollection> triggers;
  ComPtr<ITrigger> trigger;
  ComPtr<ILogonTrigger> logon;
  return Got(task->get_Triggers(triggers.put()), triggers) &&
         Got(triggers->Create(TASK_TRIGGER_LOGON, trigger.put()), trigger) &&
         Got(trigger.As(&logon, kIidLogonTrigger), logon) &&
         SUCCEEDED(logon->put_Id(Bstr(kTaskName).get())) &&
         SUCCEEDED(logon->put_Delay(Bstr(L"PT5S").get()));
}

bool SetAction(ITaskDefinition* task, const std::wstring& path, const std::wstring& arguments) {
  ComPtr<IActionCollection> actions;
  ComPtr<IAction> action;
  ComPtr<IExecAction> exec;
  return Got(task->get_Actions(actions.put()), actions) &&
         Got(actions->Create(TASK_ACTION_EXEC, action.put()), action) &&
         Got(action.As(&exec, IID_IExecAction), exec) &&
         SUCCEEDED(exec->put_Path(Bstr(path).get())) &&
         SUCCEEDED(exec->put_Arguments(Bstr(arguments).get()));
}

}  // namespace

bool RegisterLogonTask(ITaskService* service, const std::wstring& path,
                       const std::wstring& arguments) {
  if (!Connect(service)) return false;
  ComPtr<ITaskFolder> root, vendor, folder;
  if (!Got(service->GetFolder(Bstr(L"\\").get(), root.put()), root) ||
      !OpenOrCreateFolder(root.get(), kTaskVendorFolder, &vendor) ||
      !OpenOrCreateFolder(vendor.get(), kTaskFolder, &folder)) {
    return false;
  }
  Bstr name(kTaskName);
  const HRESULT deleted = folder->DeleteTask(name.get(), 0);
  if (FAILED(deleted) && !IsMissing(deleted)) return false;

  ComPtr<ITaskDefinition> task;
  if (!Got(service->NewTask(0, task.put()), task) || !SetPrincipal(task.get()) ||
      !SetRegistrationInfo(task.get()) || !SetSettings(task.get()) || !SetTrigger(task.get()) ||
      !SetAction(task.get(), path, arguments)) {
    return false;
  }
  Variant user(kUsersGroupSid), no_password, no_security;
  ComPtr<IRegisteredTask> registered;
  return Got(folder->RegisterTaskDefinition(name.get(), task.get(), TASK_CREATE_OR_UPDATE,
                                            user.get(), no_password.get(), TASK_LOGON_GROUP,
                                            no_security.get(), registered.put()),
             registered);
}

bool DeleteLogonTask(ITaskService* service) {
  if (!Connect(service)) return false;
  bool task_deleted = false;
  {
    ComPtr<ITaskFolder> folder;
    if (Got(service->GetFolder(Bstr(kTaskFolderPath).get(), folder.put()), folder))
      task_deleted = SUCCEEDED(folder->DeleteTask(Bstr(kTaskName).get(), 0));
  }
  bool folder_deleted = false;
  {
    ComPtr<ITaskFolder> vendor;
    if (Got(service->GetFolder(Bstr(L"\\VEXA").get(), vendor.put()), vendor))
      folder_deleted = SUCCEEDED(vendor->DeleteFolder(Bstr(kTaskFolder).get(), 0));
  }
  // The vendor folder was made for this task when it was missing; it goes
  // too unless another program's tasks or folders are in it, which the
  // scheduler refuses to delete.
  bool vendor_done = false;
  ComPtr<ITaskFolder> root;
  if (Got(service->GetFolder(Bstr(L"\\").get(), root.put()), root)) {
    const HRESULT hr = root->DeleteFolder(Bstr(L"VEXA").get(), 0);
    vendor_done = SUCCEEDED(hr) || hr == HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
  }
  return task_deleted && folder_deleted && vendor_done;
}

bool ReadLogonTaskArguments(ITaskService* service, std::wstring* arguments) {
  if (!Connect(service)) return false;
  ComPtr<ITaskFolder> folder;
  ComPtr<IRegisteredTask> task;
  ComPtr<ITaskDefinition> definition;
  ComPtr<IActionCollection> actions;
  ComPtr<IAction> first;
  ComPtr<IExecAction> exec;
  Bstr text;
  if (!Got(service->GetFolder(Bstr(kTaskFolderPath).get(), folder.put()), folder) ||
      !Got(folder->GetTask(Bstr(kTaskName).get(), task.put()), task) ||
      !Got(task->get_Definition(definition.put()), definition) ||
      !Got(definition->get_Actions(actions.put()), actions) ||
      !Got(actions->get_Item(1, first.put()), first) ||  // the collection counts from 1
      !Got(first.As(&exec, IID_IExecAction), exec) || FAILED(exec->get_Arguments(text.put()))) {
    return false;
  }
  *arguments = text.str();
  return true;
}

}  // namespace zu
