#include "tests/support/task_scheduler_fake.h"

#include <algorithm>
#include <string>

#include "common/task_scheduler.h"

namespace zu::test {
namespace {

#define ZU_NOTIMPL(name, params) \
  HRESULT STDMETHODCALLTYPE name params override { return E_NOTIMPL; }

template <typename I>
const IID& IidOf() {
  return __uuidof(I);
}
template <>
const IID& IidOf<ILogonTrigger>() {
  return kIidLogonTrigger;
}

// Reference counting, QueryInterface for the object's own interface and an
// IDispatch that is never used.
template <typename I>
class Object : public I {
 public:
  explicit Object(FakeScheduler* s) : s_(s) {}
  virtual ~Object() = default;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IidOf<I>()) {
      *out = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ZU_NOTIMPL(GetTypeInfoCount, (UINT*))
  ZU_NOTIMPL(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  ZU_NOTIMPL(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  ZU_NOTIMPL(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

 protected:
  // Hands this object out through an out-parameter.
  template <typename T>
  static HRESULT HandOut(HRESULT hr, bool null, T* object, T** out) {
    *out = nullptr;
    if (SUCCEEDED(hr) && !null) {
      *out = object;
      object->AddRef();
    }
    return hr;
  }
  FakeScheduler* s_;

 private:
  ULONG refs_ = 1;
};

// Every interface method answers E_NOTIMPL until a fake below overrides it.
class NotImplTaskService : public Object<ITaskService> {
 public:
  using Object::Object;
  ZU_NOTIMPL(GetFolder, (BSTR, ITaskFolder**))
  ZU_NOTIMPL(GetRunningTasks, (LONG, IRunningTaskCollection**))
  ZU_NOTIMPL(NewTask, (DWORD, ITaskDefinition**))
  ZU_NOTIMPL(Connect, (VARIANT, VARIANT, VARIANT, VARIANT))
  ZU_NOTIMPL(get_Connected, (VARIANT_BOOL*))
  ZU_NOTIMPL(get_TargetServer, (BSTR*))
  ZU_NOTIMPL(get_ConnectedUser, (BSTR*))
  ZU_NOTIMPL(get_ConnectedDomain, (BSTR*))
  ZU_NOTIMPL(get_HighestVersion, (DWORD*))
};

class NotImplTaskFolder : public Object<ITaskFolder> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Name, (BSTR*))
  ZU_NOTIMPL(get_Path, (BSTR*))
  ZU_NOTIMPL(GetFolder, (BSTR, ITaskFolder**))
  ZU_NOTIMPL(GetFolders, (LONG, ITaskFolderCollection**))
  ZU_NOTIMPL(CreateFolder, (BSTR, VARIANT, ITaskFolder**))
  ZU_NOTIMPL(DeleteFolder, (BSTR, LONG))
  ZU_NOTIMPL(GetTask, (BSTR, IRegisteredTask**))
  ZU_NOTIMPL(GetTasks, (LONG, IRegisteredTaskCollection**))
  ZU_NOTIMPL(DeleteTask, (BSTR, LONG))
  ZU_NOTIMPL(RegisterTask, (BSTR, BSTR, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT, IRegisteredTask**))
  ZU_NOTIMPL(RegisterTaskDefinition, (BSTR, ITaskDefinition*, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT, IRegisteredTask**))
  ZU_NOTIMPL(GetSecurityDescriptor, (LONG, BSTR*))
  ZU_NOTIMPL(SetSecurityDescriptor, (BSTR, LONG))
};

class NotImplTaskDefinition : public Object<ITaskDefinition> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_RegistrationInfo, (IRegistrationInfo**))
  ZU_NOTIMPL(put_RegistrationInfo, (IRegistrationInfo*))
  ZU_NOTIMPL(get_Triggers, (ITriggerCollection**))
  ZU_NOTIMPL(put_Triggers, (ITriggerCollection*))
  ZU_NOTIMPL(get_Settings, (ITaskSettings**))
  ZU_NOTIMPL(put_Settings, (ITaskSettings*))
  ZU_NOTIMPL(get_Data, (BSTR*))
  ZU_NOTIMPL(put_Data, (BSTR))
  ZU_NOTIMPL(get_Principal, (IPrincipal**))
  ZU_NOTIMPL(put_Principal, (IPrincipal*))
  ZU_NOTIMPL(get_Actions, (IActionCollection**))
  ZU_NOTIMPL(put_Actions, (IActionCollection*))
  ZU_NOTIMPL(get_XmlText, (BSTR*))
  ZU_NOTIMPL(put_XmlText, (BSTR))
};

class NotImplRegistrationInfo : public Object<IRegistrationInfo> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Description, (BSTR*))
  ZU_NOTIMPL(put_Description, (BSTR))
  ZU_NOTIMPL(get_Author, (BSTR*))
  ZU_NOTIMPL(put_Author, (BSTR))
  ZU_NOTIMPL(get_Version, (BSTR*))
  ZU_NOTIMPL(put_Version, (BSTR))
  ZU_NOTIMPL(get_Date, (BSTR*))
  ZU_NOTIMPL(put_Date, (BSTR))
  ZU_NOTIMPL(get_Documentation, (BSTR*))
  ZU_NOTIMPL(put_Documentation, (BSTR))
  ZU_NOTIMPL(get_XmlText, (BSTR*))
  ZU_NOTIMPL(put_XmlText, (BSTR))
  ZU_NOTIMPL(get_URI, (BSTR*))
  ZU_NOTIMPL(put_URI, (BSTR))
  ZU_NOTIMPL(get_SecurityDescriptor, (VARIANT*))
  ZU_NOTIMPL(put_SecurityDescriptor, (VARIANT))
  ZU_NOTIMPL(get_Source, (BSTR*))
  ZU_NOTIMPL(put_Source, (BSTR))
};

class NotImplPrincipal : public Object<IPrincipal> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Id, (BSTR*))
  ZU_NOTIMPL(put_Id, (BSTR))
  ZU_NOTIMPL(get_DisplayName, (BSTR*))
  ZU_NOTIMPL(put_DisplayName, (BSTR))
  ZU_NOTIMPL(get_UserId, (BSTR*))
  ZU_NOTIMPL(put_UserId, (BSTR))
  ZU_NOTIMPL(get_LogonType, (TASK_LOGON_TYPE*))
  ZU_NOTIMPL(put_LogonType, (TASK_LOGON_TYPE))
  ZU_NOTIMPL(get_GroupId, (BSTR*))
  ZU_NOTIMPL(put_GroupId, (BSTR))
  ZU_NOTIMPL(get_RunLevel, (TASK_RUNLEVEL_TYPE*))
  ZU_NOTIMPL(put_RunLevel, (TASK_RUNLEVEL_TYPE))
};

class NotImplTaskSettings : public Object<ITaskSettings> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_AllowDemandStart, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_AllowDemandStart, (VARIANT_BOOL))
  ZU_NOTIMPL(get_RestartInterval, (BSTR*))
  ZU_NOTIMPL(put_RestartInterval, (BSTR))
  ZU_NOTIMPL(get_RestartCount, (INT*))
  ZU_NOTIMPL(put_RestartCount, (INT))
  ZU_NOTIMPL(get_MultipleInstances, (TASK_INSTANCES_POLICY*))
  ZU_NOTIMPL(put_MultipleInstances, (TASK_INSTANCES_POLICY))
  ZU_NOTIMPL(get_StopIfGoingOnBatteries, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_StopIfGoingOnBatteries, (VARIANT_BOOL))
  ZU_NOTIMPL(get_DisallowStartIfOnBatteries, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_DisallowStartIfOnBatteries, (VARIANT_BOOL))
  ZU_NOTIMPL(get_AllowHardTerminate, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_AllowHardTerminate, (VARIANT_BOOL))
  ZU_NOTIMPL(get_StartWhenAvailable, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_StartWhenAvailable, (VARIANT_BOOL))
  ZU_NOTIMPL(get_XmlText, (BSTR*))
  ZU_NOTIMPL(put_XmlText, (BSTR))
  ZU_NOTIMPL(get_RunOnlyIfNetworkAvailable, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_RunOnlyIfNetworkAvailable, (VARIANT_BOOL))
  ZU_NOTIMPL(get_ExecutionTimeLimit, (BSTR*))
  ZU_NOTIMPL(put_ExecutionTimeLimit, (BSTR))
  ZU_NOTIMPL(get_Enabled, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_Enabled, (VARIANT_BOOL))
  ZU_NOTIMPL(get_DeleteExpiredTaskAfter, (BSTR*))
  ZU_NOTIMPL(put_DeleteExpiredTaskAfter, (BSTR))
  ZU_NOTIMPL(get_Priority, (INT*))
  ZU_NOTIMPL(put_Priority, (INT))
  ZU_NOTIMPL(get_Compatibility, (TASK_COMPATIBILITY*))
  ZU_NOTIMPL(put_Compatibility, (TASK_COMPATIBILITY))
  ZU_NOTIMPL(get_Hidden, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_Hidden, (VARIANT_BOOL))
  ZU_NOTIMPL(get_IdleSettings, (IIdleSettings**))
  ZU_NOTIMPL(put_IdleSettings, (IIdleSettings*))
  ZU_NOTIMPL(get_RunOnlyIfIdle, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_RunOnlyIfIdle, (VARIANT_BOOL))
  ZU_NOTIMPL(get_WakeToRun, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_WakeToRun, (VARIANT_BOOL))
  ZU_NOTIMPL(get_NetworkSettings, (INetworkSettings**))
  ZU_NOTIMPL(put_NetworkSettings, (INetworkSettings*))
};

class NotImplTriggerCollection : public Object<ITriggerCollection> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Count, (LONG*))
  ZU_NOTIMPL(get_Item, (LONG, ITrigger**))
  ZU_NOTIMPL(get__NewEnum, (IUnknown**))
  ZU_NOTIMPL(Create, (TASK_TRIGGER_TYPE2, ITrigger**))
  ZU_NOTIMPL(Remove, (VARIANT))
  ZU_NOTIMPL(Clear, ())
};

class NotImplActionCollection : public Object<IActionCollection> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Count, (LONG*))
  ZU_NOTIMPL(get_Item, (LONG, IAction**))
  ZU_NOTIMPL(get__NewEnum, (IUnknown**))
  ZU_NOTIMPL(get_XmlText, (BSTR*))
  ZU_NOTIMPL(put_XmlText, (BSTR))
  ZU_NOTIMPL(Create, (TASK_ACTION_TYPE, IAction**))
  ZU_NOTIMPL(Remove, (VARIANT))
  ZU_NOTIMPL(Clear, ())
  ZU_NOTIMPL(get_Context, (BSTR*))
  ZU_NOTIMPL(put_Context, (BSTR))
};

class NotImplExecAction : public Object<IExecAction> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Id, (BSTR*))
  ZU_NOTIMPL(put_Id, (BSTR))
  ZU_NOTIMPL(get_Type, (TASK_ACTION_TYPE*))
  ZU_NOTIMPL(get_Path, (BSTR*))
  ZU_NOTIMPL(put_Path, (BSTR))
  ZU_NOTIMPL(get_Arguments, (BSTR*))
  ZU_NOTIMPL(put_Arguments, (BSTR))
  ZU_NOTIMPL(get_WorkingDirectory, (BSTR*))
  ZU_NOTIMPL(put_WorkingDirectory, (BSTR))
};

class NotImplRegisteredTask : public Object<IRegisteredTask> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Name, (BSTR*))
  ZU_NOTIMPL(get_Path, (BSTR*))
  ZU_NOTIMPL(get_State, (TASK_STATE*))
  ZU_NOTIMPL(get_Enabled, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_Enabled, (VARIANT_BOOL))
  ZU_NOTIMPL(Run, (VARIANT, IRunningTask**))
  ZU_NOTIMPL(RunEx, (VARIANT, LONG, LONG, BSTR, IRunningTask**))
  ZU_NOTIMPL(GetInstances, (LONG, IRunningTaskCollection**))
  ZU_NOTIMPL(get_LastRunTime, (DATE*))
  ZU_NOTIMPL(get_LastTaskResult, (LONG*))
  ZU_NOTIMPL(get_NumberOfMissedRuns, (LONG*))
  ZU_NOTIMPL(get_NextRunTime, (DATE*))
  ZU_NOTIMPL(get_Definition, (ITaskDefinition**))
  ZU_NOTIMPL(get_Xml, (BSTR*))
  ZU_NOTIMPL(GetSecurityDescriptor, (LONG, BSTR*))
  ZU_NOTIMPL(SetSecurityDescriptor, (BSTR, LONG))
  ZU_NOTIMPL(Stop, (LONG))
  ZU_NOTIMPL(GetRunTimes, (const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*))
};

class NotImplLogonTrigger : public Object<ILogonTrigger> {
 public:
  using Object::Object;
  ZU_NOTIMPL(get_Type, (TASK_TRIGGER_TYPE2*))
  ZU_NOTIMPL(get_Id, (BSTR*))
  ZU_NOTIMPL(put_Id, (BSTR))
  ZU_NOTIMPL(get_Repetition, (IRepetitionPattern**))
  ZU_NOTIMPL(put_Repetition, (IRepetitionPattern*))
  ZU_NOTIMPL(get_ExecutionTimeLimit, (BSTR*))
  ZU_NOTIMPL(put_ExecutionTimeLimit, (BSTR))
  ZU_NOTIMPL(get_StartBoundary, (BSTR*))
  ZU_NOTIMPL(put_StartBoundary, (BSTR))
  ZU_NOTIMPL(get_EndBoundary, (BSTR*))
  ZU_NOTIMPL(put_EndBoundary, (BSTR))
  ZU_NOTIMPL(get_Enabled, (VARIANT_BOOL*))
  ZU_NOTIMPL(put_Enabled, (VARIANT_BOOL))
  ZU_NOTIMPL(get_Delay, (BSTR*))
  ZU_NOTIMPL(put_Delay, (BSTR))
  ZU_NOTIMPL(get_UserId, (BSTR*))
  ZU_NOTIMPL(put_UserId, (BSTR))
};

#undef ZU_NOTIMPL

constexpr HRESULT kMissing = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT kNoFolder = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
constexpr HRESULT kExists = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

std::wstring Text(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }
std::wstring Flag(VARIANT_BOOL b) {
  if (b == VARIANT_TRUE) return L"true";
  if (b == VARIANT_FALSE) return L"false";
  return L"bad VARIANT_BOOL " + std::to_wstring(b);
}

using SharedProperties = std::shared_ptr<TaskProperties>;

HRESULT Put(FakeScheduler* s, const SharedProperties& p, const std::wstring& key,
            const std::wstring& value) {
  const HRESULT hr = s->Step(L"put " + key, S_OK);
  if (SUCCEEDED(hr)) (*p)[key] = value;
  return hr;
}

class FakeRegistrationInfo : public NotImplRegistrationInfo {
 public:
  FakeRegistrationInfo(FakeScheduler* s, SharedProperties p) : NotImplRegistrationInfo(s), p_(p) {}
  HRESULT STDMETHODCALLTYPE put_Author(BSTR v) override { return Put(s_, p_, L"Author", Text(v)); }

 private:
  SharedProperties p_;
};

class FakePrincipal : public NotImplPrincipal {
 public:
  FakePrincipal(FakeScheduler* s, SharedProperties p) : NotImplPrincipal(s), p_(p) {}
  HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE v) override {
    return Put(s_, p_, L"Principal.RunLevel", std::to_wstring(v));
  }
  HRESULT STDMETHODCALLTYPE put_GroupId(BSTR v) override {
    return Put(s_, p_, L"Principal.GroupId", Text(v));
  }
  HRESULT STDMETHODCALLTYPE put_LogonType(TASK_LOGON_TYPE v) override {
    return Put(s_, p_, L"Principal.LogonType", std::to_wstring(v));
  }

 private:
  SharedProperties p_;
};

class FakeSettings : public NotImplTaskSettings {
 public:
  FakeSettings(FakeScheduler* s, SharedProperties p) : NotImplTaskSettings(s), p_(p) {}
  HRESULT STDMETHODCALLTYPE put_AllowDemandStart(VARIANT_BOOL v) override {
    return Put(s_, p_, L"Settings.AllowDemandStart", Flag(v));
  }
  HRESULT STDMETHODCALLTYPE put_MultipleInstances(TASK_INSTANCES_POLICY v) override {
    return Put(s_, p_, L"Settings.MultipleInstances", std::to_wstring(v));
  }
  HRESULT STDMETHODCALLTYPE put_StopIfGoingOnBatteries(VARIANT_BOOL v) override {
    return Put(s_, p_, L"Settings.StopIfGoingOnBatteries", Flag(v));
  }
  HRESULT STDMETHODCALLTYPE put_DisallowStartIfOnBatteries(VARIANT_BOOL v) override {
    return Put(s_, p_, L"Settings.DisallowStartIfOnBatteries", Flag(v));
  }
  HRESULT STDMETHODCALLTYPE put_AllowHardTerminate(VARIANT_BOOL v) override {
    return Put(s_, p_, L"Settings.AllowHardTerminate", Flag(v));
  }
  HRESULT STDMETHODCALLTYPE put_StartWhenAvailable(VARIANT_BOOL v) override {
    return Put(s_, p_, L"Settings.StartWhenAvailable", Flag(v));
  }
  HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR v) override {
    return Put(s_, p_, L"Settings.ExecutionTimeLimit", Text(v));
  }

 private:
  SharedProperties p_;
};

class FakeTrigger : public NotImplLogonTrigger {
 public:
  FakeTrigger(FakeScheduler* s, SharedProperties p, int index, TASK_TRIGGER_TYPE2 type)
      : NotImplLogonTrigger(s), p_(p), key_(L"Trigger" + std::to_wstring(index)), type_(type) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out || iid != kIidLogonTrigger) return NotImplLogonTrigger::QueryInterface(iid, out);
    bool null = false;
    const HRESULT hr = s_->Step(key_ + L" as ILogonTrigger",
                                type_ == TASK_TRIGGER_LOGON ? S_OK : E_NOINTERFACE, &null);
    return HandOut<ILogonTrigger>(hr, null, this, reinterpret_cast<ILogonTrigger**>(out));
  }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR v) override { return Put(s_, p_, key_ + L".Id", Text(v)); }
  HRESULT STDMETHODCALLTYPE put_Delay(BSTR v) override {
    return Put(s_, p_, key_ + L".Delay", Text(v));
  }

 private:
  SharedProperties p_;
  std::wstring key_;
  TASK_TRIGGER_TYPE2 type_;
};

class FakeTriggers : public NotImplTriggerCollection {
 public:
  FakeTriggers(FakeScheduler* s, SharedProperties p) : NotImplTriggerCollection(s), p_(p) {}
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** out) override {
    if (!out) return E_POINTER;
    bool null = false;
    const HRESULT hr = s_->Step(L"Triggers.Create " + std::to_wstring(type), S_OK, &null);
    *out = nullptr;
    if (FAILED(hr) || null) return hr;
    const int index = ++count_;
    (*p_)[L"Trigger" + std::to_wstring(index) + L".Type"] = std::to_wstring(type);
    *out = new FakeTrigger(s_, p_, index, type);
    return hr;
  }

 private:
  SharedProperties p_;
  int count_ = 0;
};

class FakeAction : public NotImplExecAction {
 public:
  FakeAction(FakeScheduler* s, SharedProperties p, int index, TASK_ACTION_TYPE type)
      : NotImplExecAction(s), p_(p), key_(L"Action" + std::to_wstring(index)), type_(type) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out && iid == IID_IAction) {
      *out = static_cast<IAction*>(this);
      AddRef();
      return S_OK;
    }
    if (!out || iid != IID_IExecAction) return NotImplExecAction::QueryInterface(iid, out);
    bool null = false;
    const HRESULT hr = s_->Step(key_ + L" as IExecAction",
                                type_ == TASK_ACTION_EXEC ? S_OK : E_NOINTERFACE, &null);
    return HandOut<IExecAction>(hr, null, this, reinterpret_cast<IExecAction**>(out));
  }
  HRESULT STDMETHODCALLTYPE put_Path(BSTR v) override { return Put(s_, p_, key_ + L".Path", Text(v)); }
  HRESULT STDMETHODCALLTYPE put_Arguments(BSTR v) override {
    return Put(s_, p_, key_ + L".Arguments", Text(v));
  }
  HRESULT STDMETHODCALLTYPE get_Arguments(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = s_->Step(L"get " + key_ + L".Arguments", S_OK);
    if (SUCCEEDED(hr)) *out = ::SysAllocString((*p_)[key_ + L".Arguments"].c_str());
    return hr;
  }

 private:
  SharedProperties p_;
  std::wstring key_;
  TASK_ACTION_TYPE type_;
};

class FakeActions : public NotImplActionCollection {
 public:
  FakeActions(FakeScheduler* s, SharedProperties p) : NotImplActionCollection(s), p_(p) {}
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** out) override {
    if (!out) return E_POINTER;
    bool null = false;
    const HRESULT hr = s_->Step(L"Actions.Create " + std::to_wstring(type), S_OK, &null);
    *out = nullptr;
    if (FAILED(hr) || null) return hr;
    const int index = static_cast<int>(actions_.size()) + 1;
    (*p_)[L"Action" + std::to_wstring(index) + L".Type"] = std::to_wstring(type);
    auto* action = new FakeAction(s_, p_, index, type);
    actions_.push_back(ComPtr<IAction>::Attach(action));
    *out = action;
    action->AddRef();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, IAction** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const bool valid = index >= 1 && index <= static_cast<LONG>(actions_.size());
    bool null = false;
    const HRESULT hr =
        s_->Step(L"Actions.get_Item " + std::to_wstring(index), valid ? S_OK : E_INVALIDARG, &null);
    if (SUCCEEDED(hr) && !null) {
      *out = actions_[index - 1].get();
      (*out)->AddRef();
    }
    return hr;
  }

 private:
  SharedProperties p_;
  std::vector<ComPtr<IAction>> actions_;
};

class FakeDefinition : public NotImplTaskDefinition {
 public:
  explicit FakeDefinition(FakeScheduler* s)
      : NotImplTaskDefinition(s),
        p_(std::make_shared<TaskProperties>()),
        info_(new FakeRegistrationInfo(s, p_)),
        principal_(new FakePrincipal(s, p_)),
        settings_(new FakeSettings(s, p_)),
        triggers_(new FakeTriggers(s, p_)),
        actions_(new FakeActions(s, p_)) {}
  ~FakeDefinition() override {
    for (IUnknown* part : std::initializer_list<IUnknown*>{info_, principal_, settings_, triggers_,
                                                           actions_})
      part->Release();
  }
  HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo** out) override {
    return Part(L"RegistrationInfo", info_, out);
  }
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** out) override {
    return Part(L"Principal", principal_, out);
  }
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override {
    return Part(L"Settings", settings_, out);
  }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override {
    return Part(L"Triggers", triggers_, out);
  }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override {
    return Part(L"Actions", actions_, out);
  }
  const TaskProperties& properties() const { return *p_; }

 private:
  template <typename T>
  HRESULT Part(const wchar_t* name, T* part, T** out) {
    if (!out) return E_POINTER;
    bool null = false;
    const HRESULT hr = s_->Step(std::wstring(L"Definition.get_") + name, S_OK, &null);
    return HandOut<T>(hr, null, part, out);
  }
  SharedProperties p_;
  IRegistrationInfo* info_;
  IPrincipal* principal_;
  ITaskSettings* settings_;
  ITriggerCollection* triggers_;
  IActionCollection* actions_;
};

class FakeRegisteredTask : public NotImplRegisteredTask {
 public:
  FakeRegisteredTask(FakeScheduler* s, ComPtr<ITaskDefinition> definition)
      : NotImplRegisteredTask(s), definition_(definition) {}
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition** out) override {
    if (!out) return E_POINTER;
    bool null = false;
    const HRESULT hr = s_->Step(L"RegisteredTask.get_Definition", S_OK, &null);
    return HandOut<ITaskDefinition>(hr, null, definition_.get(), out);
  }

 private:
  ComPtr<ITaskDefinition> definition_;
};

class FakeFolder : public NotImplTaskFolder {
 public:
  FakeFolder(FakeScheduler* s, std::wstring path) : NotImplTaskFolder(s), path_(std::move(path)) {}
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR name, ITaskFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::wstring path = Resolve(Text(name));
    bool null = false;
    const HRESULT hr = s_->Step(L"GetFolder " + path, s_->HasFolder(path) ? S_OK : kNoFolder, &null);
    if (SUCCEEDED(hr) && !null) *out = new FakeFolder(s_, path);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR name, VARIANT sddl, ITaskFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::wstring path = Resolve(Text(name));
    bool null = false;
    const HRESULT hr = s_->Step(L"CreateFolder " + path, s_->HasFolder(path) ? kExists : S_OK, &null);
    if (FAILED(hr)) return hr;
    s_->folders.insert(path);
    s_->folder_security[path] = DescribeVariant(sddl);
    if (!null) *out = new FakeFolder(s_, path);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR name, LONG) override {
    const std::wstring path = Resolve(Text(name));
    HRESULT natural = s_->HasFolder(path) ? S_OK : kNoFolder;
    if (natural == S_OK && !Empty(path)) natural = HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
    const HRESULT hr = s_->Step(L"DeleteFolder " + path, natural);
    if (SUCCEEDED(hr)) s_->folders.erase(path);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetTask(BSTR name, IRegisteredTask** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::wstring path = JoinTaskPath(path_, Text(name));
    auto found = s_->tasks.find(path);
    bool null = false;
    const HRESULT hr = s_->Step(L"GetTask " + path, found != s_->tasks.end() ? S_OK : kMissing, &null);
    if (SUCCEEDED(hr) && !null) *out = new FakeRegisteredTask(s_, found->second.definition);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG) override {
    const std::wstring path = JoinTaskPath(path_, Text(name));
    const HRESULT hr = s_->Step(L"DeleteTask " + path, s_->tasks.count(path) ? S_OK : kMissing);
    if (SUCCEEDED(hr)) s_->tasks.erase(path);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR name, ITaskDefinition* definition,
                                                   LONG flags, VARIANT user, VARIANT password,
                                                   TASK_LOGON_TYPE logon, VARIANT sddl,
                                                   IRegisteredTask** out) override {
    if (out) *out = nullptr;
    const std::wstring path = JoinTaskPath(path_, Text(name));
    auto* fake = dynamic_cast<FakeDefinition*>(definition);
    const bool exists = s_->tasks.count(path) != 0;
    HRESULT natural = S_OK;
    if (!fake || !s_->HasFolder(path_))
      natural = E_INVALIDARG;
    else if (exists && !(flags & TASK_UPDATE))
      natural = kExists;
    else if (!exists && !(flags & TASK_CREATE))
      natural = kMissing;
    bool null = false;
    const HRESULT hr = s_->Step(L"RegisterTaskDefinition " + path, natural, &null);
    if (FAILED(hr)) return hr;
    StoredTask stored{fake->properties(), ComPtr<ITaskDefinition>()};
    definition->AddRef();
    stored.definition = ComPtr<ITaskDefinition>::Attach(definition);
    stored.properties[L"Register.Flags"] = std::to_wstring(flags);
    stored.properties[L"Register.User"] = DescribeVariant(user);
    stored.properties[L"Register.Password"] = DescribeVariant(password);
    stored.properties[L"Register.LogonType"] = std::to_wstring(logon);
    stored.properties[L"Register.Security"] = DescribeVariant(sddl);
    s_->tasks[path] = stored;
    if (out && !null) *out = new FakeRegisteredTask(s_, stored.definition);
    return hr;
  }

 private:
  std::wstring Resolve(const std::wstring& name) const {
    if (!name.empty() && name[0] == L'\\') return name;
    return JoinTaskPath(path_, name);
  }
  bool Empty(const std::wstring& path) const {
    const std::wstring prefix = path + L"\\";
    auto inside = [&](const std::wstring& p) { return p.compare(0, prefix.size(), prefix) == 0; };
    return std::none_of(s_->folders.begin(), s_->folders.end(), inside) &&
           std::none_of(s_->tasks.begin(), s_->tasks.end(),
                        [&](const auto& t) { return inside(t.first); });
  }
  std::wstring path_;
};

class FakeService : public NotImplTaskService {
 public:
  using NotImplTaskService::NotImplTaskService;
  HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain,
                                    VARIANT password) override {
    const HRESULT hr = s_->Step(L"Connect", S_OK);
    s_->connect_arguments = DescribeVariant(server) + L"|" + DescribeVariant(user) + L"|" +
                            DescribeVariant(domain) + L"|" + DescribeVariant(password);
    if (SUCCEEDED(hr)) connected_ = true;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = connected_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::wstring p = Text(path);
    HRESULT natural = s_->HasFolder(p) ? S_OK : kNoFolder;
    if (!connected_) natural = HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);
    bool null = false;
    const HRESULT hr = s_->Step(L"GetFolder " + p, natural, &null);
    if (SUCCEEDED(hr) && !null) *out = new FakeFolder(s_, p);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    HRESULT natural = flags == 0 ? S_OK : E_INVALIDARG;
    if (!connected_) natural = HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);
    bool null = false;
    const HRESULT hr = s_->Step(L"NewTask", natural, &null);
    if (SUCCEEDED(hr) && !null) *out = new FakeDefinition(s_);
    return hr;
  }

 private:
  bool connected_ = false;
};

}  // namespace

std::wstring JoinTaskPath(const std::wstring& folder, const std::wstring& name) {
  return folder == L"\\" ? L"\\" + name : folder + L"\\" + name;
}

std::wstring DescribeVariant(const VARIANT& v) {
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return L"";
  if (v.vt == VT_BSTR) return Text(v.bstrVal);
  return L"(vt " + std::to_wstring(v.vt) + L")";
}

HRESULT FakeScheduler::Step(const std::wstring& call, HRESULT natural, bool* hand_null) {
  const int index = static_cast<int>(calls.size());
  calls.push_back(call);
  if (index != fail_call || FAILED(natural)) return natural;
  if (!hand_out_null) {
    injected = true;
    return E_FAIL;
  }
  if (hand_null) {
    injected = true;
    *hand_null = true;
  }
  return natural;
}

HRESULT FakeScheduler::NewService(ITaskService** service) {
  if (!service) return E_POINTER;
  *service = new FakeService(this);
  return S_OK;
}

void FakeScheduler::AddTask(const std::wstring& folder, const std::wstring& name,
                        const std::vector<std::wstring>& exec_arguments, bool non_exec_first) {
  AddFolder(folder);
  auto* definition = new FakeDefinition(this);
  StoredTask stored{{}, ComPtr<ITaskDefinition>::Attach(definition)};
  ComPtr<IActionCollection> actions;
  definition->get_Actions(actions.put());
  ComPtr<IAction> action;
  if (non_exec_first) actions->Create(TASK_ACTION_SEND_EMAIL, action.put());
  for (const std::wstring& arguments : exec_arguments) {
    actions->Create(TASK_ACTION_EXEC, action.put());
    ComPtr<IExecAction> exec;
    action.As(&exec, IID_IExecAction);
    exec->put_Arguments(Bstr(arguments).get());
  }
  stored.properties = definition->properties();
  tasks[JoinTaskPath(folder, name)] = stored;
  calls.clear();
}

const StoredTask* FakeScheduler::Task(const std::wstring& folder, const std::wstring& name) const {
  auto found = tasks.find(JoinTaskPath(folder, name));
  return found == tasks.end() ? nullptr : &found->second;
}

bool FakeScheduler::Called(const std::wstring& call) const { return IndexOf(call) >= 0; }

int FakeScheduler::IndexOf(const std::wstring& call) const {
  auto found = std::find(calls.begin(), calls.end(), call);
  return found == calls.end() ? -1 : static_cast<int>(found - calls.begin());
}

}  // namespace zu::test
