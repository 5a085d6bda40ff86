#pragma once
// CZUAXCtrl: the scriptable control the support page creates as
// "ZUAX.ZUAXCtrl.4". It declares all 58 scripting methods of _DZUAX; their
// bodies live in files by topic (ctrl_methods_*.cpp), and the invocation
// table in zuax_dispatch.cpp binds each member id to one of them.
//
// Every method starts with one of the prologues of ctrl_frame.h. BSTR
// arguments arrive as std::wstring, BOOL answers as bool, BSTR answers as
// std::wstring (the dispatch layer makes the BSTR).
#include <windows.h>
#include <objsafe.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/framework/com.h"
#include "common/framework/handle.h"
#include "control/ole_control.h"

class CDownloadDLG;
class IDownloadRun;
class CFileDownloader;
class CDownloadSelfDlg;
class CSelfDownloader;

// Owners of the engine's objects. Defined beside the engine so that this
// header needs only their names.
struct CEngineDeleter {
  void operator()(CFileDownloader* p) const;
  void operator()(CSelfDownloader* p) const;
};

class CZUAXCtrl : public COleControlBase, public IDispatch {
 public:
  CZUAXCtrl();
  ~CZUAXCtrl() override;

  // IUnknown (through the base)
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return COleControlBase::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return COleControlBase::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return COleControlBase::Release(); }

  // IDispatch on _DZUAX: names through the embedded type library, calls
  // through the invocation table (zuax_dispatch.cpp).
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override;

  // --- Scripting methods, by member id -------------------------------------
  std::wstring GetBIOSVersion();                                         // 1
  bool SearchSPID(const std::wstring& bstrSPID);                         // 2
  std::wstring EnumSPID(ULONG ulid);                                     // 3
  std::wstring GetDriverVersion(const std::wstring& bstrHWID);           // 4
  std::wstring GetDriverDate(const std::wstring& bstrHWID);              // 5
  std::wstring GetFileVersion(const std::wstring& bstrFilePath);         // 6
  std::wstring GetFileLastWriteTime(const std::wstring& bstrFilePath);   // 7
  std::wstring GetModelCode();                                           // 8
  std::wstring GetSerialNumber();                                        // 9
  std::wstring GetRegistryInfo(const std::wstring& bstrRegKey,
                               const std::wstring& strRegValue);         // 10
  std::wstring ReadVersionTXT(const std::wstring& bstrFilePath);         // 11
  bool StartDownload();                                                  // 12
  bool IsDownloaded(const std::wstring& bstrFilePath);                   // 13
  bool SearchDriveInfo(const std::wstring& bstrVender, const std::wstring& bstrProduct,
                       const std::wstring& bstrRevision,
                       const std::wstring& bstrVenderSpecific);          // 14
  bool AddModuleInfo(const std::wstring& bstrURL, LONGLONG LLSize,
                     const std::wstring& bstrDispName, bool bAutoExec,
                     const std::wstring& bstrInstallerOption);           // 15
  bool ClearModuleList();                                                // 16
  std::wstring ReadApplicationVersionTXT(const std::wstring& bstrAppName);  // 17
  bool SearchRegistry(const std::wstring& bstrRegKey,
                      const std::wstring& bstrRegValue);                 // 18
  bool SearchModelCode(const std::wstring& bstrRange);                   // 19
  bool SearchSerialNumber(const std::wstring& bstrRange);                // 20
  std::wstring GetSelfVersion();                                         // 21
  bool CheckOSVersion(const std::wstring& lpParam);                      // 22
  bool ShowInstaller(const std::wstring& lpURL);                         // 23
  std::wstring GetDebugRegistry(const std::wstring& bstrValue);          // 24
  void SetDebugRegistry(const std::wstring& bstrValue,
                        const std::wstring& bstrData);                   // 25
  long GetLastError();                                                   // 26
  void SetLastError(long lError);                                        // 27
  bool SearchModelCodeAndSerialNum(const std::wstring& lpParam);         // 28
  bool RegisterString(long uID, const std::wstring& string);             // 29
  ULONG GetSystemDefaultLCID();                                          // 30
  std::wstring GetModelName();                                           // 31
  bool IsAdmin();                                                        // 32
  bool SetUnCheckItem(const std::wstring& bstrValue);                    // 33
  bool ResetUnCheckItem(const std::wstring& item);                       // 34
  bool DeletePatchListFile();                                            // 35
  bool DeletePatchFile(const std::wstring& bstrItem);                    // 36
  std::wstring GetExecutedPatches();                                     // 37
  bool SearchBIOSVersionEx(const std::wstring& lpParam,
                           const std::wstring& bstrReverse);             // 38
  bool SearchDriverVersionEx(const std::wstring& bstrHWID,
                             const std::wstring& bstrDriverVersion,
                             const std::wstring& bstrReverse);           // 39
  bool SearchDriverDateEx(const std::wstring& bstrHWID, const std::wstring& bstrDriverDate,
                          const std::wstring& bstrReverse);              // 40
  bool SearchFileVersionEx(const std::wstring& bstrFilePath,
                           const std::wstring& bstrFileVersion,
                           const std::wstring& bstrReverse);             // 41
  bool SearchFileLastWriteTimeEx(const std::wstring& bstrSPID,
                                 const std::wstring& bstrFileLastWriteTime,
                                 const std::wstring& bstrReverse);       // 42
  bool SearchRegistryInfoEx(const std::wstring& bstrRegPath, const std::wstring& bstrRegKey,
                            const std::wstring& bstrRegValue,
                            const std::wstring& bstrReverse);            // 43
  bool SearchVersionTXTEx(const std::wstring& bstrSPID, const std::wstring& bstrVersionTXT,
                          const std::wstring& bstrReverse);              // 44
  bool SearchApplicationVersionTXTEx(const std::wstring& bstrSPID,
                                     const std::wstring& bstrApplicationVersionTXT,
                                     const std::wstring& bstrReverse);   // 45
  bool SearchModelNameEx(const std::wstring& bstrSPID,
                         const std::wstring& bstrReverse);               // 46
  bool IsUnChecked(const std::wstring& item);                            // 47
  bool SearchDriveInfoEx(const std::wstring& bstrVender, const std::wstring& bstrProduct,
                         const std::wstring& bstrRevision,
                         const std::wstring& bstrVenderSpecific,
                         const std::wstring& bstrReverse);               // 48
  bool SearchRegistryEx(const std::wstring& bstrRegPath, const std::wstring& bstrRegName,
                        const std::wstring& bstrReverse);                // 49
  bool SearchSPIDEx(const std::wstring& bstrSPID, const std::wstring& bstrReverse);  // 50
  bool SearchOSVersionEx(const std::wstring& lpParam,
                         const std::wstring& bstrReverse);               // 51
  bool SearchModelCodeAndSerialNumEx(const std::wstring& lpParam,
                                     const std::wstring& bstrReverse);   // 52
  bool AddModuleInfoEx(const std::wstring& bstrSPID, const std::wstring& bstrURL,
                       LONGLONG LLSize, const std::wstring& bstrDispName, bool bAutoExec,
                       const std::wstring& bstrInstallerOption,
                       const std::wstring& bstrInstallParam, const std::wstring& bUnintallFlag,
                       const std::wstring& bUninstallPath,
                       const std::wstring& bUninstallReboot,
                       const std::wstring& bInstallReboot,
                       const std::wstring& bBoundingFlag);               // 53
  bool UpdateToLatestVersion(const std::wstring& bstrNewVersion, const std::wstring& bstrPatch,
                             const std::wstring& bstrFailedURL, LONGLONG ULSize);  // 54
  bool ZUMutexLock();                                                    // 55
  bool ZUMutexUnLock();                                                  // 56
  bool IsFileExist(const std::wstring& bstrFilePath);                    // 57
  ULONG GetProcessorArchitecture();                                      // 58

  // --- Prologues (ctrl_frame.cpp) -------------------------------------------
  // The host page check of the page this control sits on.
  bool IsHostPageAllowed();
  // Plain methods: host check; when it passes the last-error code becomes
  // 0 and the method goes on. A refusal leaves the code as it was.
  bool PassPlainPrologue();
  // Matching methods ("...Ex"): last-error 0, the reverse flag, then the
  // host check. False means stop and return *answer (FALSE for an invalid
  // flag with 0x20000015, the reversed no-match for a refused page); true
  // means go on with *reverse.
  bool PassMatchPrologue(const std::wstring& bstrReverse, bool* reverse, bool* answer);
  // SearchDriveInfo: last-error 0, administrators only (0x20000002), then
  // the host check as for plain methods.
  bool PassDriveInfoPrologue();

 protected:
  // COleControlBase
  HRESULT QueryExtraInterface(REFIID iid, void** out) override;
  HRESULT GetCoClassTypeInfo(ITypeInfo** info) override;

 private:
  // IObjectSafety as an inner part whose reference counting and queries
  // go to the control.
  class XCInnerZUAXCtrl : public IObjectSafety {
   public:
    explicit XCInnerZUAXCtrl(CZUAXCtrl* outer) : outer_(outer) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      return outer_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                           DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

   private:
    CZUAXCtrl* outer_;
  };

  // _DZUAX from the embedded type library, loaded on first use.
  HRESULT DispatchTypeInfo(ITypeInfo** info);
  // Runs the engine's dialog over a run that bound (when it did not, there
  // is nothing to run); true when the run ended normally.
  bool RunEngineDialog(CDownloadDLG& dialog, IDownloadRun& run, bool bound);
  // Asks the hosting browser to load the page again; each step of the way
  // there may fail silently.
  void RefreshHostPage();

  XCInnerZUAXCtrl inner_safety_{this};
  zu::ComPtr<ITypeInfo> dispatch_info_;

  // Members in the order of the design.
  // Installed-application entries of EnumSPID; filled on first use.
  std::optional<std::vector<std::wstring>> installed_apps_;
  CDownloadDLG* download_dlg_ = nullptr;  // non-null while StartDownload runs
  std::unique_ptr<CFileDownloader, CEngineDeleter> downloader_;  // the module list
  CDownloadSelfDlg* self_update_dlg_ = nullptr;
  std::unique_ptr<CSelfDownloader, CEngineDeleter> self_downloader_;
  // "Global\ZEFO Update ActiveX Mutex" while this instance holds it.
  zu::UniqueHandle working_mutex_;
};
