// Drive identity through the inquiry seam: a double answers chosen drive
// letters with inquiry data and fails the others, and records what it was
// asked. The scripting methods run on a control of this process, whose
// page the debug file allows.
#include "control/drive_identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "common/framework/com.h"
#include "common/framework/seam.h"
#include "control/class_factory.h"
#include "control/ctrl_frame.h"
#include "control/zuax_ctrl.h"
#include "control/zuax_ids.h"
#include "tests/support/files.h"

namespace {

// The drives the double knows: inquiry text from byte 8 on, and the SCSI
// status each answers with.
struct FakeDrive {
  std::string inquiry;
  std::uint8_t status = 0;
};
std::map<wchar_t, FakeDrive> g_drives;
std::wstring g_asked;      // letters in the order they were asked
bool g_request_ok = true;  // every request arrived as built

bool FakeInquiry(wchar_t letter, PassThroughBuffer* buffer) {
  g_asked.push_back(letter);
  g_request_ok = g_request_ok && *buffer == BuildInquiryRequest();
  auto it = g_drives.find(letter);
  if (it == g_drives.end()) return false;
  (*buffer)[2] = it->second.status;
  const std::uint32_t sent = static_cast<std::uint32_t>(8 + it->second.inquiry.size());
  std::memcpy(buffer->data() + 12, &sent, 4);
  std::memcpy(buffer->data() + 88, it->second.inquiry.data(), it->second.inquiry.size());
  return true;
}

class DriveIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_drives = {{L'E', {"ABCDEFGHDVD-RW GX-900   1.02VS-2009/08/01"}},
                {L'G', {"VEXA    BD-ROM BX-1     2.10SPEC"}},
                {L'H', {"VEXA    BAD DRIVE       9.99", 2}}};
    g_asked.clear();
    g_request_ok = true;
  }
  void TearDown() override { EXPECT_TRUE(g_request_ok) << "a request differed from the one built"; }
  // The page is allowed; further lines follow in the debug file.
  void Debug(const std::string& more) { debug_.Write("[General]\r\nIgnoreURLCheck=1\r\n" + more); }
  CZUAXCtrl* Control() {
    if (!ctrl_) {
      zu::ComPtr<IClassFactory> factory;
      EXPECT_EQ(S_OK, CreateZuaxClassObject(CLSID_ZUAX, IID_IClassFactory, factory.put_void()));
      EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, ctrl_.put_void()));
    }
    return static_cast<CZUAXCtrl*>(ctrl_.get());
  }
  bool Info(const wchar_t* v, const wchar_t* p, const wchar_t* r, const wchar_t* s) {
    g_asked.clear();
    SetZuLastError(0x20000007);
    return Control()->SearchDriveInfo(v, p, r, s);
  }
  bool InfoEx(const wchar_t* v, const wchar_t* p, const wchar_t* r, const wchar_t* s,
              const wchar_t* reverse = L"0") {
    g_asked.clear();
    SetZuLastError(0x20000007);
    return Control()->SearchDriveInfoEx(v, p, r, s, reverse);
  }

  zu::ComInit com_;
  zu::ScopedOverride<zu::seams::SendDriveInquiryFn> inquiry_{zu::seams::send_drive_inquiry,
                                                             &FakeInquiry};
  zu::test::DebugFileAside debug_;
  zu::ComPtr<IDispatch> ctrl_;
};

TEST_F(DriveIdentityTest, FieldsOfAnsweringDrivesOnly) {
  g_drives[L'K'] = {"CAF\xc9    "};  // a byte above 0x7F, read in the system code page
  DriveIdentity d;
  ASSERT_TRUE(ReadDriveIdentity(L'E', &d));
  EXPECT_EQ(L"ABCDEFGH", d.vendor);
  EXPECT_EQ(L"DVD-RW GX-900   ", d.product);
  EXPECT_EQ(L"1.02", d.revision);
  EXPECT_EQ(L"VS-2009/08/01", d.vendor_specific);
  EXPECT_FALSE(ReadDriveIdentity(L'D', &d));  // does not open
  EXPECT_EQ(L"", d.vendor);
  EXPECT_FALSE(ReadDriveIdentity(L'H', &d));  // SCSI status 2
  ASSERT_TRUE(ReadDriveIdentity(L'K', &d));
  wchar_t expected[8] = {};
  ::MultiByteToWideChar(CP_ACP, 0, "CAF\xc9    ", 8, expected, 8);
  EXPECT_EQ(std::wstring(expected, 8), d.vendor);
  EXPECT_EQ(L"EDHK", g_asked);
}

TEST_F(DriveIdentityTest, SearchDriveInfoComparesLeadingCharacters) {
  Debug("");
  EXPECT_TRUE(Info(L"AB", L"", L"", L""));  // shorter than the vendor's eight
  EXPECT_EQ(0, ZuLastError());
  EXPECT_EQ(L"CDE", g_asked);  // the first match ends the walk
  EXPECT_TRUE(Info(L"", L"", L"", L""));  // the first readable drive
  EXPECT_EQ(L"CDE", g_asked);
  EXPECT_TRUE(Info(L"vexa", L"bd-rom", L"2.1", L"SPEC"));
  EXPECT_EQ(L"CDEFG", g_asked);
  EXPECT_FALSE(Info(L"VEXA", L"BAD", L"", L""));  // the drive with a bad status is skipped
  EXPECT_EQ(L"CDEFGHIJKLMNOPQRSTUVWXYZ", g_asked);
  EXPECT_FALSE(Info(L"ABCDEFGHI", L"", L"", L""));
  g_drives.clear();
  EXPECT_FALSE(Info(L"", L"", L"", L""));
}

TEST_F(DriveIdentityTest, GeneralKeysReplaceTheFieldsOfReadableDrives) {
  Debug("FirmVender=ZZTOP\r\nFirmProductRevison=7.77\r\n");
  EXPECT_TRUE(Info(L"ZZ", L"DVD-RW", L"7.7", L""));
  EXPECT_FALSE(Info(L"AB", L"", L"", L""));  // every drive reports the debug vendor
  EXPECT_TRUE(InfoEx(L"ZZTOP", L"BD*", L"7.*", L""));
  EXPECT_EQ(L"CDEFG", g_asked);
  g_drives.clear();
  EXPECT_FALSE(Info(L"ZZ", L"", L"", L""));  // no drive, nothing to replace
}

TEST_F(DriveIdentityTest, SearchDriveInfoExListsAndOrder) {
  Debug(
      "[DebugInfoSearch]\r\nFirmVender=ABCDEFGH VEXA\r\nFirmProductID=DVD-RW\r\n"
      "FirmProductRevison=1.02\r\nFirmVenderSpec=VS-2009\r\n");
  struct Case {
    const wchar_t *v, *p, *r, *s, *reverse;
    bool answer;
    long code;
    const wchar_t* asked;
  } const cases[] = {
      // All four debug keys hold their arguments: a match without asking any drive.
      {L"VEXA", L"DVD", L"1.02", L"VS", L"0", true, 0, L""},
      {L"VEXA", L"DVD", L"1.02", L"VS", L"1", false, 0, L""},
      // One argument outside its key: the drives decide.
      {L"VEXA", L"BD-ROM", L"1.02", L"VS", L"0", false, 0, L"CDEFGHIJKLMNOPQRSTUVWXYZ"},
      {L"", L"", L"", L"", L"0", true, 0, L"CDE"},
      {L"VEXA", L"BD*", L"", L"", L"1", false, 0, L"CDEFG"},
      // A vendor ending in "*" is refused before anything else.
      {L"AB*", L"", L"", L"", L"0", false, kZuErrorInvalidArgument, L""},
      {L"AB*", L"", L"", L"", L"1", true, kZuErrorInvalidArgument, L""},
      {L"AB\\*", L"", L"", L"", L"0", false, 0, L"CDEFGHIJKLMNOPQRSTUVWXYZ"},
      {L"AB,", L"", L"", L"", L"1", true, kZuErrorInvalidArgument, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.v, c.v + wcslen(c.v)) << "|"
                                    << std::string(c.p, c.p + wcslen(c.p)) << " reverse "
                                    << static_cast<char>(c.reverse[0]));
    EXPECT_EQ(c.answer, InfoEx(c.v, c.p, c.r, c.s, c.reverse));
    EXPECT_EQ(c.code, ZuLastError());
    EXPECT_EQ(std::wstring(c.asked), g_asked);
  }
}

}  // namespace
