// Self-registration: type library, the two classes, the script-safety
// categories, and the browser's pre-approval and elevation policy.
#include "control/registration.h"

#include <olectl.h>
#include <shlwapi.h>

#include <string>

#include "common/framework/com.h"
#include "common/framework/handle.h"
#include "common/registry.h"
#include "control/resource.h"
#include "control/zuac_module.h"
#include "control/zuax_ids.h"

namespace {

constexpr wchar_t kCatSafeForScripting[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
constexpr wchar_t kCatSafeForInitializing[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
constexpr wchar_t kPreApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\";
constexpr wchar_t kElevationPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\";
constexpr ULONGLONG kElevationPolicy = 3;  // silently elevate, as a medium-integrity process

std::wstring GuidText(REFGUID guid) {
  wchar_t text[64];
  int n = ::StringFromGUID2(guid, text, 64);
  return n > 0 ? std::wstring(text) : std::wstring();
}

std::wstring ModuleString(UINT id) {
  const wchar_t* text = nullptr;
  int n = ::LoadStringW(CZUAXApp::Instance().module(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 && text ? std::wstring(text, n) : std::wstring();
}

bool CreateEmptyKey(HKEY root, const std::wstring& subkey) {
  zu::UniqueRegKey key;
  return ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}

bool DeleteTree(HKEY root, const std::wstring& subkey) {
  DWORD r = ::SHDeleteKeyW(root, subkey.c_str());
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

// In-process server entries shared by both classes.
bool RegisterInprocClass(const std::wstring& clsid_key, const std::wstring& name,
                         const std::wstring& module_path) {
  return RegWriteString(HKEY_CLASSES_ROOT, clsid_key, L"", name) &&
         RegWriteString(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", L"", module_path) &&
         RegWriteString(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", L"ThreadingModel",
                        L"Apartment");
}

bool RegisterControlClass(const std::wstring& module_path) {
  const std::wstring clsid = GuidText(CLSID_ZUAX);
  const std::wstring key = L"CLSID\\" + clsid;
  const std::wstring name = ModuleString(IDS_ZUAX);
  if (clsid.empty() || name.empty()) return false;
  return RegisterInprocClass(key, name, module_path) &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\ProgID", L"", kZuaxProgId) &&
         CreateEmptyKey(HKEY_CLASSES_ROOT, key + L"\\Control") &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\ToolboxBitmap32", L"",
                        module_path + L", " + std::to_wstring(IDB_ZUAX)) &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\MiscStatus", L"", L"0") &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\MiscStatus\\1", L"",
                        std::to_wstring(kZuaxMiscStatus)) &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\TypeLib", L"", GuidText(LIBID_ZUAXLib)) &&
         RegWriteString(HKEY_CLASSES_ROOT, key + L"\\Version", L"",
                        std::to_wstring(kZuaxTypeLibMajor) + L"." +
                            std::to_wstring(kZuaxTypeLibMinor)) &&
         RegWriteString(HKEY_CLASSES_ROOT, kZuaxProgId, L"", name) &&
         RegWriteString(HKEY_CLASSES_ROOT, std::wstring(kZuaxProgId) + L"\\CLSID", L"", clsid);
}

bool RegisterPropPageClass(const std::wstring& module_path) {
  const std::wstring name = ModuleString(IDS_ZUAX_PPG);
  if (name.empty()) return false;
  return RegisterInprocClass(L"CLSID\\" + GuidText(CLSID_ZUAXPropPage), name, module_path);
}

bool UnregisterClasses() {
  bool ok = DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ZUAX));
  ok = DeleteTree(HKEY_CLASSES_ROOT, kZuaxProgId) && ok;
  ok = DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ZUAXPropPage)) && ok;
  return ok;
}

}  // namespace

HRESULT RegisterZuaxServer() {
  const std::wstring module_path = CZUAXApp::Instance().ModulePath();
  if (module_path.empty()) return SELFREG_E_TYPELIB;

  zu::ComPtr<ITypeLib> lib;
  std::wstring typelib_path = module_path;  // RegisterTypeLib takes a mutable string
  if (FAILED(LoadZuaxTypeLib(lib.put())) ||
      FAILED(::RegisterTypeLib(lib.get(), typelib_path.data(), nullptr)))
    return SELFREG_E_TYPELIB;

  if (!RegisterControlClass(module_path) || !RegisterPropPageClass(module_path))
    return SELFREG_E_CLASS;

  // Best effort from here on: a user who may not write HKEY_LOCAL_MACHINE
  // still gets a working registration, only without the browser's policy.
  const std::wstring clsid = GuidText(CLSID_ZUAX);
  const std::wstring categories = L"CLSID\\" + clsid + L"\\Implemented Categories\\";
  const struct {
    HKEY root;
    std::wstring subkey;
  } policy_keys[] = {
      {HKEY_CLASSES_ROOT, categories + kCatSafeForScripting},
      {HKEY_CLASSES_ROOT, categories + kCatSafeForInitializing},
      {HKEY_LOCAL_MACHINE, kPreApprovedKey + clsid},
      {HKEY_LOCAL_MACHINE, kElevationPolicyKey + clsid},
  };
  zu::UniqueRegKey created[4];
  for (int i = 0; i < 4; ++i)
    if (::RegCreateKeyExW(policy_keys[i].root, policy_keys[i].subkey.c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, created[i].put(),
                          nullptr) != ERROR_SUCCESS)
      created[i].reset();
  if (created[3]) {
    ULONGLONG policy = kElevationPolicy;
    ::RegSetValueExW(created[3].get(), L"Policy", 0, REG_QWORD,
                     reinterpret_cast<const BYTE*>(&policy), sizeof(policy));
  }
  return S_OK;
}

HRESULT UnregisterZuaxServer() {
  if (FAILED(::UnRegisterTypeLib(LIBID_ZUAXLib, kZuaxTypeLibMajor, kZuaxTypeLibMinor,
                                 kZuaxTypeLibLcid, SYS_WIN32)))
    return SELFREG_E_TYPELIB;
  if (!UnregisterClasses()) return SELFREG_E_CLASS;
  const std::wstring clsid = GuidText(CLSID_ZUAX);
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, (kPreApprovedKey + clsid).c_str());
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, (kElevationPolicyKey + clsid).c_str());
  return S_OK;
}
