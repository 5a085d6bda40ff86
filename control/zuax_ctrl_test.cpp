// The control hosted in this process by a small container of our own:
// type library, dispatch, COM interfaces, prologues and the small methods.
// The host page check is switched on and off with "C:\Update\Debug.ini".
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/framework/com.h"
#include "common/framework/handle.h"
#include "control/class_factory.h"
#include "control/ctrl_frame.h"
#include "control/registered_strings.h"
#include "control/zuac_module.h"
#include "control/zuax_ids.h"
#include "tests/support/files.h"
#include "tests/support/registry.h"
#include "tests/support/text.h"

namespace {

using zu::test::ReadFileBytes;
using zu::test::WriteFileBytes;

// The debug file is away during a test, unless the test writes one.
using DebugIni = zu::test::DebugFileAside;

zu::ComPtr<IDispatch> CreateControl() {
  zu::ComPtr<IClassFactory> factory;
  EXPECT_EQ(CreateZuaxClassObject(CLSID_ZUAX, IID_IClassFactory, factory.put_void()), S_OK);
  zu::ComPtr<IDispatch> disp;
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, disp.put_void()), S_OK);
  }
  return disp;
}

DISPID IdOf(IDispatch* disp, const std::wstring& name) {
  std::wstring n = name;
  LPOLESTR names[] = {n.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = disp->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
  return SUCCEEDED(hr) ? id : DISPID_UNKNOWN;
}

// Arguments in call order; VARIANTs owned by the caller.
struct CallResult {
  HRESULT hr;
  VARIANT value;
  ~CallResult() { ::VariantClear(&value); }
};

void CallByName(IDispatch* disp, const std::wstring& name, std::vector<VARIANT> args,
                CallResult* out, WORD flags = DISPATCH_METHOD) {
  ::VariantInit(&out->value);
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                       static_cast<UINT>(reversed.size()), 0};
  UINT arg_err = 0;
  DISPID id = IdOf(disp, name);
  out->hr = id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME
                                 : disp->Invoke(id, IID_NULL, 0x409, flags, &params, &out->value,
                                                nullptr, &arg_err);
  for (VARIANT& v : args) ::VariantClear(&v);
}

VARIANT Str(const std::wstring& s) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return v;
}
VARIANT Num(double d) {
  VARIANT v;
  V_VT(&v) = VT_R8;
  V_R8(&v) = d;
  return v;
}
VARIANT Int(long n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

// Answers of one call, checked for their automation type.
bool CallBool(IDispatch* d, const std::wstring& name, std::vector<VARIANT> args = {}) {
  CallResult r;
  CallByName(d, name, std::move(args), &r);
  EXPECT_EQ(r.hr, S_OK) << std::string(name.begin(), name.end());
  EXPECT_EQ(V_VT(&r.value), VT_BOOL) << std::string(name.begin(), name.end());
  return V_BOOL(&r.value) != VARIANT_FALSE;
}
std::wstring CallString(IDispatch* d, const std::wstring& name, std::vector<VARIANT> args = {}) {
  CallResult r;
  CallByName(d, name, std::move(args), &r);
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(V_VT(&r.value), VT_BSTR);
  return V_VT(&r.value) == VT_BSTR && V_BSTR(&r.value)
             ? std::wstring(V_BSTR(&r.value), ::SysStringLen(V_BSTR(&r.value)))
             : std::wstring();
}
long CallLastError(IDispatch* d) {
  CallResult r;
  CallByName(d, L"GetLastError", {}, &r);
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(V_VT(&r.value), VT_I4);
  return V_I4(&r.value);
}
void CallSetLastError(IDispatch* d, long code) {
  CallResult r;
  CallByName(d, L"SetLastError", {Int(code)}, &r);
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(V_VT(&r.value), VT_EMPTY);
}

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.ok());
    ctrl_ = CreateControl();
    ASSERT_TRUE(ctrl_);
  }
  zu::ComInit com_;
  DebugIni debug_;
  zu::ComPtr<IDispatch> ctrl_;
};

// --- Type library -----------------------------------------------------------------

struct MethodRow {
  DISPID id;
  const wchar_t* name;
  std::vector<const wchar_t*> params;
  VARTYPE result;
};

const std::vector<MethodRow>& MethodTable() {
  static const std::vector<MethodRow> rows = {
      {1, L"GetBIOSVersion", {}, VT_BSTR},
      {2, L"SearchSPID", {L"bstrSPID"}, VT_I4},
      {3, L"EnumSPID", {L"ulid"}, VT_BSTR},
      {4, L"GetDriverVersion", {L"bstrHWID"}, VT_BSTR},
      {5, L"GetDriverDate", {L"bstrHWID"}, VT_BSTR},
      {6, L"GetFileVersion", {L"bstrFilePath"}, VT_BSTR},
      {7, L"GetFileLastWriteTime", {L"bstrFilePath"}, VT_BSTR},
      {8, L"GetModelCode", {}, VT_BSTR},
      {9, L"GetSerialNumber", {}, VT_BSTR},
      {10, L"GetRegistryInfo", {L"bstrRegKey", L"strRegValue"}, VT_BSTR},
      {11, L"ReadVersionTXT", {L"bstrFilePath"}, VT_BSTR},
      {12, L"StartDownload", {}, VT_VOID},
      {13, L"IsDownloaded", {L"bstrFilePath"}, VT_I4},
      {14, L"SearchDriveInfo", {L"bstrVender", L"bstrProduct", L"bstrRevision", L"bstrVenderSpecific"}, VT_I4},
      {15, L"AddModuleInfo", {L"bstrURL", L"LLSize", L"bstrDispName", L"bAutoExec", L"bstrInstallerOption"}, VT_I4},
      {16, L"ClearModuleList", {}, VT_I4},
      {17, L"ReadApplicationVersionTXT", {L"bstrAppName"}, VT_BSTR},
      {18, L"SearchRegistry", {L"bstrRegKey", L"bstrRegValue"}, VT_I4},
      {19, L"SearchModelCode", {L"bstrRange"}, VT_I4},
      {20, L"SearchSerialNumber", {L"bstrRange"}, VT_I4},
      {21, L"GetSelfVersion", {}, VT_BSTR},
      {22, L"CheckOSVersion", {L"lpParam"}, VT_I4},
      {23, L"ShowInstaller", {L"lpURL"}, VT_I4},
      {24, L"GetDebugRegistry", {L"bstrValue"}, VT_BSTR},
      {25, L"SetDebugRegistry", {L"bstrValue", L"bstrData"}, VT_VOID},
      {26, L"GetLastError", {}, VT_I4},
      {27, L"SetLastError", {L"lError"}, VT_VOID},
      {28, L"SearchModelCodeAndSerialNum", {L"lpParam"}, VT_I4},
      {29, L"RegisterString", {L"uID", L"string"}, VT_I4},
      {30, L"GetSystemDefaultLCID", {}, VT_UI4},
      {31, L"GetModelName", {}, VT_BSTR},
      {32, L"IsAdmin", {}, VT_I4},
      {33, L"SetUnCheckItem", {L"bstrValue"}, VT_I4},
      {34, L"ResetUnCheckItem", {nullptr}, VT_I4},
      {35, L"DeletePatchListFile", {}, VT_I4},
      {36, L"DeletePatchFile", {L"bstrItem"}, VT_I4},
      {37, L"GetExecutedPatches", {}, VT_BSTR},
      {38, L"SearchBIOSVersionEx", {L"lpParam", L"bstrReverse"}, VT_I4},
      {39, L"SearchDriverVersionEx", {L"bstrHWID", L"bstrDriverVersion", L"bstrReverse"}, VT_I4},
      {40, L"SearchDriverDateEx", {L"bstrHWID", L"bstrDriverDate", L"bstrReverse"}, VT_I4},
      {41, L"SearchFileVersionEx", {L"bstrFilePath", L"bstrFileVersion", L"bstrReverse"}, VT_I4},
      {42, L"SearchFileLastWriteTimeEx", {L"bstrSPID", L"bstrFileLastWriteTime", L"bstrReverse"}, VT_I4},
      {43, L"SearchRegistryInfoEx", {L"bstrRegPath", L"bstrRegKey", L"bstrRegValue", L"bstrReverse"}, VT_I4},
      {44, L"SearchVersionTXTEx", {L"bstrSPID", L"bstrVersionTXT", L"bstrReverse"}, VT_I4},
      {45, L"SearchApplicationVersionTXTEx", {L"bstrSPID", L"bstrApplicationVersionTXT", L"bstrReverse"}, VT_I4},
      {46, L"SearchModelNameEx", {L"bstrSPID", L"bstrReverse"}, VT_I4},
      {47, L"IsUnChecked", {nullptr}, VT_I4},
      {48, L"SearchDriveInfoEx", {L"bstrVender", L"bstrProduct", L"bstrRevision", L"bstrVenderSpecific", L"bstrReverse"}, VT_I4},
      {49, L"SearchRegistryEx", {L"bstrRegPath", L"bstrRegName", L"bstrReverse"}, VT_I4},
      {50, L"SearchSPIDEx", {L"bstrSPID", L"bstrReverse"}, VT_I4},
      {51, L"SearchOSVersionEx", {L"lpParam", L"bstrReverse"}, VT_I4},
      {52, L"SearchModelCodeAndSerialNumEx", {L"lpParam", L"bstrReverse"}, VT_I4},
      {53, L"AddModuleInfoEx", {L"bstrSPID", L"bstrURL", L"LLSize", L"bstrDispName", L"bAutoExec", L"bstrInstallerOption", L"bstrInstallParam", L"bUnintallFlag", L"bUninstallPath", L"bUninstallReboot", L"bInstallReboot", L"bBoundingFlag"}, VT_I4},
      {54, L"UpdateToLatestVersion", {L"bstrNewVersion", L"bstrPatch", L"bstrFailedURL", L"ULSize"}, VT_I4},
      {55, L"ZUMutexLock", {}, VT_I4},
      {56, L"ZUMutexUnLock", {}, VT_I4},
      {57, L"IsFileExist", {L"bstrFilePath"}, VT_I4},
      {58, L"GetProcessorArchitecture", {}, VT_UI4},
  };
  return rows;
}

using zu::test::Utf8;

TEST(TypeLibraryTest, LibraryIsZuaxLibFourZeroForEnglishAndAControlLibrary) {
  zu::ComInit com;
  zu::ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadZuaxTypeLib(lib.put()), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_ZUAXLib));
  EXPECT_EQ(attr->wMajorVerNum, 4);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0x409u);
  EXPECT_TRUE(attr->wLibFlags & LIBFLAG_FCONTROL);
  lib->ReleaseTLibAttr(attr);
  zu::Bstr name;
  ASSERT_EQ(lib->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.str(), L"ZUAXLib");

  zu::ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_ZUAX, coclass.put()), S_OK);
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.str(), L"ZUAX");
  zu::ComPtr<ITypeInfo> events;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID__DZUAXEvents, events.put()), S_OK);
  TYPEATTR* ta = nullptr;
  ASSERT_EQ(events->GetTypeAttr(&ta), S_OK);
  EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
  EXPECT_EQ(ta->cFuncs, 0);
  events->ReleaseTypeAttr(ta);
}

TEST(TypeLibraryTest, DispatchInterfaceHasTheFiftyEightMethodsAsTabled) {
  zu::ComInit com;
  zu::ComPtr<ITypeInfo> info;
  ASSERT_EQ(LoadZuaxTypeInfo(DIID__DZUAX, info.put()), S_OK);
  TYPEATTR* ta = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&ta), S_OK);
  EXPECT_EQ(ta->typekind, TKIND_DISPATCH);
  EXPECT_EQ(ta->cVars, 0);  // no properties
  UINT funcs = ta->cFuncs;
  info->ReleaseTypeAttr(ta);

  std::vector<bool> seen(59, false);
  for (UINT i = 0; i < funcs; ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &fd), S_OK);
    if (fd->memid >= 1 && fd->memid <= 58) {
      const MethodRow& row = MethodTable()[fd->memid - 1];
      ASSERT_EQ(row.id, fd->memid);
      seen[fd->memid] = true;
      BSTR names[16] = {};
      UINT got = 0;
      ASSERT_EQ(info->GetNames(fd->memid, names, 16, &got), S_OK);
      EXPECT_EQ(std::wstring(names[0]), row.name);
      EXPECT_EQ(fd->cParams, static_cast<SHORT>(row.params.size())) << Utf8(row.name);
      for (std::size_t p = 0; p < row.params.size(); ++p) {
        if (row.params[p]) {
          ASSERT_LT(p + 1, got) << Utf8(row.name);
          EXPECT_EQ(std::wstring(names[p + 1]), row.params[p]) << Utf8(row.name);
        }
      }
      for (UINT n = 0; n < got; ++n) ::SysFreeString(names[n]);
      EXPECT_EQ(fd->elemdescFunc.tdesc.vt, row.result) << Utf8(row.name);
    }
    info->ReleaseFuncDesc(fd);
  }
  for (DISPID id = 1; id <= 58; ++id) EXPECT_TRUE(seen[id]) << id;

  // The 64-bit sizes: LLSize signed, ULSize unsigned.
  auto param_vt = [&](DISPID id, int index) {
    for (UINT i = 0; i < funcs; ++i) {
      FUNCDESC* fd = nullptr;
      info->GetFuncDesc(i, &fd);
      VARTYPE vt = VT_EMPTY;
      if (fd->memid == id) vt = fd->lprgelemdescParam[index].tdesc.vt;
      info->ReleaseFuncDesc(fd);
      if (vt != VT_EMPTY) return vt;
    }
    return static_cast<VARTYPE>(VT_EMPTY);
  };
  EXPECT_EQ(param_vt(15, 1), VT_I8);
  EXPECT_EQ(param_vt(53, 2), VT_I8);
  EXPECT_EQ(param_vt(54, 3), VT_UI8);
  EXPECT_EQ(param_vt(3, 0), VT_UI4);
  EXPECT_EQ(param_vt(29, 0), VT_I4);
}

// --- Dispatch ------------------------------------------------------------------------

TEST_F(ControlTest, EveryNameResolvesToItsIdWhateverItsCase) {
  for (const MethodRow& row : MethodTable()) {
    std::wstring name = row.name;
    EXPECT_EQ(IdOf(ctrl_.get(), name), row.id) << Utf8(name);
    std::wstring lower = name, upper = name;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(::towlower(c));
    for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
    EXPECT_EQ(IdOf(ctrl_.get(), lower), row.id) << Utf8(lower);
    EXPECT_EQ(IdOf(ctrl_.get(), upper), row.id) << Utf8(upper);
  }
  EXPECT_EQ(IdOf(ctrl_.get(), L"GetBIOSVersions"), DISPID_UNKNOWN);
  EXPECT_EQ(IdOf(ctrl_.get(), L""), DISPID_UNKNOWN);
}

TEST_F(ControlTest, WrongArgumentCountsAreRefusedForEveryMethod) {
  for (const MethodRow& row : MethodTable()) {
    for (std::size_t count : {row.params.size() + 1, row.params.size() ? row.params.size() - 1 : 2}) {
      std::vector<VARIANT> args;
      for (std::size_t i = 0; i < count; ++i) args.push_back(Str(L"0"));
      CallResult r;
      CallByName(ctrl_.get(), row.name, std::move(args), &r);
      EXPECT_EQ(r.hr, DISP_E_BADPARAMCOUNT) << Utf8(row.name) << " with " << count;
    }
  }
}

TEST_F(ControlTest, ArgumentsAreCoercedLikeAutomation) {
  debug_.AllowEveryPage();
  // A number for a string, a string of digits for an integer.
  {
    CallResult r;
    CallByName(ctrl_.get(), L"RegisterString", {Str(L"300"), Num(42)}, &r);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(RegisteredString(300), L"42");
  }
  {
    CallResult r;
    CallByName(ctrl_.get(), L"RegisterString", {Str(L"not a number"), Str(L"x")}, &r);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
  }
  {
    // 5000000000 does not fit the 32-bit uID...
    CallResult r;
    CallByName(ctrl_.get(), L"RegisterString", {Num(5000000000.0), Str(L"x")}, &r);
    EXPECT_EQ(r.hr, DISP_E_OVERFLOW);
  }
  for (const wchar_t* name : {L"AddModuleInfo"}) {
    // ...but fits the 64-bit sizes.
    CallResult r;
    CallByName(ctrl_.get(), name,
               {Str(L"http://x/a.exe"), Num(5000000000.0), Str(L"A"), Num(1), Str(L"")}, &r);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(V_VT(&r.value), VT_BOOL);
  }
  {
    CallResult r;
    CallByName(ctrl_.get(), L"UpdateToLatestVersion",
               {Str(L"4.1"), Str(L"http://x/p.exe"), Str(L"http://x/f"), Num(5000000000.0)}, &r);
    EXPECT_EQ(r.hr, S_OK);
  }
  {
    // An object where a string is wanted.
    VARIANT v;
    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = nullptr;
    CallResult r;
    CallByName(ctrl_.get(), L"IsFileExist", {v}, &r);
    EXPECT_NE(r.hr, S_OK);
  }
  {
    // Properties do not exist; a member id past the table is unknown.
    CallResult r;
    CallByName(ctrl_.get(), L"GetSelfVersion", {}, &r, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(r.hr, DISP_E_MEMBERNOTFOUND);
    VARIANT result;
    ::VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(ctrl_->Invoke(59, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(ctrl_->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
  }
  ClearRegisteredStrings();
}

TEST_F(ControlTest, NamedArgumentsFindTheirParameters) {
  debug_.AllowEveryPage();
  VARIANT args[2] = {Str(L"named"), Int(301)};  // string, then uID
  DISPID named[2] = {1, 0};
  DISPPARAMS params = {args, named, 2, 2};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(ctrl_->Invoke(29, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(V_VT(&result), VT_BOOL);
  EXPECT_EQ(RegisteredString(301), L"named");
  DISPID wrong[2] = {1, 7};
  params.rgdispidNamedArgs = wrong;
  EXPECT_EQ(ctrl_->Invoke(29, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  for (VARIANT& v : args) ::VariantClear(&v);
  ClearRegisteredStrings();
}

// --- Prologues and the refused page -------------------------------------------------

TEST_F(ControlTest, RefusedPageGetsRefusedResultsOfEveryType) {
  SetZuLastError(0x20000007);
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsAdmin"));
  EXPECT_EQ(CallString(ctrl_.get(), L"GetSelfVersion"), L"");
  {
    CallResult r;
    CallByName(ctrl_.get(), L"GetProcessorArchitecture", {}, &r);
    EXPECT_EQ(V_VT(&r.value), VT_UI4);
    EXPECT_EQ(V_UI4(&r.value), 0u);
  }
  {
    CallResult r;
    CallByName(ctrl_.get(), L"GetSystemDefaultLCID", {}, &r);
    EXPECT_EQ(V_VT(&r.value), VT_UI4);
    EXPECT_EQ(V_UI4(&r.value), 0u);
  }
  {
    CallResult r;
    CallByName(ctrl_.get(), L"StartDownload", {}, &r);
    EXPECT_EQ(V_VT(&r.value), VT_BOOL);
  }
  EXPECT_FALSE(CallBool(ctrl_.get(), L"RegisterString", {Int(100), Str(L"x")}));
  EXPECT_EQ(RegisteredString(100), L"");
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(L"C:\\windows")}));
  EXPECT_EQ(CallLastError(ctrl_.get()), -1);
  CallSetLastError(ctrl_.get(), 5);
  // The library's code stayed as it was all along.
  EXPECT_EQ(ZuLastError(), 0x20000007);
}

TEST_F(ControlTest, RefusedPageCannotTakeTheWorkingMutex) {
  EXPECT_FALSE(CallBool(ctrl_.get(), L"ZUMutexLock"));
  HANDLE h = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZEFO Update ActiveX Mutex");
  EXPECT_EQ(h, nullptr);
  if (h) ::CloseHandle(h);
  EXPECT_FALSE(CallBool(ctrl_.get(), L"ZUMutexUnLock"));
}

TEST_F(ControlTest, MatchingMethodsApplyTheReverseFlagToARefusal) {
  SetZuLastError(0x20000007);
  EXPECT_TRUE(CallBool(ctrl_.get(), L"SearchFileVersionEx", {Str(L"C:\\a"), Str(L"1"), Str(L"1")}));
  EXPECT_EQ(ZuLastError(), 0);  // cleared before the check
  EXPECT_FALSE(CallBool(ctrl_.get(), L"SearchSPIDEx", {Str(L"X"), Str(L"0")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"SearchSPIDEx", {Str(L"X"), Str(L"")}));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"SearchDriveInfoEx",
                       {Str(L"a"), Str(L"b"), Str(L"c"), Str(L"d"), Str(L"1")}));
  // An invalid flag answers FALSE with "invalid argument", even reversed.
  for (const wchar_t* flag : {L"yes", L"2", L" 1", L"01", L"true"}) {
    SetZuLastError(0);
    EXPECT_FALSE(CallBool(ctrl_.get(), L"SearchModelNameEx", {Str(L"M"), Str(flag)}));
    EXPECT_EQ(ZuLastError(), 0x20000015) << Utf8(flag);
  }
}

TEST_F(ControlTest, RetiredSearchesAnswerFalseAndClearTheCodeEvenWhenRefused) {
  for (const wchar_t* name : {L"SearchModelCode", L"SearchSerialNumber"}) {
    SetZuLastError(0x20000015);
    EXPECT_FALSE(CallBool(ctrl_.get(), name, {Str(L"1-999999")}));
    EXPECT_EQ(ZuLastError(), 0);
  }
  debug_.AllowEveryPage();
  EXPECT_FALSE(CallBool(ctrl_.get(), L"SearchModelCode", {Str(L"*")}));
}

TEST_F(ControlTest, SearchDriveInfoAsksForAnAdministratorFirst) {
  // Wine's user is an administrator, so the host check decides here.
  SetZuLastError(0x20000007);
  EXPECT_FALSE(CallBool(ctrl_.get(), L"SearchDriveInfo", {Str(L"a"), Str(L"b"), Str(L"c"), Str(L"d")}));
  EXPECT_EQ(ZuLastError(), 0);
}

// --- Last-error convention --------------------------------------------------------------

TEST_F(ControlTest, GetLastErrorBeforeAnythingWasSetTakesTheThreadsCodeAndKeepsIt) {
  debug_.AllowEveryPage();
  SetZuLastError(kZuErrorNeverSet);
  // Resolve the name first: the type library's lookup may touch the
  // thread's last-error itself.
  DISPID id = IdOf(ctrl_.get(), L"GetLastError");
  auto call = [&] {
    VARIANT result;
    ::VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(ctrl_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    return V_I4(&result);
  };
  ::SetLastError(1234);
  EXPECT_EQ(call(), 1234);
  ::SetLastError(99);
  EXPECT_EQ(call(), 1234);
}

TEST_F(ControlTest, SetLastErrorStoresInTheLibraryAndTheThread) {
  debug_.AllowEveryPage();
  CallSetLastError(ctrl_.get(), 0x20000009);
  EXPECT_EQ(::GetLastError(), 0x20000009u);
  EXPECT_EQ(CallLastError(ctrl_.get()), 0x20000009);
  // Shared by every control of the process.
  zu::ComPtr<IDispatch> other = CreateControl();
  EXPECT_EQ(CallLastError(other.get()), 0x20000009);
  // A plain method that passes its prologue clears it.
  EXPECT_TRUE(CallBool(other.get(), L"IsAdmin"));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0);
}

// --- Registered strings -------------------------------------------------------------------

TEST_F(ControlTest, RegisterStringFillsOnlyRealSlots) {
  debug_.AllowEveryPage();
  ClearRegisteredStrings();
  EXPECT_TRUE(CallBool(ctrl_.get(), L"RegisterString", {Int(504), Str(L"Restart now?")}));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"RegisterString", {Int(100), Str(L"ZEFO")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"RegisterString", {Int(102), Str(L"x")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"RegisterString", {Int(100), Str(L"")}));
  EXPECT_EQ(RegisteredString(504), L"Restart now?");
  EXPECT_EQ(RegisteredString(100), L"ZEFO");
  EXPECT_EQ(RegisteredString(102), L"");
  // Texts outlive the control that registered them.
  ctrl_.reset();
  zu::ComPtr<IDispatch> next = CreateControl();
  EXPECT_TRUE(CallBool(next.get(), L"RegisterString", {Int(100), Str(L"Again")}));
  EXPECT_EQ(RegisteredString(100), L"Again");
  EXPECT_EQ(RegisteredString(504), L"Restart now?");
  ClearRegisteredStrings();
}

// --- Working mutex --------------------------------------------------------------------------

bool MutexExists() {
  HANDLE h = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZEFO Update ActiveX Mutex");
  if (h) ::CloseHandle(h);
  return h != nullptr;
}

TEST_F(ControlTest, WorkingMutexBelongsToOneControlAtATime) {
  debug_.AllowEveryPage();
  ASSERT_FALSE(MutexExists());
  zu::ComPtr<IDispatch> second = CreateControl();
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ZUMutexLock"));
  EXPECT_TRUE(MutexExists());
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ZUMutexLock"));  // already held
  EXPECT_EQ(CallLastError(ctrl_.get()), 0);
  EXPECT_FALSE(CallBool(second.get(), L"ZUMutexLock"));
  EXPECT_EQ(CallLastError(second.get()), 0x20000017);
  EXPECT_TRUE(CallBool(second.get(), L"ZUMutexUnLock"));  // holds nothing: still TRUE
  EXPECT_TRUE(MutexExists());

  EXPECT_TRUE(CallBool(ctrl_.get(), L"ZUMutexUnLock"));
  EXPECT_FALSE(MutexExists());
  EXPECT_TRUE(CallBool(second.get(), L"ZUMutexLock"));
  // Destroying the holder lets the mutex go.
  second.reset();
  EXPECT_FALSE(MutexExists());
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ZUMutexLock"));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ZUMutexUnLock"));
}

// --- Machine and file tests -------------------------------------------------------------------

std::wstring TempDir() {
  wchar_t buf[MAX_PATH];
  DWORD n = ::GetTempPathW(MAX_PATH, buf);
  std::wstring dir(buf, n);
  if (!dir.empty() && dir.back() == L'\\') dir.pop_back();
  return dir;
}

TEST_F(ControlTest, IsFileExistAcceptsFilesFoldersAndPatternsBelow260Characters) {
  debug_.AllowEveryPage();
  std::wstring base = TempDir() + L"\\zuax_exist";
  ::CreateDirectoryW(base.c_str(), nullptr);
  // A folder path that leaves room for a file name of any wanted length.
  std::wstring dir = base + L"\\" + std::wstring(200 - base.size() - 1, L'd');
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_EQ(dir.size(), 200u);
  std::wstring file259 = dir + L"\\" + std::wstring(259 - 201 - 4, L'f') + L".txt";
  std::wstring file260 = dir + L"\\" + std::wstring(260 - 201 - 4, L'g') + L".txt";
  ASSERT_EQ(file259.size(), 259u);
  ASSERT_EQ(file260.size(), 260u);
  for (const std::wstring& f : {file259, file260}) {
    HANDLE h = ::CreateFileW((L"\\\\?\\" + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << f.size();
    ::CloseHandle(h);
  }

  EXPECT_TRUE(CallBool(ctrl_.get(), L"IsFileExist", {Str(file259)}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(file260)}));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"IsFileExist", {Str(dir)}));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"IsFileExist", {Str(dir + L"\\*.txt")}));
  EXPECT_TRUE(CallBool(ctrl_.get(), L"IsFileExist", {Str(dir + L"\\f?f*")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(dir + L"\\*.exe")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(dir + L"\\missing.txt")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(L"")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"IsFileExist", {Str(std::wstring(300, L'a'))}));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0);

  for (const std::wstring& f : {file259, file260}) ::DeleteFileW((L"\\\\?\\" + f).c_str());
  ::RemoveDirectoryW(dir.c_str());
  ::RemoveDirectoryW(base.c_str());
}

TEST_F(ControlTest, IsAdminAndProcessorWidthInThisPrefix) {
  debug_.AllowEveryPage();
  EXPECT_TRUE(CallBool(ctrl_.get(), L"IsAdmin"));  // Wine's user is an administrator
  CallResult r;
  CallByName(ctrl_.get(), L"GetProcessorArchitecture", {}, &r);
  ASSERT_EQ(V_VT(&r.value), VT_UI4);
  EXPECT_EQ(V_UI4(&r.value), 32u);  // the lab's prefix is 32-bit
}

TEST_F(ControlTest, DebugRegistryPairDoesNothing) {
  debug_.AllowEveryPage();
  SetZuLastError(0x20000007);
  CallResult r;
  CallByName(ctrl_.get(), L"SetDebugRegistry", {Str(L"Name"), Str(L"Data")}, &r);
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(CallString(ctrl_.get(), L"GetDebugRegistry", {Str(L"Name")}), L"");
  EXPECT_EQ(CallLastError(ctrl_.get()), 0);
}

TEST_F(ControlTest, SelfVersionComesFromTheDebugFileOrTheLoadedLibrary) {
  // This test program is not ZUAC.dll, so until that is loaded there is no version.
  debug_.AllowEveryPage();
  EXPECT_EQ(CallString(ctrl_.get(), L"GetSelfVersion"), L"");
  debug_.Write("[General]\r\nIgnoreURLCheck=1\r\nSelfVersion=9.8.7.6\r\n");
  EXPECT_EQ(CallString(ctrl_.get(), L"GetSelfVersion"), L"9.8.7.6");

  debug_.AllowEveryPage();
  HMODULE dll = ::LoadLibraryW(L"ZUAC.dll");
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(CallString(ctrl_.get(), L"GetSelfVersion"), L"" ZU_TEST_VERSION);
  ::FreeLibrary(dll);
}

// --- Opening a downloaded module's folder -------------------------------------------------

const wchar_t kIexploreKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

TEST_F(ControlTest, ShowInstallerOpensTheModuleFolderWithTheRegisteredBrowser) {
  debug_.AllowEveryPage();
  zu::test::KeySnapshot browser(HKEY_LOCAL_MACHINE, kIexploreKey);
  std::wstring record = TempDir() + L"\\zuax_show_record.txt";
  ::DeleteFileW(record.c_str());
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", record.c_str());
  ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, kIexploreKey, L"",
                                      zu::test::BinDir() + L"\\zurecord.exe"));

  EXPECT_FALSE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"")}));
  EXPECT_FALSE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"http://dl.example/NoSuch.exe")}));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0x20000005);
  EXPECT_FALSE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"http://dl.example/nodot")}));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0x20000005);
  // A folder where the module's file should be does not count.
  ::CreateDirectoryW(L"C:\\Update\\zuaxdir", nullptr);
  ::CreateDirectoryW(L"C:\\Update\\zuaxdir\\zuaxdir.exe", nullptr);
  EXPECT_FALSE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"http://dl.example/zuaxdir.exe")}));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0x20000005);

  ::CreateDirectoryW(L"C:\\Update\\zuaxshow", nullptr);
  WriteFileBytes(L"C:\\Update\\zuaxshow\\zuaxshow.exe", "MZ");
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"http://dl.example/p/zuaxshow.exe")}));
  EXPECT_EQ(CallLastError(ctrl_.get()), 0);
  std::string line;
  for (int i = 0; i < 1200 && line.find('\n') == std::string::npos; ++i) {
    ::Sleep(100);
    line = ReadFileBytes(record);
  }
  EXPECT_NE(line.find("\"C:\\Update\\zuaxshow\""), std::string::npos) << line;
  EXPECT_EQ(line.find("zuaxshow.exe"), std::string::npos) << line;  // the folder, not the file

  // A folder with blanks stays one argument.
  ::DeleteFileW(record.c_str());
  ::CreateDirectoryW(L"C:\\Update\\zuax show", nullptr);
  WriteFileBytes(L"C:\\Update\\zuax show\\zuax show.exe", "MZ");
  EXPECT_TRUE(CallBool(ctrl_.get(), L"ShowInstaller", {Str(L"http://dl.example/p/zuax show.exe")}));
  line.clear();
  for (int i = 0; i < 1200 && line.find('\n') == std::string::npos; ++i) {
    ::Sleep(100);
    line = ReadFileBytes(record);
  }
  EXPECT_NE(line.find("zurecord.exe\" \"C:\\Update\\zuax show\""), std::string::npos) << line;
  ::DeleteFileW(L"C:\\Update\\zuax show\\zuax show.exe");
  ::RemoveDirectoryW(L"C:\\Update\\zuax show");

  ::DeleteFileW(L"C:\\Update\\zuaxshow\\zuaxshow.exe");
  ::RemoveDirectoryW(L"C:\\Update\\zuaxshow");
  ::RemoveDirectoryW(L"C:\\Update\\zuaxdir\\zuaxdir.exe");
  ::RemoveDirectoryW(L"C:\\Update\\zuaxdir");
  ::DeleteFileW(record.c_str());
}

// Everything under C:\Update, path by path, with each file's bytes.
std::vector<std::pair<std::wstring, std::string>> UpdateFolderContents(const std::wstring& dir) {
  std::vector<std::pair<std::wstring, std::string>> all;
  WIN32_FIND_DATAW found;
  zu::UniqueFind search(::FindFirstFileW((dir + L"\\*").c_str(), &found));
  if (!search) return all;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = dir + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      all.emplace_back(path + L"\\", "");
      for (auto& entry : UpdateFolderContents(path)) all.push_back(std::move(entry));
    } else {
      all.emplace_back(path, zu::test::ReadFileBytes(path));
    }
  } while (::FindNextFileW(search.get(), &found));
  return all;
}

// A refused page reaches no method's work, whatever the method: every
// method of the type library, called with arguments that would change
// files, slots, the mutex or start the browser if its work ran, answers
// the refused result of its type and changes nothing.
TEST_F(ControlTest, ARefusedPageReachesNothingButThePrologue) {
  ::CreateDirectoryW(L"C:\\Update", nullptr);
  ::CreateDirectoryW(L"C:\\Update\\zuaxrefused", nullptr);
  zu::test::WriteFileBytes(L"C:\\Update\\zuaxrefused\\zuaxrefused.exe", "MZ refused");
  zu::test::FileSnapshot patch_list(L"C:\\Update\\PatchList.dat");
  zu::test::FileSnapshot uncheck(L"C:\\Update\\UncheckItem.dat");
  zu::test::WriteFileBytes(L"C:\\Update\\PatchList.dat", std::string(40, '\x01'));
  zu::test::WriteFileBytes(L"C:\\Update\\UncheckItem.dat", "[UncheckItem]\r\nZUREFUSED=1\r\n");
  std::wstring record = TempDir() + L"\\zuax_refused_record.txt";
  ::DeleteFileW(record.c_str());
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", record.c_str());
  zu::test::KeySnapshot browser(HKEY_LOCAL_MACHINE, kIexploreKey);
  ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, kIexploreKey, L"",
                                      zu::test::BinDir() + L"\\zurecord.exe"));
  ClearRegisteredStrings();
  const auto before = UpdateFolderContents(L"C:\\Update");

  auto argument = [](const wchar_t* param) -> VARIANT {
    const std::wstring p = param ? param : L"";
    if (p == L"bstrURL" || p == L"lpURL" || p == L"bstrFilePath" || p == L"bstrPatch")
      return Str(L"http://dl.example/p/zuaxrefused.exe");
    if (p == L"bstrItem" || p == L"bstrSPID") return Str(L"zuaxrefused");
    if (p.empty() || p == L"bstrValue") return Str(L"ZUREFUSED");
    if (p == L"bstrReverse") return Str(L"0");
    if (p == L"LLSize" || p == L"ULSize" || p == L"uID" || p == L"lError" || p == L"ulid")
      return Int(p == L"uID" ? 100 : p == L"lError" ? 5 : 1);
    if (p == L"bAutoExec") {
      VARIANT v;
      V_VT(&v) = VT_BOOL;
      V_BOOL(&v) = VARIANT_TRUE;
      return v;
    }
    return Str(L"1");
  };
  for (const MethodRow& row : MethodTable()) {
    const std::string name = zu::test::Utf8(row.name);
    SetZuLastError(0x20000007);
    std::vector<VARIANT> args;
    for (const wchar_t* param : row.params) args.push_back(argument(param));
    CallResult r;
    CallByName(ctrl_.get(), row.name, std::move(args), &r);
    ASSERT_EQ(r.hr, S_OK) << name;
    if (row.id == 26) {  // GetLastError
      EXPECT_EQ(V_I4(&r.value), -1) << name;
    } else if (row.result == VT_BSTR) {
      EXPECT_EQ(V_VT(&r.value), VT_BSTR) << name;
      EXPECT_EQ(::SysStringLen(V_BSTR(&r.value)), 0u) << name;
    } else if (row.result == VT_UI4) {
      EXPECT_EQ(V_UI4(&r.value), 0u) << name;
    } else if (row.result == VT_I4 || row.id == 12) {
      EXPECT_EQ(V_VT(&r.value), VT_BOOL) << name;
      EXPECT_EQ(V_BOOL(&r.value), VARIANT_FALSE) << name;
    }
    // Only the frames that clear the code before the check may touch it.
    const bool matching = name.starts_with("Search") && name.ends_with("Ex");
    const bool clears_first = matching || row.id == 14 || row.id == 19 || row.id == 20;
    EXPECT_EQ(ZuLastError(), clears_first ? 0 : 0x20000007) << name;
  }
  ::Sleep(500);  // a browser started by mistake would have written by now

  EXPECT_EQ(UpdateFolderContents(L"C:\\Update"), before);
  EXPECT_FALSE(zu::test::FileExists(record)) << "the browser was started";
  for (long slot : {100L, 101L, 300L, 504L}) EXPECT_EQ(RegisteredString(slot), L"") << slot;
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZEFO Update ActiveX Mutex");
  EXPECT_EQ(mutex, nullptr);
  if (mutex) ::CloseHandle(mutex);

  ::DeleteFileW(L"C:\\Update\\zuaxrefused\\zuaxrefused.exe");
  ::RemoveDirectoryW(L"C:\\Update\\zuaxrefused");
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
}

// --- Script safety and the OLE interfaces -----------------------------------------------------

TEST_F(ControlTest, ObjectSafetyAnswersSafeForUntrustedCallersAndData) {
  zu::ComPtr<IObjectSafety> safety;
  ASSERT_EQ(ctrl_.As(&safety, IID_IObjectSafety), S_OK);
  DWORD supported = 0, enabled = 0;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 3u);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0xff, 0), S_OK);
  // The inner part is the control: same identity both ways.
  zu::ComPtr<IUnknown> a, b;
  ASSERT_EQ(safety.As(&a, IID_IUnknown), S_OK);
  ASSERT_EQ(ctrl_.As(&b, IID_IUnknown), S_OK);
  EXPECT_EQ(a.get(), b.get());
  zu::ComPtr<IDispatch> back;
  EXPECT_EQ(safety.As(&back, IID_IDispatch), S_OK);
}

TEST_F(ControlTest, DescribesItselfToContainers) {
  zu::ComPtr<IOleObject> ole;
  ASSERT_EQ(ctrl_.As(&ole, IID_IOleObject), S_OK);
  DWORD misc = 0;
  EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 0x20191u);
  CLSID clsid{};
  EXPECT_EQ(ole->GetUserClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ZUAX));

  zu::ComPtr<IProvideClassInfo2> pci;
  ASSERT_EQ(ctrl_.As(&pci, IID_IProvideClassInfo2), S_OK);
  GUID source{};
  EXPECT_EQ(pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID__DZUAXEvents));
  zu::ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(pci->GetClassInfo(coclass.put()), S_OK);
  TYPEATTR* ta = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&ta), S_OK);
  EXPECT_TRUE(IsEqualGUID(ta->guid, CLSID_ZUAX));
  EXPECT_EQ(ta->typekind, TKIND_COCLASS);
  coclass->ReleaseTypeAttr(ta);

  zu::ComPtr<IConnectionPointContainer> cpc;
  ASSERT_EQ(ctrl_.As(&cpc, IID_IConnectionPointContainer), S_OK);
  zu::ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(cpc->FindConnectionPoint(DIID__DZUAXEvents, cp.put()), S_OK);
  EXPECT_EQ(cpc->FindConnectionPoint(IID_IDispatch, cp.put()), CONNECT_E_NOCONNECTION);

  zu::ComPtr<ISpecifyPropertyPages> spp;
  ASSERT_EQ(ctrl_.As(&spp, IID_ISpecifyPropertyPages), S_OK);
  CAUUID pages{};
  ASSERT_EQ(spp->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualGUID(pages.pElems[0], CLSID_ZUAXPropPage));
  ::CoTaskMemFree(pages.pElems);

  zu::ComPtr<IViewObject2> view;
  ASSERT_EQ(ctrl_.As(&view, IID_IViewObject2), S_OK);
  HDC dc = ::GetDC(nullptr);
  RECTL bounds = {0, 0, 10, 10};
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                       nullptr, 0),
            S_OK);
  ::ReleaseDC(nullptr, dc);
}

// A stream over memory, for the persistence round trip.
zu::ComPtr<IStream> MemoryStream() {
  zu::ComPtr<IStream> s;
  ::CreateStreamOnHGlobal(nullptr, TRUE, s.put());
  return s;
}

TEST_F(ControlTest, PersistsOnlyTheVersionStamp) {
  zu::ComPtr<IPersistStreamInit> psi;
  ASSERT_EQ(ctrl_.As(&psi, IID_IPersistStreamInit), S_OK);
  EXPECT_EQ(psi->InitNew(), S_OK);
  EXPECT_EQ(psi->IsDirty(), S_FALSE);
  ULARGE_INTEGER max{};
  EXPECT_EQ(psi->GetSizeMax(&max), S_OK);
  EXPECT_EQ(max.QuadPart, 4u);
  zu::ComPtr<IStream> stream = MemoryStream();
  ASSERT_EQ(psi->Save(stream.get(), TRUE), S_OK);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  EXPECT_EQ(stat.cbSize.QuadPart, 4u);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  DWORD stamp = 0;
  stream->Read(&stamp, 4, nullptr);
  EXPECT_EQ(stamp, 0x00040000u);  // 4.0
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  zu::ComPtr<IDispatch> other = CreateControl();
  zu::ComPtr<IPersistStreamInit> psi2;
  ASSERT_EQ(other.As(&psi2, IID_IPersistStreamInit), S_OK);
  EXPECT_EQ(psi2->Load(stream.get()), S_OK);
  // An empty stream holds no stamp.
  EXPECT_NE(psi2->Load(MemoryStream().get()), S_OK);

  zu::ComPtr<IPersistPropertyBag> ppb;
  ASSERT_EQ(ctrl_.As(&ppb, IID_IPersistPropertyBag), S_OK);
  EXPECT_EQ(ppb->InitNew(), S_OK);
  CLSID clsid{};
  EXPECT_EQ(ppb->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ZUAX));
}

// Just enough of a container to site and in-place activate the control.
class TestSite : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit TestSite(HWND parent) : parent_(parent) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  STDMETHODIMP GetWindow(HWND* h) override {
    *h = parent_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override {
    ++activations;
    return S_OK;
  }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** d, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *f = nullptr;
    *d = nullptr;
    *pos = {5, 6, 25, 36};
    *clip = *pos;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override {
    ++deactivations;
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  ULONG refs() const { return refs_; }
  int activations = 0, deactivations = 0;

 private:
  HWND parent_;
  ULONG refs_ = 1;
};

TEST_F(ControlTest, ContainerSitesActivatesAndClosesTheControl) {
  HWND parent = ::CreateWindowExW(0, L"STATIC", L"page", WS_POPUP, 0, 0, 200, 100, nullptr,
                                  nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  {
    TestSite site(parent);
    zu::ComPtr<IOleObject> ole;
    ASSERT_EQ(ctrl_.As(&ole, IID_IOleObject), S_OK);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    zu::ComPtr<IOleClientSite> got;
    EXPECT_EQ(ole->GetClientSite(got.put()), S_OK);
    EXPECT_EQ(got.get(), static_cast<IOleClientSite*>(&site));
    got.reset();

    RECT pos = {5, 6, 25, 36};
    EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, &pos), S_OK);
    EXPECT_EQ(site.activations, 1);
    zu::ComPtr<IOleInPlaceObject> ip;
    ASSERT_EQ(ctrl_.As(&ip, IID_IOleInPlaceObject), S_OK);
    HWND child = nullptr;
    ASSERT_EQ(ip->GetWindow(&child), S_OK);
    EXPECT_EQ(::GetParent(child), parent);
    RECT r;
    ::GetClientRect(child, &r);
    EXPECT_EQ(r.right, 20);
    EXPECT_EQ(r.bottom, 30);
    RECT moved = {0, 0, 50, 10};
    EXPECT_EQ(ip->SetObjectRects(&moved, &moved), S_OK);
    ::GetClientRect(child, &r);
    EXPECT_EQ(r.right, 50);
    // A second activation does not make a second window.
    EXPECT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, parent, &pos), S_OK);
    EXPECT_EQ(site.activations, 1);

    // Sited but refused: the test site offers no browser.
    EXPECT_FALSE(CallBool(ctrl_.get(), L"IsAdmin"));
    EXPECT_EQ(CallLastError(ctrl_.get()), -1);

    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(site.deactivations, 1);
    EXPECT_FALSE(::IsWindow(child));
    EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.refs(), 1u);  // the control let go of the site
  }
  ::DestroyWindow(parent);
}

TEST(PropPageTest, ShowsDialog200WithItsCaption) {
  zu::ComInit com;
  zu::ComPtr<IClassFactory> factory;
  ASSERT_EQ(CreateZuaxClassObject(CLSID_ZUAXPropPage, IID_IClassFactory, factory.put_void()), S_OK);
  zu::ComPtr<IPropertyPage> page;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.put_void()), S_OK);
  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(std::wstring(info.pszTitle), L"\x5168\x822c");
  EXPECT_GT(info.size.cx, 0);
  EXPECT_GT(info.size.cy, 0);
  ::CoTaskMemFree(info.pszTitle);

  HWND parent = ::CreateWindowExW(0, L"STATIC", L"frame", WS_POPUP, 0, 0, 400, 200, nullptr,
                                  nullptr, nullptr, nullptr);
  RECT r = {0, 0, 300, 100};
  ASSERT_EQ(page->Activate(parent, &r, TRUE), S_OK);
  HWND dlg = ::GetWindow(parent, GW_CHILD);
  ASSERT_NE(dlg, nullptr);
  wchar_t text[128] = {};
  ::GetDlgItemTextW(dlg, 1000, text, 128);
  EXPECT_NE(std::wstring(text), L"");
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(::GetWindow(parent, GW_CHILD), nullptr);
  ::DestroyWindow(parent);

  zu::ComPtr<IUnknown> none;
  EXPECT_EQ(factory->CreateInstance(page.get(), IID_IUnknown, none.put_void()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CreateZuaxClassObject(IID_IDispatch, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
}

TEST(ModuleTest, LibraryCanUnloadOnlyWhenNoObjectLives) {
  zu::ComInit com;
  EXPECT_TRUE(CZUAXApp::Instance().CanUnload());
  {
    zu::ComPtr<IDispatch> ctrl = CreateControl();
    EXPECT_FALSE(CZUAXApp::Instance().CanUnload());
  }
  EXPECT_TRUE(CZUAXApp::Instance().CanUnload());
  zu::ComPtr<IClassFactory> factory;
  ASSERT_EQ(CreateZuaxClassObject(CLSID_ZUAX, IID_IClassFactory, factory.put_void()), S_OK);
  factory->LockServer(TRUE);
  EXPECT_FALSE(CZUAXApp::Instance().CanUnload());
  factory->LockServer(FALSE);
  EXPECT_TRUE(CZUAXApp::Instance().CanUnload());
}

}  // namespace
