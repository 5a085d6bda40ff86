#pragma once
// The agent's logon task in Task Scheduler 2.0: task "ZEFO Update" in the
// folder "\VEXA\ZEFO Update", started elevated at the logon of any member
// of the Users group. The service is handed in, so that tests can give a
// double of the scheduler's interfaces.
#include <windows.h>
#include <taskschd.h>

#include <string>

namespace zu {

// mingw's taskschd.h has no ILogonTrigger; its layout and IID as Windows
// defines them.
struct ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
inline constexpr IID kIidLogonTrigger = {
    0x72DADE38, 0xFAE4, 0x4b3e, {0xBA, 0xF4, 0x5D, 0x00, 0x9A, 0xF0, 0x2B, 0x1C}};

inline constexpr wchar_t kTaskVendorFolder[] = L"VEXA";
inline constexpr wchar_t kTaskFolder[] = L"ZEFO Update";
inline constexpr wchar_t kTaskFolderPath[] = L"\\VEXA\\ZEFO Update";
inline constexpr wchar_t kTaskName[] = L"ZEFO Update";
inline constexpr wchar_t kUsersGroupSid[] = L"S-1-5-32-545";

// Connects, creates the folders when missing, deletes an old task and
// registers the new one (TASK_CREATE_OR_UPDATE). False at the first step
// that fails.
bool RegisterLogonTask(ITaskService* service, const std::wstring& path,
                       const std::wstring& arguments);
// Deletes the task, then its folder, then the vendor folder "\\VEXA" unless
// something else is in it; each attempted whatever the others did. True
// only when all of ours is gone.
bool DeleteLogonTask(ITaskService* service);
// The arguments of the task's first action, which must be an exec action.
bool ReadLogonTaskArguments(ITaskService* service, std::wstring* arguments);

}  // namespace zu
