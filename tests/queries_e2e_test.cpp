// The page's queries through ZUAC.dll's scripting interface, from JScript:
// on an allowed page (the page host with an allowed address, or cscript
// with the debug switch "IgnoreURLCheck") and on a refused page, with the
// reverse flag "0" and "1" and the last-error code after each call.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/framework/handle.h"
#include "common/wmi_query.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/text.h"

namespace {

const wchar_t kDebugIni[] = L"C:\\Update\\Debug.ini";
const wchar_t kAllowed[] = L"http://support.vexa.example/zefo/update/index.html";
const wchar_t kRefused[] = L"http://www.refused-host.example/zefo/update/index.html";
const wchar_t kScratch[] = L"Software\\ZUTest\\QueriesE2E";
constexpr DWORD kProcessWait = 120000;

std::wstring System32(const wchar_t* exe) {
  wchar_t dir[MAX_PATH];
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\" + exe;
}
std::wstring TempFile(const std::wstring& name) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}
// A JScript string literal of a text.
std::string Js(const std::wstring& w) {
  std::string out = "\"";
  for (char c : zu::test::Utf8(w)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

using zu::test::RunResult;
RunResult RunProgram(const std::wstring& exe, const std::wstring& args) {
  return zu::test::RunCaptured(exe, args, kProcessWait);
}

std::wstring PageHost() { return zu::test::BinDir() + L"\\ZUPageHost.exe"; }
bool HavePageHost() { return zu::test::FileExists(PageHost()); }

// "check" and "err" for both hosts; the control is "zuax".
const char kPrelude[] = R"JS(
var failures = 0;
function check(ok, what) { if (!ok) { failures++; host.Fail(what); } }
var E_INVALID = 0x20000015, E_REGISTRY = 0x20000007;
function call(answer, expected, code, what) {
  check(answer === expected, what + ": answer " + answer);
  var got = zuax.GetLastError();
  check(got === code, what + ": last error " + got);
}
)JS";
const char kCscriptPrelude[] = R"JS(
host = { Echo: function (t) { WScript.Echo(t); },
             Fail: function (t) { WScript.Echo("FAIL: " + t); } };
zuax = new ActiveXObject("ZUAX.ZUAXCtrl.4");
)JS";

RunResult RunPage(const std::wstring& address, const std::string& body) {
  const std::wstring path = TempFile(L"zu_queries_page.js");
  zu::test::WriteFileBytes(path, kPrelude + body);
  RunResult r = RunProgram(PageHost(), L"--url \"" + std::wstring(address) + L"\" \"" + path + L"\"");
  ::DeleteFileW(path.c_str());
  return r;
}
RunResult RunCscript(const std::string& body) {
  const std::wstring path = TempFile(L"zu_queries_cscript.js");
  // A script error (no control, say) must fail the run, not end it quietly.
  zu::test::WriteFileBytes(path, "var host, zuax;\n" + std::string(kPrelude) + "try {\n" + kCscriptPrelude + body +
                                "\n} catch (e) { WScript.Echo(\"ERROR: \" + e.message); "
                                "WScript.Quit(2); }\nWScript.Quit(failures ? 1 : 0);\n");
  RunResult r = RunProgram(System32(L"cscript.exe"), L"//nologo \"" + path + L"\"");
  ::DeleteFileW(path.c_str());
  return r;
}

std::string Wmi(const wchar_t* wql, const wchar_t* property) {
  std::wstring text;
  QueryWmiProperty(wql, property, &text);
  return Js(text);
}

// The rules as an allowed page meets them. The identity values are what
// WMI answers here, read by the test itself.
std::string AllowedScript() {
  return "var NAME = " + Wmi(kProductQuery, L"Name") +
         ", NUMBER = " + Wmi(kProductQuery, L"IdentifyingNumber") +
         ", BIOS = " + Wmi(kBiosQuery, L"SMBIOSBIOSVersion") + ";\n" + R"JS(
var HK = "HKEY_CURRENT_USER\\Software\\ZUTest\\QueriesE2E";
call(zuax.GetModelName(), NAME.split("(")[0], 0, "GetModelName");
var norm = NUMBER.replace(/ +$/, "").replace(/ /g, "-"), dash = norm.indexOf("-");
call(zuax.GetModelCode(), dash < 0 ? norm : norm.substring(0, dash), 0, "GetModelCode");
call(zuax.GetSerialNumber(), dash < 0 ? norm : norm.substring(dash + 1), 0, "GetSerialNumber");
call(zuax.GetBIOSVersion(), BIOS, 0, "GetBIOSVersion");
check(zuax.GetSystemDefaultLCID() > 0, "GetSystemDefaultLCID");

call(zuax.GetRegistryInfo(HK, "one"), "dword:00000001", 0, "GetRegistryInfo dword");
call(zuax.GetRegistryInfo(HK, "bytes"), "hex:01,ab", 0, "GetRegistryInfo binary");
call(zuax.GetRegistryInfo(HK, "text"), "\"caf\u00e9\"", 0, "GetRegistryInfo string");
call(zuax.GetRegistryInfo(HK, "missing"), "", E_REGISTRY, "GetRegistryInfo missing");
call(zuax.GetRegistryInfo("HKCU\\Software\\ZUTest\\QueriesE2E", "one"), "", E_REGISTRY,
     "GetRegistryInfo abbreviated root");
call(zuax.SearchRegistry(HK, ""), true, 0, "SearchRegistry key");
call(zuax.SearchRegistry(HK, "one"), true, 0, "SearchRegistry value");
call(zuax.SearchRegistry(HK, "missing"), false, 0, "SearchRegistry missing");
call(zuax.SearchRegistry("HKCU\\Software", ""), false, 0, "SearchRegistry abbreviated");
call(zuax.SearchRegistry("", ""), false, 0, "SearchRegistry empty");

call(zuax.CheckOSVersion("*"), true, 0, "CheckOSVersion any");
call(zuax.CheckOSVersion("4.0,x"), false, 0, "CheckOSVersion no match, code 0");
call(zuax.CheckOSVersion("6.0-1.0-2-9"), false, 0, "CheckOSVersion four parts");
call(zuax.SearchOSVersionEx("*", "0"), true, 0, "SearchOSVersionEx any");
call(zuax.SearchOSVersionEx("*", "1"), false, 0, "SearchOSVersionEx any reversed");
call(zuax.SearchOSVersionEx("4.0", "1"), true, 0, "SearchOSVersionEx none reversed");
call(zuax.SearchOSVersionEx("4.0,", "0"), false, E_INVALID, "SearchOSVersionEx trailing comma");
call(zuax.SearchOSVersionEx("4.0,", "1"), true, E_INVALID, "SearchOSVersionEx invalid reversed");
call(zuax.SearchOSVersionEx("*", "yes"), false, E_INVALID, "SearchOSVersionEx bad flag");
call(zuax.SearchOSVersionEx("*", ""), true, 0, "SearchOSVersionEx empty flag");

var code = zuax.GetModelCode(), serial = zuax.GetSerialNumber();
call(zuax.SearchModelCodeAndSerialNum(code), true, 0, "SearchModelCodeAndSerialNum code");
call(zuax.SearchModelCodeAndSerialNum("NOPE;" + code + "+" + serial), true, 0,
     "SearchModelCodeAndSerialNum code and serial");
call(zuax.SearchModelCodeAndSerialNumEx(code + "+" + serial, "0"), true, 0, "ModelEx match");
call(zuax.SearchModelCodeAndSerialNumEx(code + "+" + serial + ";", "0"), false, 0,
     "ModelEx trailing ;");
call(zuax.SearchModelCodeAndSerialNumEx("*+*", "0"), false, 0, "ModelEx *+*");
call(zuax.SearchModelCodeAndSerialNumEx("A*3", "0"), false, E_INVALID, "ModelEx bad wildcard");
call(zuax.SearchModelCodeAndSerialNumEx("A*3", "1"), true, E_INVALID, "ModelEx bad, reversed");

call(zuax.SearchModelNameEx(NAME.substring(0, 1) + "*", "0"), true, 0, "ModelNameEx prefix");
call(zuax.SearchModelNameEx("No Such Model", "0"), false, 0, "ModelNameEx other");
call(zuax.SearchModelNameEx("a,,b", "0"), false, E_INVALID, "ModelNameEx empty item");
call(zuax.SearchBIOSVersionEx(BIOS.toLowerCase(), "0"), true, 0, "BIOSVersionEx ignoring case");
call(zuax.SearchBIOSVersionEx("*", "0"), false, E_INVALID, "BIOSVersionEx any-value refused");
call(zuax.SearchSPIDEx("NO-SUCH-SPID,NO-SUCH*", "0"), false, 0, "SPIDEx none");
call(zuax.SearchSPIDEx("NO-SUCH-SPID", "1"), true, 0, "SPIDEx none reversed");
call(zuax.SearchSPIDEx("*", "0"), false, E_INVALID, "SPIDEx any-value refused");
call(zuax.SearchSPID("NO-SUCH-SPID"), false, 0, "SearchSPID none");
call(zuax.EnumSPID(100000), "", 0, "EnumSPID past the end");
host.Echo("allowed page done");
)JS";
}

// The debug file's overrides, written by the test before the script runs.
const char kDebugScript[] = R"JS(
call(zuax.GetModelName(), "Debug Book (X)", 0, "debug ModelName uncut");
call(zuax.GetModelCode(), "DBG", 0, "debug model code");
call(zuax.GetSerialNumber(), "0150", 0, "debug serial");
call(zuax.GetSystemDefaultLCID(), 1041, 0, "debug LCID");
call(zuax.SearchModelCodeAndSerialNum("DBG+100-200"), true, 0, "debug serial in range");
call(zuax.SearchOSVersionEx("6.0", "0"), true, 0, "OSVersion forced");
call(zuax.SearchOSVersionEx("6.0", "1"), false, 0, "OSVersion forced, reversed");
call(zuax.SearchOSVersionEx("3.1", "0"), false, 0, "OSVersion not in the debug value");
call(zuax.SearchBIOSVersionEx("Z9", "0"), true, 0, "BIOSVersion forced");
call(zuax.SearchSPIDEx("SP2", "0"), true, 0, "SPID forced");
// The model key replaces the identity instead of forcing.
call(zuax.SearchModelCodeAndSerialNumEx("ABC+100-200", "0"), true, 0, "model debug identity");
call(zuax.SearchModelCodeAndSerialNumEx("ABC+151-200", "0"), false, 0, "model debug outside");
host.Echo("debug page done");
)JS";

const char kRefusedScript[] = R"JS(
call(zuax.GetModelName(), "", -1, "GetModelName refused");
call(zuax.GetModelCode(), "", -1, "GetModelCode refused");
call(zuax.GetBIOSVersion(), "", -1, "GetBIOSVersion refused");
call(zuax.GetSystemDefaultLCID(), 0, -1, "GetSystemDefaultLCID refused");
call(zuax.CheckOSVersion("*"), false, -1, "CheckOSVersion refused");
call(zuax.SearchSPID("X"), false, -1, "SearchSPID refused");
call(zuax.EnumSPID(0), "", -1, "EnumSPID refused");
call(zuax.GetRegistryInfo("HKEY_CURRENT_USER\\Software", ""), "", -1, "GetRegistryInfo refused");
call(zuax.SearchRegistry("HKEY_CURRENT_USER\\Software", ""), false, -1, "SearchRegistry refused");
call(zuax.SearchModelCodeAndSerialNum("*"), false, -1, "SearchModelCodeAndSerialNum refused");
var ex = ["SearchBIOSVersionEx", "SearchModelNameEx", "SearchSPIDEx", "SearchOSVersionEx",
          "SearchModelCodeAndSerialNumEx"];
for (var i = 0; i < ex.length; i++) {
  // The matching frame clears the code before it asks for the page.
  call(zuax[ex[i]]("*", "0"), false, -1, ex[i] + " refused");
  call(zuax[ex[i]]("*", "1"), true, -1, ex[i] + " refused, reversed");
  call(zuax[ex[i]]("*", "2"), false, -1, ex[i] + " refused, bad flag");
}
host.Echo("refused page done");
)JS";

class QueriesE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    debug_ = new zu::test::FileSnapshot(kDebugIni);
    ::DeleteFileW(kDebugIni);
    const std::wstring dll = zu::test::BinDir() + L"\\ZUAC.dll";
    registered_ = RunProgram(System32(L"regsvr32.exe"), L"/s \"" + dll + L"\"").code == 0u;
    const DWORD one = 1;
    const BYTE bytes[] = {1, 171};
    const wchar_t text[] = L"caf\u00e9";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"one", REG_DWORD, &one, 4);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"bytes", REG_BINARY, bytes, 2);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"text", REG_SZ, text, sizeof(text));
  }
  static void TearDownTestSuite() {
    const std::wstring dll = zu::test::BinDir() + L"\\ZUAC.dll";
    RunProgram(System32(L"regsvr32.exe"), L"/u /s \"" + dll + L"\"");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZUTest");
    delete debug_;  // puts the debug file back
  }
  void SetUp() override {
    ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll";
    ::DeleteFileW(kDebugIni);
  }
  static void WriteDebug(const std::string& text) { zu::test::WriteFileBytes(kDebugIni, text); }

  static inline bool registered_ = false;
  static inline zu::test::FileSnapshot* debug_ = nullptr;
};

TEST_F(QueriesE2E, AllowedThroughTheDebugSwitch) {
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n");
  const RunResult r = RunCscript(AllowedScript());
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, DebugValuesReplaceAndForce) {
  WriteDebug(
      "[General]\r\nIgnoreURLCheck=1\r\nModelName=Debug Book (X)\r\n"
      "ModelCodeANDSerialNumber=DBG-0150\r\nLCID=1041\r\n"
      "[DebugInfoSearch]\r\nOSVersion=5.1;6.0\r\nBIOSVersion=Z9\r\nSPID=SP1;SP2\r\n"
      "ModelCodeANDSerialNumber=ABC-150\r\n");
  const RunResult r = RunCscript(kDebugScript);
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, AllowedPageOnThePageHost) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  const RunResult r = RunPage(kAllowed, AllowedScript());
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, RefusedPageOnThePageHost) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  const RunResult r = RunPage(kRefused, kRefusedScript);
  EXPECT_EQ(r.code, 0u) << r.output;
}

}  // namespace
