// The sample support page (tools/demo/site/support.html) in the lab's
// browser against the lab PC: made-up firmware (run by fake_smbios.sh),
// made-up devices, installed components and registry values, and a
// catalogue in which some updates apply and some do not. The page is
// served under the maker's own address through a proxy on the loopback,
// so the control's allow-list admits it as it would on a customer's PC.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/devices.h"
#include "tests/support/engine_servers.h"
#include "tests/support/files.h"
#include "tests/support/scripts.h"
#include "tests/support/loopback_http.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/test_pki.h"
#include "tests/support/text.h"

namespace {

using zu::test::Lines;

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t kSharedInfo[] = L"SOFTWARE\\Vexa Corporation\\Shared Info";
const wchar_t kScratch[] = L"SOFTWARE\\ZUTest\\SupportPage";
const wchar_t kPage[] = L"http://support.vexa.example/zefo/support.html";

// Requirements of every kind the page knows, each once holding and once
// not on the lab PC. The model name ends with a blank (the firmware's
// "VexaBook 9000 (Pro)" is cut before its "("), so it is matched by prefix.
const char kCatalogue[] = R"XML(<?xml version="1.0" encoding="utf-8"?>
<catalogue>
  <update spid="ZU-TOUCH-21" name="Touch pad driver 2.1" file="files/Touch21/Touch21.exe" size="40960">
    <model>VexaBook 9000*,VexaBook 9100*</model>
    <modelcode>VB9</modelcode>
    <os>6.1,6.0</os>
    <bios>V1.2*</bios>
    <driver hwid="ROOT\VEXATOUCH">2.0.*</driver>
    <spid not="1">ZU-TOUCH-21</spid>
  </update>
  <update spid="ZU-POWER-7" name="Power manager patch 7" file="files/Power7/Power7.exe" size="POWER_SIZE">
    <spid>ZU-APP-POWER</spid>
    <registry key="HKEY_LOCAL_MACHINE\SOFTWARE\ZUTest\SupportPage" name="Level">2</registry>
    <file path="%WINDIR%\system32\kernel32.dll">*</file>
  </update>
  <update spid="ZU-AUDIO-32" name="Audio driver 3.2" file="files/Audio32/Audio32.exe" size="1">
    <driver hwid="ROOT\VEXAAUDIO">3.0.*</driver>
  </update>
  <update spid="ZU-OTHER-1" name="Driver for another model" file="files/Other1/Other1.exe" size="1">
    <model>VexaBook 7000*</model>
  </update>
  <update spid="ZU-OLD-XP" name="Windows XP fix" file="files/OldXp/OldXp.exe" size="1">
    <os>5.1</os>
  </update>
  <update spid="ZU-PATCH-OLD" name="Patch already here" file="files/PatchOld/PatchOld.exe" size="1">
    <spid not="1">ZU-PATCH-OLD</spid>
  </update>
  <update spid="ZU-NEEDS-APP" name="Needs another application" file="files/NeedsApp/NeedsApp.exe" size="1">
    <spid>ZU-APP-MISSING</spid>
  </update>
  <update spid="ZU-REG-3" name="Needs level 3" file="files/Reg3/Reg3.exe" size="1">
    <registry key="HKEY_LOCAL_MACHINE\SOFTWARE\ZUTest\SupportPage" name="Level">3</registry>
  </update>
  <update spid="ZU-NOFILE" name="Needs a missing file" file="files/NoFile/NoFile.exe" size="1">
    <file path="C:\no\such\file.dll">*</file>
  </update>
  <update spid="ZU-BAD-OS" name="Malformed requirement" file="files/BadOs/BadOs.exe" size="1">
    <os>6.1,</os>
  </update>
  <update spid="ZU-RAM" name="Unknown requirement" file="files/Ram/Ram.exe" size="1">
    <ram>4GB</ram>
  </update>
  <update spid="ZU-NO-FILE-ATTR" name="Entry without a file"/>
  <control fileversion="CONTROL_VERSION" version="CONTROL_VERSION" file="files/ZUAC/ZUACSetup.exe"
           failed="control-failed.html" size="1"/>
</catalogue>
)XML";

// The update the catalogue offers to run: the engine's test installer,
// signed by the test PKI's "Vexa Corporation".
std::string PowerInstaller() { return zu::test::ReadFileBytes(zu::test::SignedInstaller(L"vexa.exe")); }

std::string Catalogue(const std::string& control_version) {
  std::string text = kCatalogue;
  const std::string size = std::to_string(PowerInstaller().size());
  text.replace(text.find("POWER_SIZE"), 10, size);
  for (size_t at; (at = text.find("CONTROL_VERSION")) != std::string::npos;)
    text.replace(at, 15, control_version);
  return text;
}

std::string ReadSiteFile(const wchar_t* name) {
  return zu::test::ReadFileBytes(zu::test::BinDir() + L"\\site\\" + name);
}

// The control the catalogue offers: set by a test before it browses.
std::mutex control_lock;
std::string offered_control = ZU_TEST_VERSION;

std::string OfferedControl() {
  std::lock_guard<std::mutex> hold(control_lock);
  return offered_control;
}

void OfferControl(const std::string& version) {
  std::lock_guard<std::mutex> hold(control_lock);
  offered_control = version;
}

// The maker's web server seen through a proxy: requests arrive with the
// whole address ("http://support.vexa.example:80/zefo/..."). It serves the
// page under any host, so that a host outside the allow-list can load it.
zu::test::LoopbackHttpServer::Reply Site(const zu::test::LoopbackHttpServer::Request& request) {
  using Reply = zu::test::LoopbackHttpServer::Reply;
  const std::string& address = request.path;
  if (address.compare(0, 7, "http://") != 0) return Reply::With(400, "not through a proxy");
  const size_t slash = address.find('/', 7);
  std::string path = slash == std::string::npos ? "/" : address.substr(slash);
  path = path.substr(0, path.find('?'));
  if (path == "/zefo/support.html") return Reply::With(200, ReadSiteFile(L"support.html"));
  if (path == "/zefo/catalogue.xml") return Reply::With(200, Catalogue(OfferedControl()));
  if (path == "/zefo/files/Power7/Power7.exe") return Reply::With(200, PowerInstaller());
  return Reply::With(404, "not found");
}

class SupportPageE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll";
    proxy_settings_.Clear();
    ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", 1));
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer",
                                       L"127.0.0.1:" + std::to_wstring(server_.port())));
    shared_info_.Clear();
    ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, std::wstring(kSharedInfo) + L"\\AppDB\\Power",
                                       L"appid", L"ZU-APP-POWER"));
    ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE,
                                       std::wstring(kSharedInfo) + L"\\PatchDB\\ZU-PATCH-OLD", L"patchid",
                                       L"ZU-PATCH-OLD"));
    ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, kScratch, L"Level", L"2"));
    ASSERT_TRUE(devices_.Add(L"0981", L"ROOT\\VEXATOUCH", L"2.0.0.5", L"3-1-2020"));
    ASSERT_TRUE(devices_.Add(L"0982", L"ROOT\\VEXAAUDIO", L"3.1.0.0", L"3-1-2021"));
    OfferControl(ZU_TEST_VERSION);
  }
  static void SetUpTestSuite() {
    registered_ = zu::test::Regsvr32() == 0u;
  }
  static void TearDownTestSuite() { zu::test::Regsvr32(true); }

  zu::test::RunResult Browse(const std::wstring& address) {
    return zu::test::RunCaptured(zu::test::BinDir() + L"\\ZUPageHost.exe",
                                 L"--close-after-run " + address, 120000);
  }

  static inline bool registered_ = false;
  zu::test::LoopbackHttpServer server_{Site};
  zu::test::KeySnapshot proxy_settings_{HKEY_CURRENT_USER, kInternetSettings};
  zu::test::KeySnapshot shared_info_{HKEY_LOCAL_MACHINE, kSharedInfo};
  zu::test::KeySnapshot scratch_{HKEY_LOCAL_MACHINE, kScratch};
  zu::test::MadeUpDevices devices_;
};

// As the page rounds it.
std::string PowerKb() {
  return std::to_string(static_cast<long long>(PowerInstaller().size() / 1024.0 + 0.5)) + " KB";
}

TEST_F(SupportPageE2E, ListsWhatAppliesToThisPcAndWhyTheRestDoesNot) {
  // The firmware fake_smbios.sh made up for this run.
  const char* name = std::getenv("ZU_SMBIOS_NAME");
  const char* code = std::getenv("ZU_SMBIOS_CODE");
  const char* serial = std::getenv("ZU_SMBIOS_SERIAL");
  const char* bios = std::getenv("ZU_SMBIOS_BIOS");
  ASSERT_TRUE(name && code && serial && bios) << "run under tests/support/fake_smbios.sh";
  std::string model = name;
  model = model.substr(0, model.find('('));
  while (!model.empty() && model.back() == ' ') model.pop_back();

  // A newer control: "10" is after "4" as a number, not as a text.
  OfferControl("10.0.0.0");
  const zu::test::RunResult r = Browse(kPage);
  EXPECT_EQ(r.code, 0u) << r.output;
  const std::vector<std::string> expected = {
      "ZEFO Update Support",
      "This PC",
      "Model | " + model,
      std::string("Model code | ") + code,
      std::string("Serial number | ") + serial,
      std::string("BIOS | ") + bios,
      "ZEFO Update control | " + std::string(ZU_TEST_VERSION),
      "A newer ZEFO Update control (10.0.0.0) is available. [Update the control]",
      "Updates for this PC",
      "[x] Touch pad driver 2.1 (ZU-TOUCH-21), 40 KB",
      "[x] Power manager patch 7 (ZU-POWER-7), " + PowerKb(),
      "[Install the checked updates]",
      "Other updates",
      "- Audio driver 3.2 (ZU-AUDIO-32): not for this PC, driver 3.0.*",
      "- Driver for another model (ZU-OTHER-1): not for this PC, model VexaBook 7000*",
      "- Windows XP fix (ZU-OLD-XP): not for this PC, os 5.1",
      "- Patch already here (ZU-PATCH-OLD): installed",
      "- Needs another application (ZU-NEEDS-APP): not for this PC, spid ZU-APP-MISSING",
      "- Needs level 3 (ZU-REG-3): not for this PC, registry 3",
      "- Needs a missing file (ZU-NOFILE): not for this PC, file *",
      "- Malformed requirement (ZU-BAD-OS): not for this PC, a malformed requirement (os 6.1,)",
      "- Unknown requirement (ZU-RAM): not for this PC, a requirement this page does not know (ram)",
      "- Entry without a file (ZU-NO-FILE-ATTR): skipped, an entry without spid, name or file",
  };
  EXPECT_EQ(Lines(r.output), expected) << r.output;

  // Through the proxy, under the maker's address; the page asked for its
  // catalogue beside itself and nothing was downloaded.
  std::vector<std::string> asked;
  for (const auto& request : server_.requests()) asked.push_back(request.path);
  EXPECT_EQ(asked, (std::vector<std::string>{"http://support.vexa.example:80/zefo/support.html",
                                             "http://support.vexa.example:80/zefo/catalogue.xml"}));
}

TEST_F(SupportPageE2E, UnattendedItInstallsTheCheckedUpdatesAndTheReloadShowsTheRun) {
  const std::wstring update_folder = L"C:\\Update";
  ::CreateDirectoryW(update_folder.c_str(), nullptr);
  zu::test::FileSnapshot uncheck(update_folder + L"\\UncheckItem.dat");
  zu::test::FileSnapshot patch_list(update_folder + L"\\PatchList.dat");
  zu::test::KeySnapshot flags(HKEY_LOCAL_MACHINE, L"Software\\Vexa Corporation\\ZEFO Update");
  zu::test::KeySnapshot desktop(HKEY_CURRENT_USER, L"Control Panel\\Desktop");
  zu::test::TrustedRoot root(zu::test::TestRootCertificate());
  ASSERT_TRUE(root.ok());
  // The user un-checked the touch pad driver on an earlier visit.
  zu::test::WriteFileBytes(update_folder + L"\\UncheckItem.dat", "[UncheckItem]\r\nZU-TOUCH-21=1\r\n");
  ::DeleteFileW((update_folder + L"\\PatchList.dat").c_str());

  const zu::test::RunResult r = Browse(std::wstring(kPage) + L"?install=checked");
  const std::wstring module = update_folder + L"\\Power7\\Power7.exe";
  const bool downloaded = zu::test::FileExists(module);
  ::DeleteFileW(module.c_str());
  ::RemoveDirectoryW((update_folder + L"\\Power7").c_str());

  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_TRUE(downloaded);
  const std::vector<std::string> lines = Lines(r.output);
  auto at = [&](const std::string& line, size_t from) {
    auto it = std::find(lines.begin() + std::min(from, lines.size()), lines.end(), line);
    return it == lines.end() ? std::string::npos : static_cast<size_t>(it - lines.begin());
  };
  // First load: the un-checked update stays un-checked and only the checked
  // one is installed; the run ends normally and the browser reloads.
  const size_t unchecked = at("[ ] Touch pad driver 2.1 (ZU-TOUCH-21), 40 KB", 0);
  const size_t checked = at("[x] Power manager patch 7 (ZU-POWER-7), " + PowerKb(), 0);
  const size_t installing = at("Installing 1 update...", 0);
  const size_t installed = at("The updates were installed.", 0);
  ASSERT_NE(unchecked, std::string::npos) << r.output;
  ASSERT_NE(checked, std::string::npos) << r.output;
  ASSERT_NE(installing, std::string::npos) << r.output;
  ASSERT_NE(installed, std::string::npos) << r.output;
  EXPECT_LT(unchecked, checked);
  EXPECT_LT(checked, installing);
  EXPECT_LT(installing, installed);
  // Second load: the run's update is listed as run, and nothing runs again.
  const size_t reloaded = at("ZEFO Update Support", installed);
  ASSERT_NE(reloaded, std::string::npos) << r.output;
  EXPECT_NE(at("Installed by ZEFO Update", reloaded), std::string::npos) << r.output;
  EXPECT_NE(at("- Power manager patch 7 (ZU-POWER-7)", reloaded), std::string::npos) << r.output;
  EXPECT_EQ(at("Installing 1 update...", reloaded), std::string::npos) << r.output;
  // The catalogue's control is this one: nothing offered.
  for (const std::string& line : lines) EXPECT_EQ(line.find("A newer"), std::string::npos) << line;
  int downloads = 0;
  for (const auto& request : server_.requests())
    downloads += request.path.find("/zefo/files/") != std::string::npos;
  EXPECT_EQ(downloads, 1);
}

TEST_F(SupportPageE2E, APageOutsideTheAllowListGetsNoAnswers) {
  // The same page from another host: the control answers nothing.
  const zu::test::RunResult r = Browse(L"http://www.refused-host.example/zefo/support.html");
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_EQ(Lines(r.output),
            (std::vector<std::string>{
                "ZEFO Update Support",
                "The ZEFO Update control is not installed, or this page is not allowed to use it. "
                "Install ZEFO Update and open this page from the Start menu."}))
      << r.output;
}

}  // namespace
