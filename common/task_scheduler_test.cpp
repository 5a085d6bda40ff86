#include "common/task_scheduler.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/task_scheduler_fake.h"

namespace {

using zu::test::TaskProperties;
using zu::test::FakeScheduler;

constexpr wchar_t kFolder[] = L"\\VEXA\\ZEFO Update";
constexpr wchar_t kPath[] = L"\"C:\\Program Files\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ";

zu::ComPtr<ITaskService> ServiceOf(FakeScheduler* s) {
  zu::ComPtr<ITaskService> service;
  s->NewService(service.put());
  return service;
}

bool Register(FakeScheduler* s, const std::wstring& arguments) {
  return zu::RegisterLogonTask(ServiceOf(s).get(), kPath, arguments);
}
bool Delete(FakeScheduler* s) { return zu::DeleteLogonTask(ServiceOf(s).get()); }
bool Read(FakeScheduler* s, std::wstring* arguments) {
  return zu::ReadLogonTaskArguments(ServiceOf(s).get(), arguments);
}

std::wstring N(long v) { return std::to_wstring(v); }

TEST(RegisterLogonTaskTest, TaskCarriesEveryPropertyOfTheLogonTask) {
  FakeScheduler s;
  ASSERT_TRUE(Register(&s, L"/Stationary"));
  const zu::test::StoredTask* task = s.Task(kFolder, L"ZEFO Update");
  ASSERT_NE(task, nullptr);
  const TaskProperties expected = {
      {L"Author", L"VEXA"},
      {L"Principal.RunLevel", N(TASK_RUNLEVEL_HIGHEST)},
      {L"Principal.GroupId", L"S-1-5-32-545"},
      {L"Principal.LogonType", N(TASK_LOGON_GROUP)},
      {L"Trigger1.Type", N(TASK_TRIGGER_LOGON)},
      {L"Trigger1.Id", L"ZEFO Update"},
      {L"Trigger1.Delay", L"PT5S"},
      {L"Action1.Type", N(TASK_ACTION_EXEC)},
      {L"Action1.Path", kPath},
      {L"Action1.Arguments", L"/Stationary"},
      {L"Settings.DisallowStartIfOnBatteries", L"false"},
      {L"Settings.StopIfGoingOnBatteries", L"false"},
      {L"Settings.ExecutionTimeLimit", L"PT0S"},
      {L"Settings.MultipleInstances", N(TASK_INSTANCES_PARALLEL)},
      {L"Settings.AllowDemandStart", L"true"},
      {L"Settings.AllowHardTerminate", L"true"},
      {L"Settings.StartWhenAvailable", L"true"},
      {L"Register.Flags", N(TASK_CREATE_OR_UPDATE)},
      {L"Register.User", L"S-1-5-32-545"},
      {L"Register.Password", L""},
      {L"Register.LogonType", N(TASK_LOGON_GROUP)},
      {L"Register.Security", L""},
  };
  EXPECT_EQ(task->properties, expected);
  EXPECT_EQ(s.connect_arguments, L"|||");  // local machine, the caller's credentials
  EXPECT_EQ(s.tasks.size(), 1u);
}

TEST(RegisterLogonTaskTest, MissingFoldersAreCreatedWithDefaultSecurity) {
  FakeScheduler s;
  ASSERT_TRUE(Register(&s, L"/S"));
  EXPECT_TRUE(s.HasFolder(L"\\VEXA"));
  EXPECT_TRUE(s.HasFolder(kFolder));
  EXPECT_EQ(s.folder_security, (std::map<std::wstring, std::wstring>{{L"\\VEXA", L""},
                                                                     {kFolder, L""}}));
}

TEST(RegisterLogonTaskTest, SecondRegistrationDeletesAndReplacesTheTask) {
  FakeScheduler s;
  ASSERT_TRUE(Register(&s, L"/showpage"));
  s.calls.clear();
  ASSERT_TRUE(Register(&s, L"/S"));
  EXPECT_FALSE(s.Called(L"CreateFolder \\VEXA"));
  EXPECT_FALSE(s.Called(L"CreateFolder \\VEXA\\ZEFO Update"));
  const int deleted = s.IndexOf(L"DeleteTask \\VEXA\\ZEFO Update\\ZEFO Update");
  const int registered = s.IndexOf(L"RegisterTaskDefinition \\VEXA\\ZEFO Update\\ZEFO Update");
  ASSERT_GE(deleted, 0);
  EXPECT_GT(registered, deleted);
  ASSERT_EQ(s.tasks.size(), 1u);
  EXPECT_EQ(s.Task(kFolder, L"ZEFO Update")->properties.at(L"Action1.Arguments"), L"/S");
  EXPECT_EQ(s.Task(kFolder, L"ZEFO Update")->properties.count(L"Action2.Type"), 0u);
}

// Runs `operation` once per call it makes, each time with that call
// failing; every run that was changed must answer false.
template <typename Prepare, typename Operation>
void ExpectEveryFailureRefused(Prepare prepare, Operation operation, bool hand_out_null) {
  FakeScheduler clean;
  prepare(&clean);
  ASSERT_TRUE(operation(&clean));
  const size_t steps = clean.calls.size();
  size_t refused = 0;
  for (size_t i = 0; i < steps; ++i) {
    FakeScheduler s;
    prepare(&s);
    s.fail_call = static_cast<int>(i);
    s.hand_out_null = hand_out_null;
    const bool answer = operation(&s);
    EXPECT_EQ(answer, !s.injected) << "call " << i << ": "
                                   << std::string(clean.calls[i].begin(), clean.calls[i].end());
    refused += s.injected;
  }
  // Guards the loop itself: most calls must really have been made to fail.
  EXPECT_GE(refused, hand_out_null ? steps / 3 : steps - 3) << "of " << steps;
}

void Nothing(FakeScheduler*) {}
void PreviousTask(FakeScheduler* s) {
  s->AddFolder(L"\\VEXA");
  s->AddTask(kFolder, L"ZEFO Update", {L"/showpage"});
}

TEST(RegisterLogonTaskTest, AnyFailingStepAnswersFalse) {
  auto reg = [](FakeScheduler* s) { return Register(s, L"/Stationary"); };
  ExpectEveryFailureRefused(Nothing, reg, false);
  ExpectEveryFailureRefused(PreviousTask, reg, false);
  ExpectEveryFailureRefused(Nothing, reg, true);
  ExpectEveryFailureRefused(PreviousTask, reg, true);
}

TEST(DeleteLogonTaskTest, DeletesTaskThenItsFolderAndKeepsTheVendorFolder) {
  FakeScheduler s;
  ASSERT_TRUE(Register(&s, L"/S"));
  s.AddTask(L"\\VEXA", L"Other", {L"x"});
  EXPECT_TRUE(Delete(&s));
  EXPECT_TRUE(s.tasks.count(L"\\VEXA\\ZEFO Update\\ZEFO Update") == 0);
  EXPECT_FALSE(s.HasFolder(kFolder));
  EXPECT_TRUE(s.HasFolder(L"\\VEXA"));
  EXPECT_TRUE(s.tasks.count(L"\\VEXA\\Other") == 1);
  // Nothing left to delete.
  EXPECT_FALSE(Delete(&s));

  // Without anything else in it, the vendor folder goes as well.
  FakeScheduler alone;
  ASSERT_TRUE(Register(&alone, L"/Stationary"));
  EXPECT_TRUE(Delete(&alone));
  EXPECT_FALSE(alone.HasFolder(kFolder));
  EXPECT_FALSE(alone.HasFolder(L"\\VEXA"));
  EXPECT_TRUE(alone.tasks.empty());
}

TEST(DeleteLogonTaskTest, FolderIsRemovedEvenWhenTheTaskIsMissing) {
  FakeScheduler s;
  s.AddFolder(L"\\VEXA");
  s.AddFolder(kFolder);
  EXPECT_FALSE(Delete(&s));
  EXPECT_FALSE(s.HasFolder(kFolder));
}

TEST(DeleteLogonTaskTest, AnyFailingStepAnswersFalse) {
  ExpectEveryFailureRefused(PreviousTask, Delete, false);
  ExpectEveryFailureRefused(PreviousTask, Delete, true);
}

TEST(ReadLogonTaskArgumentsTest, AnswersTheFirstExecActionsArguments) {
  FakeScheduler s;
  s.AddTask(kFolder, L"ZEFO Update", {L"/showpage", L"/S"});
  std::wstring arguments = L"old";
  ASSERT_TRUE(Read(&s, &arguments));
  EXPECT_EQ(arguments, L"/showpage");

  FakeScheduler registered;
  ASSERT_TRUE(Register(&registered, L"/Stationary"));
  ASSERT_TRUE(Read(&registered, &arguments));
  EXPECT_EQ(arguments, L"/Stationary");
}

TEST(ReadLogonTaskArgumentsTest, NoTaskOrNoExecActionFirstAnswersFalse) {
  std::wstring arguments = L"kept";
  FakeScheduler empty;
  EXPECT_FALSE(Read(&empty, &arguments));
  FakeScheduler other_name;
  other_name.AddTask(kFolder, L"Other", {L"/S"});
  EXPECT_FALSE(Read(&other_name, &arguments));
  FakeScheduler mail_first;
  mail_first.AddTask(kFolder, L"ZEFO Update", {L"/S"}, true);
  EXPECT_FALSE(Read(&mail_first, &arguments));
  FakeScheduler no_action;
  no_action.AddTask(kFolder, L"ZEFO Update", {});
  EXPECT_FALSE(Read(&no_action, &arguments));
  EXPECT_EQ(arguments, L"kept");
}

TEST(ReadLogonTaskArgumentsTest, AnyFailingStepAnswersFalse) {
  auto read = [](FakeScheduler* s) {
    std::wstring arguments;
    return Read(s, &arguments);
  };
  ExpectEveryFailureRefused(PreviousTask, read, false);
  ExpectEveryFailureRefused(PreviousTask, read, true);
}

TEST(LogonTaskTest, NoServiceAnswersFalse) {
  std::wstring arguments;
  EXPECT_FALSE(zu::RegisterLogonTask(nullptr, kPath, L"/S"));
  EXPECT_FALSE(zu::DeleteLogonTask(nullptr));
  EXPECT_FALSE(zu::ReadLogonTaskArguments(nullptr, &arguments));
}

}  // namespace
