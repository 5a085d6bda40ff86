// ZUAC.dll as a browser meets it: registered by regsvr32, created by
// script through its programmatic ID and through an <object> tag, and
// called from JScript pages on allowed and refused addresses. The scripts
// are written here, with the values they check, and run by cscript or by
// the page host (ZUPageHost.exe, which offers the page's address through
// the control's client site).
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "control/allow_list.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/registry.h"
#include "tests/support/scripts.h"
#include "tests/support/text.h"

namespace {

const wchar_t kClsid[] = L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}";
const wchar_t kPropPageClsid[] = L"{2A098EA6-EEF8-4694-AF12-8B08CE4816CF}";
const wchar_t kLibId[] = L"{96737345-8486-4FC4-9C65-D0877AE6C07D}";
const wchar_t kDispatchIid[] = L"{3D89321B-F6A5-450E-9FBE-ACC6117A01F1}";
const wchar_t kEventsIid[] = L"{30689E1F-141E-47A8-96F7-6AA36706169C}";
const wchar_t kPreApproved[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved";
const wchar_t kElevationPolicy[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy";
const wchar_t kReleaseSignal[] = L"C:\\Update\\zuax_e2e_release.sig";

constexpr DWORD kProcessWait = 120000;

std::wstring Dll() { return zu::test::BinDir() + L"\\ZUAC.dll"; }
using zu::test::HavePageHost;
using zu::test::KeyExists;
using zu::test::Regsvr32;
using zu::test::RunResult;
using zu::test::Utf16;
using zu::test::Utf8;

std::optional<std::wstring> Value(HKEY root, const std::wstring& subkey,
                                  const std::wstring& name = L"") {
  return zu::test::RegString(root, subkey, name);
}
DWORD ValueCount(HKEY root, const std::wstring& subkey) {
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
  DWORD values = 0;
  ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
  return values;
}
bool SameText(const std::optional<std::wstring>& a, const std::wstring& b) {
  return a && ::lstrcmpiW(a->c_str(), b.c_str()) == 0;
}

// Every key the registration writes; none may stay after unregistration.
std::vector<std::pair<HKEY, std::wstring>> AllRegisteredKeys() {
  std::wstring clsid = std::wstring(L"CLSID\\") + kClsid;
  return {
      {HKEY_CLASSES_ROOT, clsid},
      {HKEY_CLASSES_ROOT, L"ZUAX.ZUAXCtrl.4"},
      {HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kPropPageClsid},
      {HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId},
      {HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + kDispatchIid},
      {HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + kEventsIid},
      {HKEY_LOCAL_MACHINE, std::wstring(kPreApproved) + L"\\" + kClsid},
      {HKEY_LOCAL_MACHINE, std::wstring(kElevationPolicy) + L"\\" + kClsid},
  };
}

std::wstring FileVersionOf(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!size || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len))
    return L"";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// --- Scripts ----------------------------------------------------------------------------

// The page host's script prelude: "check" reports through the host.
const char kPagePrelude[] = R"JS(
var failures = 0;
function check(ok, what) { if (!ok) { failures++; host.Fail(what); } }
function throws(f) { try { f(); } catch (e) { return true; } return false; }
)JS";

using zu::test::AllowedPageAddress;
using zu::test::kRefusedPageAddress;

// host_options: more page host options, such as the frame the page runs in.
RunResult RunPage(const std::wstring& address, const std::string& body,
                  const wchar_t* name = L"page", const char* extension = "js",
                  const std::wstring& host_options = L"") {
  return zu::test::RunInPageHost(address,
                                 std::wstring(L"zuax_e2e_") + name + L"." + Utf16(extension),
                                 std::string(extension) == "js" ? kPagePrelude + body : body,
                                 host_options);
}

RunResult RunCscript(const std::string& body) {
  return zu::test::RunInCscript(L"zuax_e2e_cscript.js", body);
}

// Each method with arguments of the right count and the typeof of its
// answer; a page gets booleans for BOOL, strings for BSTR, numbers for
// I4 and UI4.
const char kEveryMethod[] = R"JS(
var methods = [
  ["GetBIOSVersion", [], "string"], ["SearchSPID", ["X"], "boolean"],
  ["EnumSPID", [0], "string"], ["GetDriverVersion", ["X"], "string"],
  ["GetDriverDate", ["X"], "string"], ["GetFileVersion", ["C:\\nothing.dll"], "string"],
  ["GetFileLastWriteTime", ["C:\\nothing.dll"], "string"], ["GetModelCode", [], "string"],
  ["GetSerialNumber", [], "string"], ["GetRegistryInfo", ["HKLM\\NoSuchKey", "x"], "string"],
  ["ReadVersionTXT", ["C:\\nothing.txt"], "string"], ["StartDownload", [], "boolean"],
  ["IsDownloaded", ["http://x.example/none.exe"], "boolean"],
  ["SearchDriveInfo", ["a", "b", "c", "d"], "boolean"],
  ["AddModuleInfo", ["", 0, "", false, ""], "boolean"], ["ClearModuleList", [], "boolean"],
  ["ReadApplicationVersionTXT", ["NoSuchApp"], "string"],
  ["SearchRegistry", ["HKLM\\NoSuchKey", "x"], "boolean"],
  ["SearchModelCode", ["1"], "boolean"], ["SearchSerialNumber", ["1"], "boolean"],
  ["GetSelfVersion", [], "string"], ["CheckOSVersion", ["255.255"], "boolean"],
  ["ShowInstaller", [""], "boolean"], ["GetDebugRegistry", ["x"], "string"],
  ["SetDebugRegistry", ["x", "y"], "undefined"], ["GetLastError", [], "number"],
  ["SetLastError", [0], "undefined"], ["SearchModelCodeAndSerialNum", ["0"], "boolean"],
  ["RegisterString", [999, "x"], "boolean"], ["GetSystemDefaultLCID", [], "number"],
  ["GetModelName", [], "string"], ["IsAdmin", [], "boolean"],
  ["SetUnCheckItem", [""], "boolean"], ["ResetUnCheckItem", [""], "boolean"],
  ["DeletePatchListFile", [], "boolean"], ["DeletePatchFile", [""], "boolean"],
  ["GetExecutedPatches", [], "string"], ["SearchBIOSVersionEx", ["x", "0"], "boolean"],
  ["SearchDriverVersionEx", ["x", "1", "0"], "boolean"],
  ["SearchDriverDateEx", ["x", "1", "0"], "boolean"],
  ["SearchFileVersionEx", ["C:\\nothing.dll", "1", "0"], "boolean"],
  ["SearchFileLastWriteTimeEx", ["C:\\nothing.dll", "1", "0"], "boolean"],
  ["SearchRegistryInfoEx", ["HKLM\\NoSuchKey", "x", "1", "0"], "boolean"],
  ["SearchVersionTXTEx", ["C:\\nothing.txt", "1", "0"], "boolean"],
  ["SearchApplicationVersionTXTEx", ["NoSuchApp", "1", "0"], "boolean"],
  ["SearchModelNameEx", ["x", "0"], "boolean"], ["IsUnChecked", [""], "boolean"],
  ["SearchDriveInfoEx", ["a", "b", "c", "d", "0"], "boolean"],
  ["SearchRegistryEx", ["HKLM\\NoSuchKey", "x", "0"], "boolean"],
  ["SearchSPIDEx", ["X", "0"], "boolean"], ["SearchOSVersionEx", ["255.255", "0"], "boolean"],
  ["SearchModelCodeAndSerialNumEx", ["0", "0"], "boolean"],
  ["AddModuleInfoEx", ["", "", 0, "", false, "", "", "", "", "", "", ""], "boolean"],
  ["UpdateToLatestVersion", ["", "", "", 0], "boolean"], ["ZUMutexLock", [], "boolean"],
  ["ZUMutexUnLock", [], "boolean"], ["IsFileExist", [""], "boolean"],
  ["GetProcessorArchitecture", [], "number"]
];
function callWith(obj, name, a) {
  switch (a.length) {
    case 0: return obj[name]();
    case 1: return obj[name](a[0]);
    case 2: return obj[name](a[0], a[1]);
    case 3: return obj[name](a[0], a[1], a[2]);
    case 4: return obj[name](a[0], a[1], a[2], a[3]);
    case 5: return obj[name](a[0], a[1], a[2], a[3], a[4]);
    case 12: return obj[name](a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11]);
  }
}
)JS";

class ControlE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    debug_ = new zu::test::DebugFileAside;
    registered_ = Regsvr32(false) == 0u;
  }
  static void TearDownTestSuite() {
    Regsvr32(true);
    delete debug_;
  }
  void SetUp() override { ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll"; }

  static bool registered_;
  static zu::test::DebugFileAside* debug_;  // the machine's debug file, put back at the end
};
bool ControlE2E::registered_ = false;
zu::test::DebugFileAside* ControlE2E::debug_ = nullptr;

// --- Registration --------------------------------------------------------------------------

TEST_F(ControlE2E, RegistrationWritesClassTypeLibraryCategoriesAndBrowserPolicy) {
  const std::wstring clsid = std::wstring(L"CLSID\\") + kClsid;
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, clsid), L"ZUAX Control");
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32"), Dll()));
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, clsid + L"\\ProgID"), L"ZUAX.ZUAXCtrl.4");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, clsid + L"\\Control"));
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, clsid + L"\\ToolboxBitmap32"), Dll() + L", 1"));
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, clsid + L"\\MiscStatus\\1"), L"131473");  // 0x20191
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, clsid + L"\\TypeLib"), kLibId));
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, clsid + L"\\Version"), L"4.0");
  for (const wchar_t* cat : {L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                             L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}) {
    std::wstring key = clsid + L"\\Implemented Categories\\" + cat;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << Utf8(cat);
    EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, key), 0u);
  }
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"ZUAX.ZUAXCtrl.4"), L"ZUAX Control");
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, L"ZUAX.ZUAXCtrl.4\\CLSID"), kClsid));

  const std::wstring page = std::wstring(L"CLSID\\") + kPropPageClsid;
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, page), L"ZUAX Property Page");
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, page + L"\\InprocServer32"), Dll()));
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, page + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");

  const std::wstring lib = std::wstring(L"TypeLib\\") + kLibId + L"\\4.0";
  EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, lib + L"\\409\\win32"), Dll()));
  std::optional<std::wstring> flags = Value(HKEY_CLASSES_ROOT, lib + L"\\FLAGS");
  ASSERT_TRUE(flags);
  EXPECT_TRUE(std::stoul(*flags) & LIBFLAG_FCONTROL) << Utf8(*flags);  // a control library
  for (const wchar_t* iid : {kDispatchIid, kEventsIid})
    EXPECT_TRUE(SameText(Value(HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + iid + L"\\TypeLib"),
                         kLibId));
  GUID libid;
  ASSERT_EQ(::CLSIDFromString(kLibId, &libid), S_OK);
  ITypeLib* loaded = nullptr;
  EXPECT_EQ(::LoadRegTypeLib(libid, 4, 0, 0x409, &loaded), S_OK);
  if (loaded) loaded->Release();

  const std::wstring approved = std::wstring(kPreApproved) + L"\\" + kClsid;
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, approved));
  EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, approved), 0u);
  const std::wstring policy = std::wstring(kElevationPolicy) + L"\\" + kClsid;
  EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, policy), 1u);
  DWORD type = 0;
  ULONGLONG data = 0;
  DWORD bytes = sizeof(data);
  EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, policy.c_str(), L"Policy", RRF_RT_ANY, &type, &data,
                           &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(bytes, 8u);
  EXPECT_EQ(data, 3u);
}

// Makes an empty key volatile for a while: a volatile key takes no lasting
// sub-keys, so creating one under it fails as it would without the right to.
// (Wine does not enforce registry access lists, so a denying list proves
// nothing there.) Refuses keys holding anything, which it could not put back.
class VolatileKey {
 public:
  explicit VolatileKey(std::wstring subkey) : subkey_(std::move(subkey)) {
    zu::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, KEY_READ, key.put()) ==
        ERROR_SUCCESS) {
      DWORD keys = 0, values = 0;
      if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
          keys || values)
        return;
      key.reset();
      existed_ = true;
      if (::RegDeleteKeyW(HKEY_LOCAL_MACHINE, subkey_.c_str()) != ERROR_SUCCESS) return;
    }
    zu::UniqueRegKey made;
    applied_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, nullptr,
                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, made.put(),
                                 nullptr) == ERROR_SUCCESS;
  }
  ~VolatileKey() {
    if (!applied_) return;
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, subkey_.c_str());
    if (existed_) {
      zu::UniqueRegKey made;
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, made.put(), nullptr);
    }
  }
  bool applied() const { return applied_; }

 private:
  std::wstring subkey_;
  bool existed_ = false, applied_ = false;
};

// Registers again however the test ends, so that later tests find the control.
struct RegisterAtEnd {
  ~RegisterAtEnd() { Regsvr32(false); }
};

TEST_F(ControlE2E, PolicyKeysThatCannotBeWrittenAreSkippedAndRegistrationStillSucceeds) {
  RegisterAtEnd register_at_end;
  ASSERT_EQ(Regsvr32(true), 0u);
  {
    VolatileKey blocked(kPreApproved);
    if (!blocked.applied()) GTEST_SKIP() << "the pre-approved key holds other entries";
    zu::UniqueRegKey probe;
    ASSERT_NE(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kPreApproved) + L"\\probe").c_str(),
                                0, nullptr, 0, KEY_ALL_ACCESS, nullptr, probe.put(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Regsvr32(false), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kPreApproved) + L"\\" + kClsid));
    // The keys after it were still made.
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, std::wstring(kElevationPolicy) + L"\\" + kClsid), 1u);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));
  }
  EXPECT_EQ(Regsvr32(false), 0u);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kPreApproved) + L"\\" + kClsid));
}

// --- Creation by script -----------------------------------------------------------------------

TEST_F(ControlE2E, ScriptCreatesTheControlByItsProgIdAndEveryMethodAnswersItsType) {
  // cscript offers no browser, so every call is refused: the types still hold.
  std::string script = std::string(kEveryMethod) + R"JS(
var bad = [];
var o = new ActiveXObject("ZUAX.ZUAXCtrl.4");
if (o.GetLastError() !== -1) bad.push("GetLastError");
for (var i = 0; i < methods.length; i++) {
  var m = methods[i], got;
  try { got = typeof callWith(o, m[0], m[1]); } catch (e) { got = "threw " + e.number; }
  if (got !== m[2]) bad.push(m[0] + ": " + got);
  var lower = m[0].toLowerCase();
  try { got = typeof callWith(o, lower, m[1]); } catch (e) { got = "threw"; }
  if (got !== m[2]) bad.push(lower + ": " + got);
}
if (o.SearchSPIDEx("X", "1") !== true) bad.push("reverse");
if (o.GetProcessorArchitecture() !== 0) bad.push("refused width");
WScript.Echo(bad.length ? bad.join("\n") : "all good");
WScript.Quit(bad.length ? 1 : 0);
)JS";
  RunResult r = RunCscript(script);
  EXPECT_EQ(r.code, 0u) << r.output;
}

// --- Pages on the page host -----------------------------------------------------------------

TEST_F(ControlE2E, RefusedPageGetsRefusedResults) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  std::string script = R"JS(
check(zuax.GetLastError() === -1, "GetLastError answers -1");
zuax.SetLastError(5);
check(zuax.GetLastError() === -1, "SetLastError is ignored");
check(zuax.IsAdmin() === false, "IsAdmin FALSE");
check(zuax.GetSelfVersion() === "", "GetSelfVersion empty");
check(zuax.GetProcessorArchitecture() === 0, "GetProcessorArchitecture 0");
check(zuax.GetSystemDefaultLCID() === 0, "GetSystemDefaultLCID 0");
check(zuax.RegisterString(100, "x") === false, "RegisterString FALSE");
check(zuax.ZUMutexLock() === false, "ZUMutexLock FALSE");
check(zuax.IsFileExist("C:\\windows") === false, "IsFileExist FALSE");
var ex = ["SearchBIOSVersionEx", "SearchModelNameEx", "SearchSPIDEx", "SearchOSVersionEx",
          "SearchModelCodeAndSerialNumEx"];
for (var i = 0; i < ex.length; i++) {
  check(zuax[ex[i]]("x", "1") === true, ex[i] + " reversed refusal is TRUE");
  check(zuax[ex[i]]("x", "0") === false, ex[i] + " refusal is FALSE");
}
check(zuax.SearchFileVersionEx("C:\\a.dll", "1.0", "1") === true, "SearchFileVersionEx reversed");
check(zuax.SearchDriveInfoEx("a", "b", "c", "d", "1") === true, "SearchDriveInfoEx reversed");
check(zuax.SearchModelCode("1") === false, "SearchModelCode");
check(zuax.GetLastError() === -1, "still -1");
host.Echo("refused page done");
)JS";
  RunResult r = RunPage(kRefusedPageAddress, script, L"refused");
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(ControlE2E, AllowedPageGetsTypedAnswersAndScriptErrorsForBadCalls) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  const std::wstring version = FileVersionOf(Dll());
  ASSERT_EQ(version, L"" ZU_TEST_VERSION);

  // Files of 259 and 260 characters for IsFileExist.
  const std::wstring base = L"C:\\Update\\zuax_e2e";
  const std::wstring dir = base + L"\\" + std::wstring(181, L'd');
  const std::wstring f259 = dir + L"\\" + std::wstring(54, L'f') + L".txt";
  const std::wstring f260 = dir + L"\\" + std::wstring(55, L'g') + L".txt";
  ASSERT_EQ(f259.size(), 259u);
  ASSERT_EQ(f260.size(), 260u);
  ::CreateDirectoryW(base.c_str(), nullptr);
  ::CreateDirectoryW(dir.c_str(), nullptr);
  zu::test::WriteFileBytes(f259, "x");
  zu::test::WriteFileBytes(L"\\\\?\\" + f260, "x");

  std::string script = std::string(kEveryMethod) + R"JS(
// Nothing has set the code yet: the thread's last-error is taken and kept.
var first = zuax.GetLastError();
check(typeof first === "number" && first !== -1, "first GetLastError " + first);
check(zuax.GetLastError() === first, "kept");

for (var i = 0; i < methods.length; i++) {
  var m = methods[i], got;
  try { got = typeof callWith(zuax, m[0], m[1]); } catch (e) { got = "threw " + e.number; }
  check(got === m[2], m[0] + " answered " + got);
}
zuax.ZUMutexUnLock();

check(throws(function () { zuax.IsFileExist(); }), "too few arguments throw");
check(throws(function () { zuax.IsFileExist("a", "b"); }), "too many arguments throw");
check(throws(function () { zuax.RegisterString("not a number", "x"); }), "bad type throws");
check(throws(function () { zuax.RegisterString(5000000000, "x"); }), "overflow throws");
check(throws(function () { zuax.NoSuchMethod(); }), "unknown name throws");
check(zuax.AddModuleInfo("http://x.example/a.exe", 5000000000, "A", true, "") !== undefined,
      "a 64-bit size is accepted");

check(zuax.GetProcessorArchitecture() === 32, "32-bit prefix");
check(zuax.IsAdmin() === true, "Wine's user is an administrator");
zuax.SetLastError(0x20000009);
check(zuax.GetLastError() === 0x20000009, "SetLastError stored");
check(zuax.IsAdmin() === true && zuax.GetLastError() === 0, "a passed prologue clears the code");

check(zuax.RegisterString(100, "Caption") === true, "slot 100");
check(zuax.RegisterString(504, "Last") === true, "slot 504");
check(zuax.RegisterString(102, "x") === false, "102 has no slot");
check(zuax.RegisterString(300, "") === false, "empty text");

check(zuax.IsFileExist(F259) === true, "259 characters");
check(zuax.IsFileExist(F260) === false, "260 characters");
check(zuax.IsFileExist(DIR) === true, "a folder");
check(zuax.IsFileExist(DIR + "\\*.txt") === true, "a pattern that matches");
check(zuax.IsFileExist(DIR + "\\*.exe") === false, "a pattern that does not");
check(zuax.IsFileExist("") === false, "empty");

check(zuax.GetSelfVersion() === VERSION, "version " + zuax.GetSelfVersion());
check(zuax.SearchSPIDEx("x", "maybe") === false && zuax.GetLastError() === 0x20000015,
      "invalid reverse flag");
check(zuax.SearchModelCode("1") === false && zuax.GetLastError() === 0, "retired");
host.Echo("allowed page done");
)JS";
  auto js_string = [](const std::wstring& s) {
    std::string out = "\"";
    for (char c : Utf8(s)) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out + "\"";
  };
  std::string values = "var F259 = " + js_string(f259) + ", F260 = " + js_string(f260) +
                       ", DIR = " + js_string(dir) + ", VERSION = " + js_string(version) + ";\n";
  RunResult r = RunPage(AllowedPageAddress(), values + script, L"allowed");
  EXPECT_EQ(r.code, 0u) << r.output;

  // The debug file's version replaces the library's.
  debug_->Write("[General]\r\nSelfVersion=9.9.9.9\r\n");
  r = RunPage(AllowedPageAddress(),
              "check(zuax.GetSelfVersion() === \"9.9.9.9\", \"SelfVersion \" + zuax.GetSelfVersion());\n",
              L"selfversion");
  debug_->Remove();
  EXPECT_EQ(r.code, 0u) << r.output;

  ::DeleteFileW(f259.c_str());
  ::DeleteFileW((L"\\\\?\\" + f260).c_str());
  ::RemoveDirectoryW(dir.c_str());
  ::RemoveDirectoryW(base.c_str());
}

// A control in a frame answers only when the frame's own document is on an
// allowed host too, whatever page holds the frame.
TEST_F(ControlE2E, FramesAnswerOnlyWhenTheirOwnDocumentIsAllowed) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  const std::string allowed = R"JS(
check(zuax.IsAdmin() === true, "IsAdmin answered");
check(zuax.GetLastError() === 0, "the prologue passed: " + zuax.GetLastError());
)JS";
  const std::string refused = R"JS(
check(zuax.IsAdmin() === false, "IsAdmin refused");
check(zuax.GetSelfVersion() === "", "GetSelfVersion refused");
check(zuax.SearchSPIDEx("x", "1") === true, "a reversed refusal");
check(zuax.GetLastError() === -1, "GetLastError refused: " + zuax.GetLastError());
)JS";
  const std::wstring other_allowed =
      L"https://help" + std::wstring(kPageAllowList.domain_suffixes[0]) + L"/frame.htm";
  struct FrameCase {
    const wchar_t* what;
    std::wstring top, options;
    bool answers;
  };
  const FrameCase cases[] = {
      {L"top and frame allowed", AllowedPageAddress(), L"--frame-url \"" + other_allowed + L"\"", true},
      {L"a frame on another host", AllowedPageAddress(),
       L"--frame-url \"http://ads.refused-host.example/banner.htm\"", false},
      {L"a frame written by script", AllowedPageAddress(), L"--frame-url about:blank", false},
      {L"a document without a readable address", AllowedPageAddress(), L"--no-document-url", false},
      {L"an allowed frame in a refused page", kRefusedPageAddress,
       L"--frame-url \"" + other_allowed + L"\"", false},
  };
  for (const FrameCase& c : cases) {
    RunResult r = RunPage(c.top, c.answers ? allowed : refused, L"frame", "js", c.options);
    EXPECT_EQ(r.code, 0u) << Utf8(c.what) << "\n" << r.output;
  }
}

TEST_F(ControlE2E, ObjectTagCreatesTheControl) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  std::string page = R"HTML(<html><body>
<object id="zu" classid="clsid:5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05" width="0" height="0"></object>
<script language="JScript">
if (typeof zu.GetSelfVersion() !== "string") host.Fail("GetSelfVersion type");
if (zu.IsAdmin() !== true) host.Fail("IsAdmin");
if (zu.searchspidex("x", "1") !== true) host.Fail("allowed page, no match reversed");
if (zu.searchspidex("x", "0") !== false) host.Fail("allowed page, no match");
host.Echo("object tag done");
</script></body></html>
)HTML";
  RunResult r = RunPage(AllowedPageAddress(), page, L"object", "html");
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(ControlE2E, WorkingMutexHeldByOnePageRefusesASecondPageProcess) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  ::DeleteFileW(kReleaseSignal);
  // The first page locks and holds the mutex until the signal file appears.
  std::wstring holder_path = zu::test::TempPath(L"zuax_e2e_holder.js");
  zu::test::WriteFileBytes(holder_path, std::string(kPagePrelude) + R"JS(
check(zuax.ZUMutexLock() === true, "first lock");
var start = new Date().getTime();
while (!zuax.IsFileExist("C:\\Update\\zuax_e2e_release.sig") &&
       new Date().getTime() - start < 120000) {}
check(zuax.ZUMutexUnLock() === true, "unlock");
)JS");
  zu::test::Process holder = zu::test::Process::Start(
      zu::test::PageHost(), L"--url \"" + AllowedPageAddress() + L"\" \"" + holder_path + L"\"");
  ASSERT_TRUE(holder);
  bool locked = zu::test::WaitFor(
      [] {
        HANDLE h = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZEFO Update ActiveX Mutex");
        if (h) ::CloseHandle(h);
        return h != nullptr;
      },
      kProcessWait);
  if (!locked) holder.Kill();
  ASSERT_TRUE(locked) << "the first page never took the mutex";

  RunResult second = RunPage(AllowedPageAddress(), R"JS(
check(zuax.ZUMutexLock() === false, "second lock refused");
check(zuax.GetLastError() === 0x20000017, "held elsewhere: " + zuax.GetLastError());
check(zuax.ZUMutexUnLock() === true, "unlock without holding");
)JS", L"second");
  EXPECT_EQ(second.code, 0u) << second.output;

  zu::test::WriteFileBytes(kReleaseSignal, "");
  DWORD code = 99;
  EXPECT_TRUE(holder.WaitExit(kProcessWait, &code));
  EXPECT_EQ(code, 0u);
  ::DeleteFileW(kReleaseSignal);
  ::DeleteFileW(holder_path.c_str());
}

// --- Unregistration (last: it leaves the control unregistered) -----------------------------

TEST_F(ControlE2E, UnregistrationLeavesNoKeyAndTheControlCannotBeCreated) {
  ASSERT_EQ(Regsvr32(true), 0u);
  for (const auto& [root, key] : AllRegisteredKeys())
    EXPECT_FALSE(KeyExists(root, key)) << Utf8(key);
  RunResult r = RunCscript(R"JS(
try { new ActiveXObject("ZUAX.ZUAXCtrl.4"); WScript.Quit(1); } catch (e) { WScript.Quit(3); }
)JS");
  EXPECT_EQ(r.code, 3u) << r.output;
}

}  // namespace
