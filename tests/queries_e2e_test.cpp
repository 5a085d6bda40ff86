// The page's queries through ZUAC.dll's scripting interface, from JScript:
// on an allowed page (the page host with an allowed address, or cscript
// with the debug switch "IgnoreURLCheck") and on a refused page, with the
// reverse flag "0" and "1" and the last-error code after each call.
#include <windows.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/framework/device_info.h"
#include "common/framework/handle.h"
#include "common/wmi_query.h"
#include "tests/support/devices.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/scripts.h"

namespace {

const wchar_t kScratch[] = L"Software\\ZUTest\\QueriesE2E";
using zu::test::AllowedPageAddress;
using zu::test::HavePageHost;
using zu::test::kRefusedPageAddress;
using zu::test::JsString;
using zu::test::RunResult;

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
  return zu::test::RunInPageHost(address, L"zu_queries_page.js", kPrelude + body);
}
RunResult RunCscript(const std::string& body) {
  // A script error (no control, say) must fail the run, not end it quietly.
  return zu::test::RunInCscript(
      L"zu_queries_cscript.js",
      "var host, zuax;\n" + std::string(kPrelude) + "try {\n" + kCscriptPrelude + body +
          "\n} catch (e) { WScript.Echo(\"ERROR: \" + e.message); "
          "WScript.Quit(2); }\nWScript.Quit(failures ? 1 : 0);\n");
}

std::string Wmi(const wchar_t* wql, const wchar_t* property) {
  std::wstring text;
  QueryWmiProperty(wql, property, &text);
  return JsString(text);
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
var reads = ["GetDriverVersion", "GetDriverDate", "GetFileVersion", "GetFileLastWriteTime",
             "ReadVersionTXT", "ReadApplicationVersionTXT"];
for (var i = 0; i < reads.length; i++)
  call(zuax[reads[i]]("C:\\windows\\notepad.exe"), "", -1, reads[i] + " refused");
call(zuax.SearchDriveInfo("", "", "", ""), false, -1, "SearchDriveInfo refused");
// The lists are valid, so only the page decides.
var ex3 = ["SearchDriverVersionEx", "SearchDriverDateEx", "SearchFileVersionEx",
           "SearchFileLastWriteTimeEx", "SearchVersionTXTEx", "SearchApplicationVersionTXTEx",
           "SearchRegistryEx"];
for (var i = 0; i < ex3.length; i++) {
  call(zuax[ex3[i]]("HKEY_CURRENT_USER\\Software", "1", "0"), false, -1, ex3[i] + " refused");
  call(zuax[ex3[i]]("HKEY_CURRENT_USER\\Software", "1", "1"), true, -1, ex3[i] + " reversed");
}
call(zuax.SearchRegistryInfoEx("HKEY_CURRENT_USER\\Software", "", "1", "0"), false, -1,
     "SearchRegistryInfoEx refused");
call(zuax.SearchRegistryInfoEx("HKEY_CURRENT_USER\\Software", "", "1", "1"), true, -1,
     "SearchRegistryInfoEx reversed");
call(zuax.SearchDriveInfoEx("", "", "", "", "0"), false, -1, "SearchDriveInfoEx refused");
call(zuax.SearchDriveInfoEx("", "", "", "", "1"), true, -1, "SearchDriveInfoEx reversed");
host.Echo("refused page done");
)JS";

class QueriesE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    debug_ = new zu::test::DebugFileAside;
    registered_ = zu::test::Regsvr32() == 0u;
    const DWORD one = 1;
    const BYTE bytes[] = {1, 171};
    const wchar_t text[] = L"caf\u00e9";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"one", REG_DWORD, &one, 4);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"bytes", REG_BINARY, bytes, 2);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"text", REG_SZ, text, sizeof(text));
  }
  static void TearDownTestSuite() {
    zu::test::Regsvr32(true);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZUTest");
    delete debug_;  // puts the debug file back
  }
  void SetUp() override {
    ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll";
    debug_->Remove();
  }
  static void WriteDebug(const std::string& text) { debug_->Write(text); }

  static inline bool registered_ = false;
  static inline zu::test::DebugFileAside* debug_ = nullptr;
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
  const RunResult r = RunPage(AllowedPageAddress(), AllowedScript());
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, RefusedPageOnThePageHost) {
  if (!HavePageHost()) GTEST_SKIP() << "ZUPageHost.exe is not built";
  const RunResult r = RunPage(kRefusedPageAddress, kRefusedScript);
  EXPECT_EQ(r.code, 0u) << r.output;
}


// --- Drivers, files, version texts, registry searches and drives -----------------

const wchar_t kVersionPath[] = L"SOFTWARE\\Vexa Corporation\\Shared Info\\VersionPath\\";

// A JScript variable holding a text.
std::string JsVar(const char* name, const std::wstring& value) {
  return std::string("var ") + name + " = " + JsString(value) + ";\n";
}

TEST_F(QueriesE2E, DriversOfMadeUpDevices) {
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n");
  zu::test::MadeUpDevices devices;
  ASSERT_TRUE(devices.Add(L"9901", L"ZUTEST\\DEV_SHARED", L"1.2.3.0", L"7-15-2008"));
  ASSERT_TRUE(devices.Add(L"9902", L"ZUTEST\\DEV_SHARED", L"2.0.0.0", L"1-1-2009"));
  ASSERT_TRUE(devices.Add(L"9903", L"ZUTEST\\DEV_NODRIVER", nullptr, nullptr));
  ASSERT_TRUE(devices.Add(L"9904", L"ZUTEST\\DEV_DWORD", L"4.0.0.0", nullptr, true));
  // Both devices with the shared ID are present; the later one decides.
  const std::vector<std::wstring> order = zu::test::MadeUpDevices::PresentOrder();
  const auto first = std::find(order.begin(), order.end(), L"ROOT\\SYSTEM\\9901");
  const auto second = std::find(order.begin(), order.end(), L"ROOT\\SYSTEM\\9902");
  ASSERT_TRUE(first != order.end() && second != order.end()) << "made-up devices not present";
  const bool second_later = second > first;
  const RunResult r = RunCscript(
      JsVar("LATER_VERSION", second_later ? L"2.0.0.0" : L"1.2.3.0") +
      JsVar("LATER_VERSION_ZEROS", second_later ? L"02.00.0.00" : L"01.2.03.0") +
      JsVar("EARLIER_VERSION", second_later ? L"1.2.3.0" : L"2.0.0.0") +
      JsVar("LATER_DATE", second_later ? L"1-1-2009" : L"7-15-2008") + R"JS(
var E_DEVICE = 0x20000008;
call(zuax.GetDriverVersion("zutest\\dev_shared"), LATER_VERSION, 0, "version of the later device");
call(zuax.GetDriverDate("ZUTEST\\DEV_SHARED"), LATER_DATE, 0, "date of the later device");
call(zuax.GetDriverVersion("ZUTEST\\DEV_NODRIVER"), "", E_DEVICE, "device without a driver key");
call(zuax.GetDriverDate("ZUTEST\\DEV_DWORD"), "", E_DEVICE, "date that is no string");
call(zuax.GetDriverVersion("ZUTEST\\DEV_DWORD"), "4.0.0.0", 0, "its version is one");
call(zuax.GetDriverVersion("ZUTEST\\NO_SUCH"), "", E_DEVICE, "no such device");
call(zuax.GetDriverVersion(""), "", 0, "empty hardware ID");

call(zuax.SearchDriverVersionEx("ZUTEST\\NO_SUCH,ZUTEST\\DEV_SHARED", "9.9," + LATER_VERSION_ZEROS, "0"),
     true, E_DEVICE, "version list, normalised items; the missing device's code stays");
call(zuax.SearchDriverVersionEx("ZUTEST\\DEV_SHARED", EARLIER_VERSION, "0"), false, 0,
     "only the later device counts");
call(zuax.SearchDriverVersionEx("ZUTEST\\DEV_SHARED", LATER_VERSION.substring(0, 2) + "*", "1"),
     false, 0, "prefix item, reversed");
call(zuax.SearchDriverVersionEx("ZUTEST\\DEV_SHARED", "*", "0"), true, 0, "any version");
call(zuax.SearchDriverVersionEx("ZUTEST\\DEV_*", "*", "0"), false, E_INVALID, "no wildcard in IDs");
call(zuax.SearchDriverDateEx("ZUTEST\\DEV_SHARED", "0-0-0," + LATER_DATE.toUpperCase(), "0"), true,
     0, "date list");
call(zuax.SearchDriverDateEx("ZUTEST\\DEV_SHARED", LATER_DATE.substring(0, 2) + "*", "0"), true,
     0, "date prefix");
call(zuax.SearchDriverDateEx("ZUTEST\\DEV_SHARED", "*", "0"), false, E_INVALID, "no any-date");
call(zuax.SearchDriverDateEx("ZUTEST\\DEV_SHARED", "*", "1"), true, E_INVALID, "no any-date, reversed");
call(zuax.SearchDriverDateEx("ZUTEST\\DEV_NODRIVER", "1-1-2009", "1"), true, E_DEVICE,
     "no driver key is no match");
host.Echo("drivers done");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
}

// A file's bytes, or a copy of a built file, in a scratch folder.
class ScratchFiles {
 public:
  ScratchFiles() : dir_(zu::test::TempPath(L"zu_file_queries")) { ::CreateDirectoryW(dir_.c_str(), nullptr); }
  ~ScratchFiles() {
    for (const std::wstring& f : files_) ::DeleteFileW(f.c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    files_.push_back(dir_ + L"\\" + name);
    zu::test::WriteFileBytes(files_.back(), bytes);
    return files_.back();
  }
  std::wstring Copy(const std::wstring& from, const std::wstring& to) {
    files_.push_back(to);
    ::CopyFileW(from.c_str(), to.c_str(), FALSE);
    return to;
  }
  const std::wstring& dir() const { return dir_; }

 private:
  std::wstring dir_;
  std::vector<std::wstring> files_;
};

bool SetWriteTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = hour;
  FILETIME ft{};
  zu::UniqueFile f(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  return f && ::SystemTimeToFileTime(&st, &ft) && ::SetFileTime(f.get(), nullptr, nullptr, &ft);
}

TEST_F(QueriesE2E, FileVersionsOfBuiltFiles) {
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n[DebugInfoSearch]\r\nFileVersion=1.0.0.1;1.0.0.2\r\n");
  ScratchFiles files;
  const std::wstring versioned = zu::test::BinDir() + L"\\zu_versioned_fixture.dll";
  wchar_t windir[MAX_PATH];
  ASSERT_GT(::GetWindowsDirectoryW(windir, MAX_PATH), 0u);
  files.Copy(versioned, std::wstring(windir) + L"\\zu_versioned_fixture.dll");
  const RunResult r = RunCscript(
      JsVar("VERSIONED", versioned) +
      JsVar("UNVERSIONED", zu::test::BinDir() + L"\\zu_unversioned_fixture.dll") +
      JsVar("TEXT", files.Write(L"plain.txt", "no version here")) + JsVar("DIR", files.dir()) +
      R"JS(
var E_MISSING = 0x20000005;
var IN_WINDIR = "%windir%\\zu_versioned_fixture.dll";
call(zuax.GetFileVersion(VERSIONED), "6.0.2900.5512", 0, "version information");
call(zuax.GetFileVersion(IN_WINDIR), "6.0.2900.5512", 0, "%windir% expanded");
call(zuax.GetFileVersion("%WINDIR%\\zu_no_such_file.dll"), "", E_MISSING, "missing file");
call(zuax.GetFileVersion(UNVERSIONED), "", 0, "PE file without version information");
call(zuax.GetFileVersion(TEXT), "", 0, "text file");
call(zuax.GetFileVersion(DIR), "", E_MISSING, "a folder is no file");
call(zuax.GetFileVersion(""), "", 0, "empty path");
call(zuax.GetFileVersion("%windir%" + new Array(300).join("x")), "", E_MISSING, "expanded path too long");

call(zuax.SearchFileVersionEx(VERSIONED, "6.0.*", "0"), true, 0, "prefix item");
call(zuax.SearchFileVersionEx(VERSIONED, "6.00.2900.5512", "0"), true, 0, "normalised item");
call(zuax.SearchFileVersionEx(VERSIONED, "6.0.2900.5513,6.1*", "0"), false, 0, "other versions");
call(zuax.SearchFileVersionEx(VERSIONED, "6.0.2900.5513", "1"), true, 0, "other version, reversed");
call(zuax.SearchFileVersionEx(DIR + "\\missing.dll," + IN_WINDIR, "6.0.2900.5512", "0"), true,
     E_MISSING, "second path; the missing one leaves its code");
call(zuax.SearchFileVersionEx(UNVERSIONED, "*", "0"), false, 0, "no version, no match");
call(zuax.SearchFileVersionEx(DIR + "\\a*.dll", "*", "0"), false, E_INVALID, "wildcard in a path");
call(zuax.SearchFileVersionEx(DIR + "\\a\\*.dll", "*", "0"), false, E_MISSING, "escaped star is a character");
call(zuax.SearchFileVersionEx(VERSIONED, "6.0.2900.5512,", "0"), false, E_INVALID, "empty item");
call(zuax.SearchFileVersionEx(UNVERSIONED, "1.0.0.2", "0"), true, 0, "debug override");
call(zuax.SearchFileVersionEx(UNVERSIONED, "1.0.0.3", "0"), false, 0, "outside the override");
host.Echo("file versions done");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, FileTimesInTheLabsZone) {
  const char* july = std::getenv("ZU_EXPECT_JULY_TIME");
  const char* january = std::getenv("ZU_EXPECT_JANUARY_TIME");
  if (!july || !january) GTEST_SKIP() << "the run names no zone (ZU_EXPECT_*_TIME)";
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n");
  ScratchFiles files;
  const std::wstring summer = files.Write(L"july.txt", "x"), winter = files.Write(L"january.txt", "y");
  ASSERT_TRUE(SetWriteTime(summer, 2008, 7, 15, 12));
  ASSERT_TRUE(SetWriteTime(winter, 2008, 1, 15, 12));
  const RunResult r = RunCscript(
      JsVar("SUMMER", summer) + JsVar("WINTER", winter) + JsVar("DIR", files.dir()) +
      "var JULY = \"" + july + "\", JANUARY = \"" + january + "\";\n" + R"JS(
var E_MISSING = 0x20000005;
call(zuax.GetFileLastWriteTime(SUMMER), JULY, 0, "July in local time");
call(zuax.GetFileLastWriteTime(WINTER), JANUARY, 0, "January in local time");
call(zuax.GetFileLastWriteTime(DIR + "\\missing.txt"), "", E_MISSING, "missing file");
call(zuax.SearchFileLastWriteTimeEx(SUMMER, JULY, "0"), true, 0, "time matches");
call(zuax.SearchFileLastWriteTimeEx(SUMMER + "," + WINTER, JANUARY.substring(0, 10) + "*", "0"),
     true, 0, "second file by prefix");
call(zuax.SearchFileLastWriteTimeEx(SUMMER, "*", "0"), false, E_INVALID, "any-time refused");
call(zuax.SearchFileLastWriteTimeEx(SUMMER, JANUARY, "1"), true, 0, "other time, reversed");
host.Echo("file times done");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, VersionTextsAndApplicationEntries) {
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n");
  ScratchFiles files;
  // A text of the system code page with characters above 0x7F.
  const std::wstring accented = L"Caf\u00e9 \u00c5 2.0";
  char bytes[64] = {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, accented.c_str(), -1, bytes, sizeof(bytes),
                                      nullptr, nullptr);
  ASSERT_GT(n, 1);
  ASSERT_TRUE(std::any_of(bytes, bytes + n, [](char c) { return (c & 0x80) != 0; }));
  const std::wstring crlf = files.Write(L"crlf.txt", "1.02.0003\r\nsecond line\r\n");
  const std::wstring app_missing_file = files.dir() + L"\\gone.txt";
  zu::test::SetRegString(HKEY_LOCAL_MACHINE, kVersionPath + std::wstring(L"ZUTestApp"), L"Version", crlf);
  zu::test::SetRegString(HKEY_LOCAL_MACHINE, kVersionPath + std::wstring(L"ZUTestGone"), L"Version",
                    app_missing_file);
  const RunResult r = RunCscript(
      JsVar("CRLF", crlf) + JsVar("LF", files.Write(L"lf.txt", "2.0\nx")) +
      JsVar("CR", files.Write(L"cr.txt", "3.0\rx")) +
      JsVar("LONG", files.Write(L"long.txt", std::string(200, '7') + "\r\n")) +
      JsVar("CODEPAGE", files.Write(L"cp.txt", std::string(bytes, n - 1) + "\r\n")) +
      JsVar("ACCENTED", accented) + JsVar("EMPTYLINE", files.Write(L"empty.txt", "\r\n4.0")) +
      JsVar("DIR", files.dir()) + R"JS(
var E_TEXT = 0x20000009;
call(zuax.ReadVersionTXT(CRLF), "1.02.0003", 0, "CRLF ending");
call(zuax.ReadVersionTXT(LF), "2.0", 0, "LF ending");
call(zuax.ReadVersionTXT(CR), "3.0", 0, "CR ending");
call(zuax.ReadVersionTXT(LONG), new Array(129).join("7"), 0, "first 128 bytes");
call(zuax.ReadVersionTXT(CODEPAGE), ACCENTED, 0, "system code page");
call(zuax.ReadVersionTXT(EMPTYLINE), "", E_TEXT, "empty first line");
call(zuax.ReadVersionTXT(DIR + "\\missing.txt"), "", E_TEXT, "missing file");
call(zuax.ReadVersionTXT(DIR), "", E_TEXT, "a folder");
call(zuax.ReadVersionTXT(""), "", 0, "empty path");
call(zuax.ReadApplicationVersionTXT("ZUTestApp"), "1.02.0003", 0, "through VersionPath");
call(zuax.ReadApplicationVersionTXT("ZUTestGone"), "", E_TEXT, "entry naming a missing file");
call(zuax.ReadApplicationVersionTXT("ZUTestNoEntry"), "", E_TEXT, "no entry");

call(zuax.SearchVersionTXTEx(DIR + "\\missing.txt," + CRLF, "1.02.0003", "0"), true, E_TEXT,
     "second file; the missing one leaves its code");
call(zuax.SearchVersionTXTEx(CRLF, "1.2.3", "0"), false, 0, "text rule: no normalising");
call(zuax.SearchVersionTXTEx(CRLF, "1.02*", "0"), true, 0, "prefix");
call(zuax.SearchVersionTXTEx(CRLF, "1.02.0003,", "0"), false, E_INVALID, "empty item");
call(zuax.SearchApplicationVersionTXTEx("ZUTestGone,ZUTestApp", "1.02.0003", "0"), true, E_TEXT,
     "application list");
call(zuax.SearchApplicationVersionTXTEx("ZUTestApp", "9.9", "1"), true, 0, "other version, reversed");
host.Echo("version texts done");
)JS");
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kVersionPath + std::wstring(L"ZUTestApp")).c_str());
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kVersionPath + std::wstring(L"ZUTestGone")).c_str());
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(QueriesE2E, RegistrySearches) {
  WriteDebug("[General]\r\nIgnoreURLCheck=1\r\n[DebugInfoSearch]\r\nRegistryValue=dword:0000beef\r\n");
  const std::wstring big(600, L'x');  // 1202 bytes: beyond the 1024-byte buffer
  ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kScratch, L"big", big));
  ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kScratch, L"Version", L"Vexa 6.1"));
  const RunResult r = RunCscript(R"JS(
var HK = "HKEY_CURRENT_USER\\Software\\ZUTest\\QueriesE2E";
call(zuax.SearchRegistryEx(HK, "", "0"), true, 0, "empty name list: the key exists");
call(zuax.SearchRegistryEx(HK, "on*", "0"), true, 0, "name prefix");
call(zuax.SearchRegistryEx(HK, "ON*", "0"), false, 0, "name prefixes keep case");
call(zuax.SearchRegistryEx(HK, "nothing,VERSION", "0"), true, 0, "plain names ignore case");
call(zuax.SearchRegistryEx(HK, "big", "0"), true, 0, "a big value is there");
call(zuax.SearchRegistryEx(HK + "\\Missing", "", "0"), false, E_REGISTRY, "missing key");
call(zuax.SearchRegistryEx(HK + "\\Missing", "", "1"), true, E_REGISTRY, "missing key, reversed");
call(zuax.SearchRegistryEx("", "", "0"), false, E_REGISTRY, "no path at all");
call(zuax.SearchRegistryEx(HK + ",", "", "0"), false, E_INVALID, "empty path item");
call(zuax.SearchRegistryEx("HKLM\\Software", "", "0"), false, E_REGISTRY, "abbreviated root");

call(zuax.SearchRegistryInfoEx(HK, "one", "dword:00000001", "0"), true, 0, "dword text");
call(zuax.SearchRegistryInfoEx(HK, "one", "DWORD:0000000*", "0"), true, 0, "dword prefix item");
call(zuax.SearchRegistryInfoEx(HK, "", "dword:00000002,dword:00000001", "0"), true, 0,
     "dword list, empty name list");
call(zuax.SearchRegistryInfoEx(HK, "one", "1", "0"), true, 0, "dword plain form");
call(zuax.SearchRegistryInfoEx(HK, "one", "dword:00000001,2", "0"), false, E_INVALID,
     "dword list with a plain item");
call(zuax.SearchRegistryInfoEx(HK, "bytes", "hex:01,ab", "0"), true, 0, "binary text");
call(zuax.SearchRegistryInfoEx(HK, "*", "hex:ff,hex:01,AB", "0"), true, 0, "binary list");
call(zuax.SearchRegistryInfoEx(HK, "bytes", "hex:01,*", "0"), true, 0, "binary prefix");
call(zuax.SearchRegistryInfoEx(HK, "bytes", "hex:01,ab;02", "0"), false, E_INVALID,
     "binary item without hex:");
call(zuax.SearchRegistryInfoEx(HK, "text", "caf\u00e9", "0"), true, 0, "string plain form");
call(zuax.SearchRegistryInfoEx(HK, "text", "\"CAF\u00e9\"", "0"), true, 0, "string quoted form");
call(zuax.SearchRegistryInfoEx(HK, "Ver*", "Vexa*", "0"), true, 0, "string prefix");
call(zuax.SearchRegistryInfoEx(HK, "Version", "6.1", "0"), false, 0, "no partial strings");
call(zuax.SearchRegistryInfoEx(HK, "big", "xx*", "0"), false, 0, "over 1024 bytes never matches");
call(zuax.SearchRegistryInfoEx(HK, "one", "*", "0"), false, E_INVALID, "no any-value item");
call(zuax.SearchRegistryInfoEx(HK, "one", "a*b", "0"), false, E_INVALID, "wildcard inside");
call(zuax.SearchRegistryInfoEx(HK, "one", "", "1"), true, E_INVALID, "empty value list, reversed");
call(zuax.SearchRegistryInfoEx("", "one", "1", "0"), false, E_REGISTRY, "no path at all");
call(zuax.SearchRegistryInfoEx(HK + "\\Missing", "", "dword:0000beef", "0"), true, 0,
     "debug override");
host.Echo("registry searches done");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
}

// The debug file's keys for these queries: "General" values answer the
// reading methods, also inside the matching methods; "DebugInfoSearch"
// values force a match when they hold the requested list.
TEST_F(QueriesE2E, DebugValuesForFilesDriversAndVersionTexts) {
  WriteDebug(
      "[General]\r\nIgnoreURLCheck=1\r\nDriverVersion=9.8.7.6\r\nDriverDate=1-2-2003\r\n"
      "FileVersion=5.4.3.2\r\nFileLastWriteDate=2001-02-03-04:05:06\r\nVersionTxt=V7\r\n"
      "[DebugInfoSearch]\r\nDriverVersion=1.1;1.2\r\nDriverDate=5-5-2005\r\n"
      "FileLastWriteDate=1999\r\nVersionTxt=X1;X2\r\n");
  const RunResult r = RunCscript(R"JS(
call(zuax.GetDriverVersion("NO\\SUCH"), "9.8.7.6", 0, "General DriverVersion");
call(zuax.GetDriverDate("NO\\SUCH"), "1-2-2003", 0, "General DriverDate");
call(zuax.GetFileVersion("C:\\no\\such.dll"), "5.4.3.2", 0, "General FileVersion");
call(zuax.GetFileLastWriteTime("C:\\no\\such.dll"), "2001-02-03-04:05:06", 0, "General FileLastWriteDate");
call(zuax.ReadVersionTXT("C:\\no\\such.txt"), "V7", 0, "General VersionTxt");
call(zuax.ReadApplicationVersionTXT("NoSuchApp"), "V7", 0, "General VersionTxt for applications");
// The matching methods read their subjects as the reading methods do.
call(zuax.SearchFileVersionEx("C:\\no\\such.dll", "05.4.*", "0"), true, 0, "General value searched");
call(zuax.SearchDriverDateEx("NO\\SUCH", "1-2-2003", "0"), true, 0, "General date searched");
call(zuax.SearchApplicationVersionTXTEx("NoSuchApp", "v7", "0"), true, 0, "General text searched");
// DebugInfoSearch forces a match when its value holds the whole list.
call(zuax.SearchDriverVersionEx("ANY", "1.2", "0"), true, 0, "forced driver version");
call(zuax.SearchDriverVersionEx("ANY", "1.2", "1"), false, 0, "forced, reversed");
call(zuax.SearchDriverDateEx("ANY", "5-5-2005", "0"), true, 0, "forced driver date");
call(zuax.SearchFileLastWriteTimeEx("ANY", "1999", "0"), true, 0, "forced file time");
call(zuax.SearchVersionTXTEx("ANY", "X2", "0"), true, 0, "forced version text");
call(zuax.SearchApplicationVersionTXTEx("ANY", "X1", "0"), true, 0, "forced application text");
call(zuax.SearchVersionTXTEx("ANY", "X3", "0"), false, 0, "not in the forcing value");
host.Echo("debug values done");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
}

// Wine answers no drive (error 50 for every pass-through request), so
// real drives never match here; the seam tests of drive_identity_test.cpp
// cover readable drives. What needs no drive runs as a page would.
const char kDrivesScript[] = R"JS(
var E_ADMIN = 0x20000002;
call(zuax.SearchDriveInfo("", "", "", ""), false, 0, "no readable drive under Wine");
call(zuax.SearchDriveInfoEx("", "", "", "", "1"), true, 0, "no drive, reversed");
call(zuax.SearchDriveInfoEx("VEXA*", "", "", "", "0"), false, E_INVALID, "vendor ending in *");
call(zuax.SearchDriveInfoEx("VEXA", "DVD", "1.0", "X", "0"), true, 0, "DebugInfoSearch override");
call(zuax.SearchDriveInfoEx("VEXA", "DVD", "1.0", "Y", "0"), false, 0, "one key without its argument");
host.Echo("drives done");
)JS";
const char kDebugDrives[] =
    "[General]\r\nIgnoreURLCheck=1\r\n[DebugInfoSearch]\r\nFirmVender=VEXA\r\n"
    "FirmProductID=DVD-RW\r\nFirmProductRevison=1.02\r\nFirmVenderSpec=X\r\n";

TEST_F(QueriesE2E, DrivesAsAPageAsksForThem) {
  WriteDebug(kDebugDrives);
  const RunResult r = RunCscript(kDrivesScript);
  EXPECT_EQ(r.code, 0u) << r.output;
}

// The same page run by a standard user (the Administrators group
// deny-only) on an allowed page: both drive searches refuse with
// 0x20000002, the "Ex" form after its vendor check. The debug file an
// administrator wrote forces nothing for a standard user, who could have
// written it too.
const char kStandardUserDrives[] = R"JS(
var E_ADMIN = 0x20000002;
call(zuax.IsAdmin(), false, 0, "a standard user");
call(zuax.SearchDriveInfo("", "", "", ""), false, E_ADMIN, "SearchDriveInfo");
call(zuax.SearchDriveInfoEx("", "", "", "", "0"), false, E_ADMIN, "SearchDriveInfoEx");
call(zuax.SearchDriveInfoEx("", "", "", "", "1"), true, E_ADMIN, "SearchDriveInfoEx reversed");
call(zuax.SearchDriveInfoEx("VEXA*", "", "", "", "0"), false, E_INVALID, "vendor checked first");
call(zuax.SearchDriveInfoEx("VEXA", "DVD", "1.0", "X", "0"), false, E_ADMIN, "no override");
host.Echo("standard user done");
)JS";

TEST_F(QueriesE2E, DrivesRefuseAStandardUser) {
  WriteDebug(kDebugDrives);
  zu::UniqueHandle token = zu::test::NonAdminToken();
  ASSERT_TRUE(token);
  EXPECT_EQ(zu::test::RunChild(L"DISABLED_StandardUserPage.*", L"standard-user-page", token.get()),
            zu::test::kChildPassed);
}

TEST(DISABLED_StandardUserPage, DrivesNeedAnAdministrator) {
  if (!zu::test::IsChild(L"standard-user-page")) GTEST_SKIP();
  const RunResult r = RunPage(AllowedPageAddress(), kStandardUserDrives);
  EXPECT_EQ(r.code, 0u) << r.output;
  zu::test::FinishChild();
}

}  // namespace
