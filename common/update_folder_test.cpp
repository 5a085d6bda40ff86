// The trust rule on descriptors built from SDDL as Windows would store
// them, and the update folder made, taken over and read in a folder of the
// test's own (Wine keeps no owner or protected list: what was asked for is
// caught at the seams and compared as SDDL).
#include "common/update_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "common/framework/seam.h"
#include "common/object_security.h"
#include "common/update_folder_seams.h"
#include "tests/support/files.h"

namespace {

using zu::SecurityCaller;

constexpr wchar_t kProtected[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t kProtectedListOnly[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

const SecurityCaller kAdmin{L"S-1-5-21-1-2-3-500", true};
const SecurityCaller kOtherAdmin{L"S-1-5-21-1-2-3-1001", true};
const SecurityCaller kStandard{L"S-1-5-21-1-2-3-1005", false};

zu::ObjectSecurity FactsOfSddl(const std::wstring& sddl) {
  zu::UniqueLocal descriptor;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      sddl.c_str(), SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
      nullptr))
      << std::string(sddl.begin(), sddl.end());
  return descriptor ? zu::SecurityFactsOf(descriptor.get()) : zu::ObjectSecurity{};
}

struct TrustCase {
  const wchar_t* what;
  const wchar_t* sddl;
  bool admin, other_admin, standard;  // trusted by each caller
};

TEST(UpdateFolderTrust, DescriptorsAsWindowsStoresThem) {
  const TrustCase cases[] = {
      {L"Vista on: an elevated administrator's file belongs to Administrators",
       L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", true, true, true},
      {L"XP: the administrator's own account owns what it creates",
       L"O:S-1-5-21-1-2-3-500D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", true, false,
       false},
      {L"the protected folder itself", kProtected, true, true, true},
      {L"SYSTEM owns it", L"O:SYD:(A;;FA;;;SY)(A;;FR;;;BU)", true, true, true},
      {L"planted by a standard user",
       L"O:S-1-5-21-1-2-3-1005D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", false,
       false, false},
      {L"owned by Users", L"O:BUD:(A;;FA;;;SY)(A;;FA;;;BA)", false, false, false},
      {L"XP folder inheriting C:\\ (Users add files and folders)",
       L"O:BAD:AI(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)(A;ID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
       L"(A;CIID;0x4;;;BU)(A;CIID;0x2;;;BU)",
       false, false, false},
      {L"Everyone may write", L"O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)", false, false, false},
      {L"Users may modify", L"O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;BU)", false, false, false},
      {L"Authenticated Users generic write", L"O:BAD:(A;;FA;;;BA)(A;;GW;;;AU)", false, false,
       false},
      {L"Users generic all", L"O:BAD:(A;;GA;;;BU)", false, false, false},
      {L"Users append data", L"O:BAD:(A;;0x4;;;BU)", false, false, false},
      {L"Users delete child", L"O:BAD:(A;;0x40;;;BU)", false, false, false},
      {L"Users delete", L"O:BAD:(A;;SD;;;BU)", false, false, false},
      {L"Users change permissions", L"O:BAD:(A;;WD;;;BU)", false, false, false},
      {L"Users take ownership", L"O:BAD:(A;;WO;;;BU)", false, false, false},
      {L"an empty list lets nobody in", L"O:BAD:", true, true, true},
      {L"inherit-only entries do not apply to the object",
       L"O:BAD:(A;OICIIO;FA;;;BU)(A;OICIIO;GA;;;CO)(A;;FA;;;BA)", true, true, true},
      {L"denying entries grant nothing", L"O:BAD:(D;;FA;;;WD)(A;;FR;;;WD)", true, true, true},
      {L"write write-attributes and extended attributes only",
       L"O:BAD:(A;;0x110;;;BU)", true, true, true},
      {L"write for the administrator who runs the check",
       L"O:BAD:(A;;FA;;;S-1-5-21-1-2-3-500)", true, false, false},
      {L"Wine: the Wine user's own file", 
       L"O:S-1-5-21-1-2-3-500D:(A;;FA;;;SY)(A;;FA;;;S-1-5-21-1-2-3-500)(A;;0x1200a9;;;WD)", true,
       false, false},
      {L"Wine: Unix \"other\" may write",
       L"O:S-1-5-21-1-2-3-500D:(A;;FA;;;SY)(A;;FA;;;S-1-5-21-1-2-3-500)(A;;0x1301ff;;;WD)", false,
       false, false},
      {L"Wine: another Unix user's file",
       L"O:AND:(A;;FA;;;SY)(A;;FA;;;AN)(A;;0x1200a9;;;WD)", false, false, false},
  };
  for (const TrustCase& c : cases) {
    const zu::ObjectSecurity facts = FactsOfSddl(c.sddl);
    const std::string what(c.what, c.what + wcslen(c.what));
    EXPECT_EQ(zu::IsSafeFromStandardUsers(facts, kAdmin), c.admin) << what;
    EXPECT_EQ(zu::IsSafeFromStandardUsers(facts, kOtherAdmin), c.other_admin) << what;
    EXPECT_EQ(zu::IsSafeFromStandardUsers(facts, kStandard), c.standard) << what;
  }
}

// Wine's SDDL reader knows neither object entries nor NO_ACCESS_CONTROL:
// these descriptors are built by hand.
class BuiltDescriptor {
 public:
  BuiltDescriptor() {
    ::InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION);
    ::ConvertStringSidToSidW(L"S-1-5-32-544", reinterpret_cast<PSID*>(admins_.put()));
    ::ConvertStringSidToSidW(L"S-1-5-32-545", reinterpret_cast<PSID*>(users_.put()));
    ::SetSecurityDescriptorOwner(&sd_, admins_.get(), FALSE);
    ::InitializeAcl(reinterpret_cast<PACL>(acl_), sizeof(acl_), ACL_REVISION_DS);
  }
  PACL acl() { return reinterpret_cast<PACL>(acl_); }
  // Wine has no AddAccess*ObjectAce: the entry is laid out by hand, with
  // one or two GUIDs between its flags and its SID.
  bool AddObjectEntry(BYTE type, DWORD mask, const GUID& object, const GUID* inherited, PSID sid) {
    std::vector<BYTE> ace(sizeof(ACE_HEADER) + 2 * sizeof(DWORD));
    const DWORD flags = ACE_OBJECT_TYPE_PRESENT | (inherited ? ACE_INHERITED_OBJECT_TYPE_PRESENT : 0);
    for (const GUID* g : {&object, inherited}) {
      if (!g) continue;
      const BYTE* b = reinterpret_cast<const BYTE*>(g);
      ace.insert(ace.end(), b, b + sizeof(GUID));
    }
    const BYTE* s = static_cast<const BYTE*>(sid);
    ace.insert(ace.end(), s, s + ::GetLengthSid(sid));
    auto* header = reinterpret_cast<ACE_HEADER*>(ace.data());
    header->AceType = type;
    header->AceFlags = 0;
    header->AceSize = static_cast<WORD>(ace.size());
    std::memcpy(ace.data() + sizeof(ACE_HEADER), &mask, sizeof(mask));
    std::memcpy(ace.data() + sizeof(ACE_HEADER) + sizeof(DWORD), &flags, sizeof(flags));
    return ::AddAce(acl(), ACL_REVISION_DS, MAXDWORD, ace.data(), static_cast<DWORD>(ace.size()));
  }
  PSID users() const { return users_.get(); }
  PSECURITY_DESCRIPTOR WithList(PACL list) {
    ::SetSecurityDescriptorDacl(&sd_, TRUE, list, FALSE);
    return &sd_;
  }

 private:
  SECURITY_DESCRIPTOR sd_;
  zu::UniqueLocal admins_, users_;
  alignas(DWORD) BYTE acl_[512];
};

TEST(UpdateFolderTrust, ObjectEntriesAndANullList) {
  GUID type = {0xbf967aba, 0x0de6, 0x11d0, {0xa2, 0x85, 0x00, 0xaa, 0x00, 0x30, 0x49, 0xe2}};
  {
    BuiltDescriptor d;
    ASSERT_TRUE(d.AddObjectEntry(ACCESS_ALLOWED_OBJECT_ACE_TYPE, FILE_WRITE_DATA, type, nullptr,
                                 d.users()));
    const zu::ObjectSecurity facts = zu::SecurityFactsOf(d.WithList(d.acl()));
    ASSERT_EQ(facts.entries.size(), 1u);
    EXPECT_EQ(facts.entries[0].sid, L"S-1-5-32-545");  // found past the object type
    EXPECT_FALSE(zu::IsSafeFromStandardUsers(facts, kAdmin));
  }
  {
    BuiltDescriptor d;
    ASSERT_TRUE(d.AddObjectEntry(ACCESS_DENIED_OBJECT_ACE_TYPE, GENERIC_ALL, type, &type,
                                 d.users()));
    const zu::ObjectSecurity facts = zu::SecurityFactsOf(d.WithList(d.acl()));
    ASSERT_EQ(facts.entries.size(), 1u);
    EXPECT_EQ(facts.entries[0].sid, L"S-1-5-32-545");
    EXPECT_TRUE(zu::IsSafeFromStandardUsers(facts, kAdmin));
  }
  {
    BuiltDescriptor d;
    const zu::ObjectSecurity facts = zu::SecurityFactsOf(d.WithList(nullptr));
    EXPECT_FALSE(facts.has_list);
    EXPECT_FALSE(zu::IsSafeFromStandardUsers(facts, kAdmin));  // everyone may do anything
    EXPECT_TRUE(zu::IsSafeFromStandardUsers(zu::SecurityFactsOf(d.WithList(d.acl())), kAdmin));
  }
}

// --- The folder, in a folder of the test's own ----------------------------------------------

std::wstring SddlOf(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION what) {
  zu::UniqueLocal text;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, what & (OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION),
          reinterpret_cast<LPWSTR*>(text.put()), nullptr))
    return L"(unreadable)";
  return static_cast<const wchar_t*>(text.get());
}

// What the function asked the platform for, passed on to it.
struct Asked {
  std::vector<std::wstring> created;  // SDDL of each folder creation
  std::vector<std::wstring> set;      // SDDL of each security change
  std::vector<SECURITY_INFORMATION> set_what;
};
Asked* g_asked = nullptr;
bool g_admin = true;

BOOL WINAPI RecordCreate(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
  g_asked->created.push_back(attributes && attributes->lpSecurityDescriptor
                                 ? SddlOf(attributes->lpSecurityDescriptor,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION)
                                 : L"(default)");
  return ::CreateDirectoryW(path, attributes);
}
BOOL WINAPI RecordSet(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) {
  g_asked->set.push_back(SddlOf(descriptor, what));
  g_asked->set_what.push_back(what);
  return ::SetKernelObjectSecurity(object, what, descriptor);
}
bool RecordedAdmin() { return g_admin; }

class UpdateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"zu_update_" + std::to_wstring(::GetCurrentProcessId());
    Clean();
    g_asked = &asked_;
    g_admin = true;
  }
  void TearDown() override {
    Clean();
    g_asked = nullptr;
  }
  void Clean() {
    for (const wchar_t* name : {L"Debug.ini", L"debug.ini", L"PatchList.dat"})
      ::DeleteFileW((folder_ + L"\\" + name).c_str());
    ::RemoveDirectoryW(folder_.c_str());
    ::DeleteFileW(folder_.c_str());
  }
  std::wstring In(const wchar_t* name) const { return folder_ + L"\\" + name; }
  static void Write(const std::wstring& path, const std::string& text) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << text;
  }
  static bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  static void LetEveryoneWrite(const std::wstring& path) {
    ASSERT_TRUE(zu::test::LetEveryoneWrite(path));
    ASSERT_TRUE(EveryoneMayWrite(path));
  }
  static bool EveryoneMayWrite(const std::wstring& path) {
    const zu::ObjectState state = zu::InspectObject(path);
    for (const zu::AccessEntry& e : state.security.entries)
      if (e.sid == L"S-1-1-0" && !e.denies && (e.mask & zu::kWriteTypeRights)) return true;
    return false;
  }
  bool Ensure() {
    zu::ScopedOverride create(zu::seams::create_directory,
                                                              &RecordCreate);
    zu::ScopedOverride set(zu::seams::set_object_security,
                                                             &RecordSet);
    zu::ScopedOverride admin(zu::seams::is_administrator,
                                                             &RecordedAdmin);
    zu::ScopedOverride<const wchar_t*> path(zu::seams::update_folder, folder_.c_str());
    return EnsureUpdateFolder();
  }
  bool Read(const wchar_t* file, const wchar_t* key, std::wstring* value) {
    zu::ScopedOverride admin(zu::seams::is_administrator,
                                                             &RecordedAdmin);
    zu::ScopedOverride<const wchar_t*> path(zu::seams::update_folder, folder_.c_str());
    return ReadUpdateFolderIni(file, L"General", key, 128, value);
  }

  std::wstring folder_;
  Asked asked_;
};

struct EnsureCase {
  const wchar_t* what;
  bool admin;
  enum { kMissing, kTrusted, kWritableByAll, kFileInTheWay } before;
  bool result;
  std::vector<std::wstring> created, set;
  bool debug_file_left, other_file_left, everyone_writes_after;
};

TEST_F(UpdateFolderTest, WhatIsAskedForWhoFindsWhat) {
  const std::vector<EnsureCase> cases = {
      {L"an administrator creates it protected", true, EnsureCase::kMissing, true, {kProtected},
       {}, false, false, false},
      {L"a standard user cannot name the owner", false, EnsureCase::kMissing, true,
       {kProtectedListOnly}, {}, false, false, false},
      {L"an administrator leaves a trusted folder alone", true, EnsureCase::kTrusted, true, {},
       {}, true, true, false},
      {L"an administrator takes a writable folder over", true, EnsureCase::kWritableByAll, true,
       {}, {kProtected}, false, true, false},
      {L"a standard user changes nothing", false, EnsureCase::kWritableByAll, true, {}, {}, true,
       true, true},
      {L"a file in the way is no folder", true, EnsureCase::kFileInTheWay, false, {}, {}, false,
       false, false},
  };
  for (const EnsureCase& c : cases) {
    const std::string what(c.what, c.what + wcslen(c.what));
    Clean();
    asked_ = {};
    g_admin = c.admin;
    if (c.before == EnsureCase::kFileInTheWay) {
      Write(folder_, "not a folder");
    } else if (c.before != EnsureCase::kMissing) {
      ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr)) << what;
      Write(In(L"Debug.ini"), "[General]\r\nIgnoreURLCheck=1\r\n");
      Write(In(L"PatchList.dat"), "kept");
      if (c.before == EnsureCase::kWritableByAll) LetEveryoneWrite(folder_);
    }

    EXPECT_EQ(Ensure(), c.result) << what;
    EXPECT_EQ(asked_.created, c.created) << what;
    EXPECT_EQ(asked_.set, c.set) << what;
    for (SECURITY_INFORMATION w : asked_.set_what)
      EXPECT_EQ(w, static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION |
                                                    DACL_SECURITY_INFORMATION |
                                                    PROTECTED_DACL_SECURITY_INFORMATION))
          << what;
    if (c.before == EnsureCase::kFileInTheWay) {
      EXPECT_EQ(::GetFileAttributesW(folder_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << what;
      continue;
    }
    EXPECT_TRUE(::GetFileAttributesW(folder_.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << what;
    EXPECT_EQ(Exists(In(L"Debug.ini")), c.debug_file_left) << what;
    EXPECT_EQ(Exists(In(L"PatchList.dat")), c.other_file_left) << what;
    EXPECT_EQ(EveryoneMayWrite(folder_), c.everyone_writes_after) << what;
    // Once ensured by an administrator, the folder passes its own rule.
    if (c.admin && c.result) {
      EXPECT_TRUE(zu::IsSafeFromStandardUsers(zu::InspectObject(folder_).security,
                                              zu::CurrentSecurityCaller()))
          << what;
    }
  }
}

TEST_F(UpdateFolderTest, DebugValuesCountOnlyInFilesNoStandardUserCouldWrite) {
  std::wstring value = L"stale";
  EXPECT_FALSE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));  // no folder
  EXPECT_EQ(value, L"");
  ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
  EXPECT_FALSE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));  // no file

  // Written by this (administrator) account through Win32: honoured.
  Write(In(L"Debug.ini"), "[General]\r\nIgnoreURLCheck=1\r\nSelfVersion=" + std::string(300, '7') +
                              "\r\nEmpty=\r\n");
  EXPECT_TRUE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));
  EXPECT_EQ(value, L"1");
  EXPECT_TRUE(Read(L"debug.ini", L"ignoreurlcheck", nullptr));
  EXPECT_TRUE(Read(L"Debug.ini", L"SelfVersion", &value));
  EXPECT_EQ(value, std::wstring(127, L'7'));  // cut to the buffer
  EXPECT_FALSE(Read(L"Debug.ini", L"Empty", &value));
  EXPECT_FALSE(Read(L"Debug.ini", L"Missing", &value));

  // The same file read by a standard user: its owner is no administrator's.
  g_admin = false;
  EXPECT_FALSE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));
  EXPECT_EQ(value, L"");
  g_admin = true;

  // A file anyone may write, or one in a folder anyone may write: not set.
  LetEveryoneWrite(In(L"Debug.ini"));
  EXPECT_FALSE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));
  ::DeleteFileW(In(L"Debug.ini").c_str());
  Write(In(L"Debug.ini"), "[General]\r\nIgnoreURLCheck=1\r\n");
  EXPECT_TRUE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));
  LetEveryoneWrite(folder_);
  EXPECT_FALSE(Read(L"Debug.ini", L"IgnoreURLCheck", &value));

  // A folder in place of the file is no file.
  ASSERT_TRUE(::CreateDirectoryW(In(L"Dir.ini").c_str(), nullptr));
  EXPECT_FALSE(Read(L"Dir.ini", L"IgnoreURLCheck", &value));
  ::RemoveDirectoryW(In(L"Dir.ini").c_str());
}

}  // namespace
