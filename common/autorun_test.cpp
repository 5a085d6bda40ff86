#include "common/autorun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "common/autorun_seams.h"
#include "common/framework/com.h"
#include "common/framework/seam.h"
#include "common/platform.h"
#include "common/registry.h"
#include "common/task_scheduler.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/task_scheduler_fake.h"

namespace {

using zu::test::FakeScheduler;
using zu::test::FinishChild;
using zu::test::IsChild;
using zu::test::kChildPassed;
using zu::test::KeySnapshot;
using zu::test::ReadRaw;
using zu::test::RunChild;
using zu::test::Sz;
using zu::test::WriteRaw;

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"ZEFO Update 4";
// Wine's program files folder in the lab prefix.
constexpr wchar_t kLabCommand[] = L"\"C:\\Program Files\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ";

bool Xp() { return false; }
bool Vista() { return true; }

FakeScheduler* g_scheduler = nullptr;
bool g_com_ready_at_create = false;

HRESULT FakeService(ITaskService** service) {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  g_com_ready_at_create = SUCCEEDED(::CoGetApartmentType(&type, &qualifier));
  return g_scheduler ? g_scheduler->NewService(service) : E_FAIL;
}

// Chooses the generation and the task service for one test and puts the
// real ones back afterwards.
class Seams {
 public:
  Seams(bool vista, FakeScheduler* scheduler)
      : version_(zu::seams::is_vista_or_later, vista ? &Vista : &Xp),
        service_(zu::seams::create_task_service, &FakeService) {
    g_scheduler = scheduler;
  }
  ~Seams() { g_scheduler = nullptr; }

 private:
  zu::ScopedOverride<zu::seams::IsVistaOrLaterFn> version_;
  zu::ScopedOverride<zu::seams::CreateTaskServiceFn> service_;
};

class ProgramFilesGuard {
 public:
  ProgramFilesGuard() {
    wchar_t value[1024];
    const DWORD n = ::GetEnvironmentVariableW(L"ProgramFiles", value, 1024);
    had_ = n > 0 && n < 1024;
    if (had_) saved_ = value;
  }
  ~ProgramFilesGuard() { ::SetEnvironmentVariableW(L"ProgramFiles", had_ ? saved_.c_str() : nullptr); }
  void Set(const std::wstring& v) { ::SetEnvironmentVariableW(L"ProgramFiles", v.c_str()); }
  void Unset() { ::SetEnvironmentVariableW(L"ProgramFiles", nullptr); }

 private:
  bool had_ = false;
  std::wstring saved_;
};

std::optional<zu::test::RawValue> RunValue() {
  return ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
}

TEST(AgentAutorunCommandTest, ExpandsTheProgramFilesFolder) {
  EXPECT_EQ(AgentAutorunCommand(), kLabCommand);
  ProgramFilesGuard guard;
  guard.Set(L"E:\\Apps");
  EXPECT_EQ(AgentAutorunCommand(), L"\"E:\\Apps\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ");
}

TEST(AgentAutorunCommandTest, OverlongOrMissingFolderIsRefusedNotTruncated) {
  KeySnapshot run(HKEY_LOCAL_MACHINE, kRunKey);
  ProgramFilesGuard guard;
  const std::wstring longest = L"C:\\" + std::wstring(252, L'p');
  guard.Set(longest);
  EXPECT_EQ(AgentAutorunCommand().substr(0, longest.size() + 1), L"\"" + longest);
  guard.Set(longest + L"q");
  EXPECT_EQ(AgentAutorunCommand(), L"");
  guard.Set(L"C:\\" + std::wstring(2000, L'p'));
  EXPECT_EQ(AgentAutorunCommand(), L"");

  // Nothing gets registered with a broken path.
  WriteRaw(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, Sz(L"before"));
  {
    Seams xp(false, nullptr);
    EXPECT_FALSE(RegisterAutorun(L"/Stationary"));
  }
  FakeScheduler scheduler;
  {
    Seams vista(true, &scheduler);
    EXPECT_FALSE(RegisterAutorun(L"/Stationary"));
  }
  guard.Unset();
  EXPECT_EQ(AgentAutorunCommand(), L"");
  EXPECT_EQ(RunValue(), Sz(L"before"));
  EXPECT_TRUE(scheduler.calls.empty());
}

// --- before Vista: the Run value ----------------------------------------------

class RunValueTest : public ::testing::Test {
 protected:
  KeySnapshot run_{HKEY_LOCAL_MACHINE, kRunKey};
  Seams xp_{false, nullptr};
};

TEST_F(RunValueTest, RegistrationWritesQuotedPathTwoBlanksAndArgument) {
  ASSERT_TRUE(RegisterAutorun(L"/Stationary"));
  EXPECT_EQ(RunValue(), Sz(std::wstring(kLabCommand) + L"/Stationary"));
  std::wstring text;
  ASSERT_TRUE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, std::wstring(kLabCommand) + L"/Stationary");

  ASSERT_TRUE(RegisterAutorun(L"/showpage"));
  EXPECT_EQ(RunValue(), Sz(std::wstring(kLabCommand) + L"/showpage"));
}

TEST_F(RunValueTest, UnregistrationDeletesTheValue) {
  ASSERT_TRUE(RegisterAutorun(L"/S"));
  EXPECT_TRUE(UnregisterAutorun());
  EXPECT_FALSE(RunValue().has_value());
  std::wstring text = L"kept";
  EXPECT_FALSE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, L"kept");
  EXPECT_FALSE(UnregisterAutorun());  // nothing left to delete
}

// --- from Vista on: the logon task, against the test double ----------------------

TEST(LogonTaskAutorunTest, RegistrationRunsTheAgentCommandWithTheArgument) {
  FakeScheduler scheduler;
  Seams vista(true, &scheduler);
  g_com_ready_at_create = false;
  ASSERT_TRUE(RegisterAutorun(L"/Stationary"));
  EXPECT_TRUE(g_com_ready_at_create);
  const zu::test::StoredTask* task = scheduler.Task(zu::kTaskFolderPath, zu::kTaskName);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->properties.at(L"Action1.Path"), kLabCommand);
  EXPECT_EQ(task->properties.at(L"Action1.Arguments"), L"/Stationary");

  std::wstring text;
  ASSERT_TRUE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, L"/Stationary");
  ASSERT_TRUE(RegisterAutorun(L"/S"));
  ASSERT_TRUE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, L"/S");

  EXPECT_TRUE(UnregisterAutorun());
  EXPECT_TRUE(scheduler.tasks.empty());
  EXPECT_FALSE(scheduler.HasFolder(zu::kTaskFolderPath));
  EXPECT_FALSE(ReadAutorunCommand(&text));
}

TEST(LogonTaskAutorunTest, ComIsOnlyInitialisedForTheCall) {
  FakeScheduler scheduler;
  Seams vista(true, &scheduler);
  HRESULT after_register = E_FAIL, after_read = E_FAIL;
  bool registered = false, read = false;
  std::thread worker([&] {
    registered = RegisterAutorun(L"/Stationary");
    after_register = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(after_register)) ::CoUninitialize();
    std::wstring text;
    read = ReadAutorunCommand(&text);
    after_read = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(after_read)) ::CoUninitialize();
  });
  worker.join();
  EXPECT_TRUE(registered);
  EXPECT_TRUE(read);
  EXPECT_EQ(after_register, S_OK);  // S_FALSE would mean our initialisation was left behind
  EXPECT_EQ(after_read, S_OK);
}

TEST(LogonTaskAutorunTest, NoTaskServiceAnswersFalse) {
  Seams vista(true, nullptr);  // the factory fails
  std::wstring text = L"kept";
  EXPECT_FALSE(RegisterAutorun(L"/S"));
  EXPECT_FALSE(UnregisterAutorun());
  EXPECT_FALSE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, L"kept");
}

// --- real platform ----------------------------------------------------------------

TEST(RealPlatformTest, LabReportsVistaOrLater) { EXPECT_TRUE(IsVistaOrLater()); }

// Wine's scheduler cannot hold a logon task (put_RunLevel and logon
// triggers answer E_NOTIMPL): whatever it answers must be consistent, and
// unregistration must leave no folder behind.
TEST(RealPlatformTest, WineSchedulerAnswersConsistentlyAndIsLeftClean) {
  zu::ComInit com;
  ASSERT_TRUE(com.ok());
  zu::ComPtr<ITaskService> service;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_ITaskService, service.put_void()));
  VARIANT none;
  ::VariantInit(&none);
  ASSERT_HRESULT_SUCCEEDED(service->Connect(none, none, none, none));
  zu::ComPtr<ITaskFolder> vendor;
  const bool vendor_existed =
      SUCCEEDED(service->GetFolder(zu::Bstr(L"\\VEXA").get(), vendor.put()));

  const bool registered = RegisterAutorun(L"/Stationary");
  std::wstring text;
  const bool read = ReadAutorunCommand(&text);
  std::printf("Wine scheduler: RegisterAutorun=%d ReadAutorunCommand=%d\n", registered, read);
  if (registered) {
    EXPECT_TRUE(read);
    EXPECT_EQ(text, L"/Stationary");
  }
  const bool unregistered = UnregisterAutorun();
  std::printf("Wine scheduler: UnregisterAutorun=%d\n", unregistered);
  EXPECT_FALSE(ReadAutorunCommand(&text));
  zu::ComPtr<ITaskFolder> folder;
  EXPECT_HRESULT_FAILED(service->GetFolder(zu::Bstr(zu::kTaskFolderPath).get(), folder.put()));

  if (!vendor_existed) {
    zu::ComPtr<ITaskFolder> root;
    ASSERT_HRESULT_SUCCEEDED(service->GetFolder(zu::Bstr(L"\\").get(), root.put()));
    root->DeleteFolder(zu::Bstr(L"VEXA").get(), 0);
  }
}

// --- children: a standard user, and Windows XP as Wine reports it ------------------

TEST(StandardUserAutorunTest, RegistrationNeedsAdministratorRights) {
  KeySnapshot run(HKEY_LOCAL_MACHINE, kRunKey);
  WriteRaw(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, Sz(L"\"C:\\x.exe\"  /S"));
  zu::UniqueHandle token = zu::test::NonAdminToken();
  ASSERT_TRUE(token);
  EXPECT_EQ(RunChild(L"DISABLED_StandardUserAutorunChild.*", L"standard-user-autorun", token.get()),
            kChildPassed);
  EXPECT_EQ(RunValue(), Sz(L"\"C:\\x.exe\"  /S"));
}

TEST(DISABLED_StandardUserAutorunChild, ChangesNothing) {
  if (!IsChild(L"standard-user-autorun")) GTEST_SKIP() << "runs only as a child";
  ASSERT_FALSE(IsUserAdministrator());
  {
    Seams xp(false, nullptr);
    EXPECT_FALSE(RegisterAutorun(L"/Stationary"));
    EXPECT_FALSE(UnregisterAutorun());
    std::wstring text;
    EXPECT_TRUE(ReadAutorunCommand(&text));  // reading needs no rights
    EXPECT_EQ(text, L"\"C:\\x.exe\"  /S");
  }
  FakeScheduler scheduler;
  scheduler.AddTask(zu::kTaskFolderPath, zu::kTaskName, {L"/S"});
  {
    Seams vista(true, &scheduler);
    EXPECT_FALSE(RegisterAutorun(L"/Stationary"));
    EXPECT_FALSE(UnregisterAutorun());
  }
  EXPECT_TRUE(scheduler.calls.empty());
  EXPECT_EQ(scheduler.tasks.size(), 1u);
  FinishChild();
}

// Wine reports Windows XP to a program named in AppDefaults with
// Version "winxp"; a copy of this program under its own name keeps the
// setting away from every other process of the prefix.
TEST(XpAutorunTest, RunValueBranchOnARealXpReport) {
  KeySnapshot run(HKEY_LOCAL_MACHINE, kRunKey);
  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring name = L"zu_platform_tests_xp.exe";
  const std::wstring copy = std::wstring(temp) + name;
  ASSERT_TRUE(::CopyFileW(zu::test::ThisProgram().c_str(), copy.c_str(), FALSE));
  const std::wstring app_key = L"Software\\Wine\\AppDefaults\\" + name;
  ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, app_key, L"Version", L"winxp"));
  const DWORD code = RunChild(L"DISABLED_XpChild.*", L"xp", nullptr, copy);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, app_key.c_str());
  ::DeleteFileW(copy.c_str());
  EXPECT_EQ(code, kChildPassed);
}

TEST(DISABLED_XpChild, RegistersTheRunValue) {
  if (!IsChild(L"xp")) GTEST_SKIP() << "runs only as a child";
  ASSERT_FALSE(IsVistaOrLater());
  ASSERT_TRUE(RegisterAutorun(L"/Stationary"));
  std::wstring text;
  ASSERT_TRUE(RegReadString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &text));
  EXPECT_EQ(text, std::wstring(kLabCommand) + L"/Stationary");
  text.clear();
  EXPECT_TRUE(ReadAutorunCommand(&text));
  EXPECT_EQ(text, std::wstring(kLabCommand) + L"/Stationary");
  EXPECT_TRUE(UnregisterAutorun());
  EXPECT_FALSE(ReadAutorunCommand(&text));
  FinishChild();
}

}  // namespace
