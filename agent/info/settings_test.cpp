#include "agent/info/settings.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "agent/info/clock.h"
#include "common/framework/seam.h"
#include "tests/support/settings.h"

namespace {

using zu::test::FileAside;
using zu::test::SettingsFileAside;

int64_t g_now = 0;
int64_t FakeNow() { return g_now; }
void NoBox(const std::wstring&, const std::wstring&) {}

void WriteRaw(const std::wstring& path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(h);
  ASSERT_EQ(bytes.size(), written);
}

std::string ReadRaw(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(1 << 16, '\0');
  DWORD n = 0;
  ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  ::CloseHandle(h);
  bytes.resize(n);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The entries of one section, or the section names, joined with "|".
std::wstring Joined(const std::wstring& path, const wchar_t* section) {
  wchar_t buf[4096] = {};
  DWORD n = section ? ::GetPrivateProfileSectionW(section, buf, 4096, path.c_str())
                    : ::GetPrivateProfileSectionNamesW(buf, 4096, path.c_str());
  std::wstring out;
  for (DWORD i = 0; i < n; i += static_cast<DWORD>(wcslen(buf + i)) + 1)
    out += (out.empty() ? L"" : L"|") + std::wstring(buf + i);
  return out;
}

// Runs on the real settings file; the file, its folders and the template
// beside this executable are put back as they were.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { files_.MakeFolders(); }
  std::wstring Interval(int days) { return L"Interval=" + std::to_wstring(days); }

  SettingsFileAside files_;
  zu::ScopedOverride<ClockErrorBox> box_{zu::seams::clock_error_box, NoBox};
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults) {
  EXPECT_EQ(L"1", ReadInterval());
  EXPECT_EQ(0, ReadSuppressBalloon());
  EXPECT_EQ(L"", ReadInfoFileURLBase());
  EXPECT_EQ(L"0", ReadUseModelCode());
  EXPECT_EQ(L"NONE", ReadLanguage());
  EXPECT_EQ(L"0", ReadUseSystemDefaultUILanguage());
  EXPECT_EQ(6000, ReadReceiveTimeout());
  std::wstring url = L"untouched";
  EXPECT_FALSE(ReadURLForInvalidInfoFile(&url));
  EXPECT_FALSE(ReadURLForInvalidSupportPage(&url));
  EXPECT_EQ(L"untouched", url);
  EXPECT_FALSE(Exists(files_.file()));  // reading creates nothing
}

TEST_F(SettingsTest, ValuesAreReadFromTheirSectionsAndCutToLength) {
  const std::string base127(127, 'b'), url255 = "http://" + std::string(248, 'u');
  WriteRaw(files_.file(),
           "[Option]\r\nInterval=14\r\nSuppressBallonPopUp=2\r\nUseModelCode=1\r\n"
           "Language=" + std::string(200, 'L') + "\r\nUseSystemDefaultUILanguage=1\r\n"
           "ReceiveTimeout=12000\r\nURLForInvalidInfoFile=" + url255 + "\r\n"
           "URLForInvalidSupportPage=" + url255 + "tail\r\n"
           "InfoFileURLBase=in-the-wrong-section\r\n"
           "[Setting]\r\nInfoFileURLBase=" + base127 + "\r\n");
  EXPECT_EQ(L"14", ReadInterval());
  EXPECT_EQ(2, ReadSuppressBalloon());
  EXPECT_EQ(L"1", ReadUseModelCode());
  EXPECT_EQ(std::wstring(127, L'L'), ReadLanguage());
  EXPECT_EQ(L"1", ReadUseSystemDefaultUILanguage());
  EXPECT_EQ(12000, ReadReceiveTimeout());
  EXPECT_EQ(std::wstring(127, L'b'), ReadInfoFileURLBase());
  std::wstring url;
  ASSERT_TRUE(ReadURLForInvalidInfoFile(&url));
  EXPECT_EQ(L"http://" + std::wstring(248, L'u'), url);
  ASSERT_TRUE(ReadURLForInvalidSupportPage(&url));
  EXPECT_EQ(L"http://" + std::wstring(248, L'u'), url);

  // A key that is present but empty is no address.
  WriteRaw(files_.file(), "[Option]\r\nURLForInvalidInfoFile=\r\nLanguage=\r\n");
  url = L"untouched";
  EXPECT_FALSE(ReadURLForInvalidInfoFile(&url));
  EXPECT_EQ(L"untouched", url);

  // Every user may write this file: only web addresses are fallback pages.
  for (const char* page : {"file:///C:/Windows/notepad.exe", "C:\\Windows\\notepad.exe",
                           "javascript:alert(1)", "\\\\server\\share\\page.htm", "http:x"}) {
    WriteRaw(files_.file(), std::string("[Option]\r\nURLForInvalidInfoFile=") + page +
                                "\r\nURLForInvalidSupportPage=" + page + "\r\n");
    EXPECT_FALSE(ReadURLForInvalidInfoFile(&url)) << page;
    EXPECT_FALSE(ReadURLForInvalidSupportPage(&url)) << page;
  }
  WriteRaw(files_.file(), "[Option]\r\nURLForInvalidSupportPage=HTTPS://fallback/\r\n");
  ASSERT_TRUE(ReadURLForInvalidSupportPage(&url));
  EXPECT_EQ(L"HTTPS://fallback/", url);
}

TEST_F(SettingsTest, WritesGoToOptionAsDecimalText) {
  WriteRaw(files_.file(), "[Option]\r\nLanguage=JPN\r\n");
  ASSERT_TRUE(WriteSuppressBalloon(2));
  ASSERT_TRUE(WriteInterval(L"7"));
  EXPECT_EQ(L"Language=JPN|SuppressBallonPopUp=2|Interval=7", Joined(files_.file(), L"Option"));
  EXPECT_EQ(2, ReadSuppressBalloon());
  ASSERT_TRUE(WriteSuppressBalloon(-1));
  EXPECT_EQ(L"Language=JPN|SuppressBallonPopUp=-1|Interval=7", Joined(files_.file(), L"Option"));
}

TEST_F(SettingsTest, PrepareWithoutTemplateLeavesOnlyTheInterval) {
  files_.RemoveFoldersIfEmpty();
  PrepareSettingsFile();
  ASSERT_TRUE(Exists(files_.file()));
  EXPECT_EQ(L"Option", Joined(files_.file(), nullptr));
  EXPECT_EQ(Interval(ComputeDefaultInterval()), Joined(files_.file(), L"Option"));
}

TEST_F(SettingsTest, PrepareCopiesTheTemplateAndRecomputesItsInterval) {
  WriteRaw(files_.template_path(),
           "[Option]\r\nInterval=30\r\nLanguage=JPN\r\n[Setting]\r\nInfoFileURLBase=http://x/\r\n");
  PrepareSettingsFile();
  EXPECT_EQ(L"JPN", ReadLanguage());
  EXPECT_EQ(L"http://x/", ReadInfoFileURLBase());
  EXPECT_EQ(std::to_wstring(ComputeDefaultInterval()), ReadInterval());
  EXPECT_EQ("[Option]\r\nInterval=30\r\nLanguage=JPN\r\n[Setting]\r\nInfoFileURLBase=http://x/\r\n",
            ReadRaw(files_.template_path()));
}

TEST_F(SettingsTest, PrepareNeverReplacesAnExistingFile) {
  const std::string mine = "[Option]\r\nInterval=30\r\nLanguage=ENG\r\n";
  WriteRaw(files_.file(), mine);
  WriteRaw(files_.template_path(), "[Option]\r\nInterval=2\r\nLanguage=JPN\r\n");
  PrepareSettingsFile();
  EXPECT_EQ(mine, ReadRaw(files_.file()));
}

struct Grants {
  ACCESS_MASK everyone = 0, admins = 0, system = 0;
};

// What the allow entries of an access list grant to the three groups.
Grants GrantsOf(const ACL* dacl) {
  BYTE everyone[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE],
      system[SECURITY_MAX_SID_SIZE];
  DWORD n1 = sizeof(everyone), n2 = sizeof(admins), n3 = sizeof(system);
  ::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &n1);
  ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &n2);
  ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &n3);
  GENERIC_MAPPING files = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                           FILE_ALL_ACCESS};
  Grants g;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!::GetAce(const_cast<ACL*>(dacl), i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    ACCESS_MASK mask = allowed->Mask;
    ::MapGenericMask(&mask, &files);
    PSID sid = &allowed->SidStart;
    if (::EqualSid(sid, everyone)) g.everyone |= mask;
    if (::EqualSid(sid, admins)) g.admins |= mask;
    if (::EqualSid(sid, system)) g.system |= mask;
  }
  return g;
}

constexpr ACCESS_MASK kReadWrite = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
constexpr ACCESS_MASK kTakeOver = WRITE_DAC | WRITE_OWNER;

TEST(SettingsFileAcl, EveryoneReadsAndWritesOnlyAdministratorsControl) {
  std::vector<unsigned char> bytes = SettingsFileAcl();
  ASSERT_FALSE(bytes.empty());
  const ACL* acl = reinterpret_cast<const ACL*>(bytes.data());
  ASSERT_TRUE(::IsValidAcl(const_cast<ACL*>(acl)));
  Grants g = GrantsOf(acl);
  EXPECT_EQ(kReadWrite, g.everyone);
  EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS), g.admins);
  EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS), g.system);
}

// Reads the file's access list back. Wine keeps file permissions as Unix
// mode bits and reports them as owner, SYSTEM and Everyone entries, so only
// what those can show is checked here: there is a list, Everyone may read
// and write, and Everyone may not take the file over.
void ExpectEveryoneMayReadAndWrite(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  std::wstring name = path;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &sd));
  ASSERT_NE(nullptr, dacl) << "a missing access list grants everything to everyone";
  Grants g = GrantsOf(dacl);
  ::LocalFree(sd);
  EXPECT_EQ(kReadWrite, g.everyone & kReadWrite);
  EXPECT_EQ(0u, g.everyone & kTakeOver);
}

TEST_F(SettingsTest, PreparedFileIsReadableAndWritableByEveryUser) {
  PrepareSettingsFile();
  ASSERT_TRUE(Exists(files_.file()));
  ExpectEveryoneMayReadAndWrite(files_.file());

  // A file that was already there, readable only, gets the same rights.
  ::DeleteFileW(files_.file().c_str());
  WriteRaw(files_.file(), "[Option]\r\nInterval=3\r\n");
  std::vector<unsigned char> read_only(64);
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD n = sizeof(everyone);
  ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &n));
  ACL* acl = reinterpret_cast<ACL*>(read_only.data());
  ASSERT_TRUE(::InitializeAcl(acl, 64, ACL_REVISION));
  ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ, everyone));
  std::wstring name = files_.file();
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr));
  PACL before = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &before, nullptr, &sd));
  ASSERT_NE(nullptr, before);
  EXPECT_EQ(0u, GrantsOf(before).everyone & FILE_WRITE_DATA);  // really read-only now
  ::LocalFree(sd);

  PrepareSettingsFile();
  ExpectEveryoneMayReadAndWrite(files_.file());
  EXPECT_EQ(L"3", ReadInterval());
}

TEST_F(SettingsTest, DefaultIntervalIsDailyForTheFirstYear) {
  wchar_t tmp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, tmp);
  const std::wstring path = std::wstring(tmp) + L"zu-oeminfo-test.ini";
  WriteRaw(path, "[General]\r\n");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  ULARGE_INTEGER u;
  u.LowPart = data.ftCreationTime.dwLowDateTime;
  u.HighPart = data.ftCreationTime.dwHighDateTime;
  ASSERT_NE(0u, u.QuadPart);
  const int64_t created = static_cast<int64_t>(u.QuadPart / 10000000) - 11644473600LL;

  zu::ScopedOverride clock(zu::seams::clock_source, FakeNow);
  const int64_t day = 86400;
  g_now = created + 364 * day;
  EXPECT_EQ(1, ComputeDefaultIntervalFrom(path));
  g_now = created + 365 * day - 1;
  EXPECT_EQ(1, ComputeDefaultIntervalFrom(path));
  g_now = created + 365 * day;
  EXPECT_EQ(7, ComputeDefaultIntervalFrom(path));
  g_now = created + 3000 * day;
  EXPECT_EQ(7, ComputeDefaultIntervalFrom(path));
  ::DeleteFileW(path.c_str());
  EXPECT_EQ(1, ComputeDefaultIntervalFrom(path));
}

TEST_F(SettingsTest, DefaultIntervalComesFromTheSystemFoldersOemInfo) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, system)));
  FileAside oeminfo(std::wstring(system) + L"\\OEMINFO.INI");
  EXPECT_EQ(1, ComputeDefaultInterval());

  WriteRaw(oeminfo.path(), "[General]\r\nManufacturer=Vexa\r\n");
  EXPECT_EQ(1, ComputeDefaultInterval());  // made just now
  zu::ScopedOverride clock(zu::seams::clock_source, FakeNow);
  g_now = static_cast<int64_t>(std::time(nullptr)) + 400 * 86400;
  EXPECT_EQ(7, ComputeDefaultInterval());
  WriteRaw(files_.file(), "[Option]\r\nInterval=1\r\n");
  EXPECT_EQ(7, WriteDefaultInterval());
  EXPECT_EQ(L"7", ReadInterval());
}

}  // namespace
