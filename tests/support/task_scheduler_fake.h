#pragma once
// Test double of the Task Scheduler 2.0 interfaces that the logon task
// uses. It keeps folders and tasks in memory, records every call, stores
// what a registration was given as flat properties, and can make any one
// call fail.
#include <windows.h>
#include <taskschd.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/framework/com.h"

namespace zu::test {

// "Author", "Principal.RunLevel", "Trigger1.Delay", "Action1.Path",
// "Register.Flags", ...: one entry per value given to the scheduler.
using TaskProperties = std::map<std::wstring, std::wstring>;

struct StoredTask {
  TaskProperties properties;  // the definition's values and the "Register.*" arguments
  ComPtr<ITaskDefinition> definition;
};

class FakeScheduler {
 public:
  FakeScheduler() { folders.insert(L"\\"); }

  // A new service object, not yet connected.
  HRESULT NewService(ITaskService** service);

  // Set-up: a task whose actions are exec actions with these arguments,
  // after an e-mail action when non_exec_first. The set-up calls are not
  // recorded.
  void AddFolder(const std::wstring& path) { folders.insert(path); }
  void AddTask(const std::wstring& folder, const std::wstring& name,
               const std::vector<std::wstring>& exec_arguments, bool non_exec_first = false);

  const StoredTask* Task(const std::wstring& folder, const std::wstring& name) const;
  bool HasFolder(const std::wstring& path) const { return folders.count(path) != 0; }
  bool Called(const std::wstring& call) const;
  // Position of a call in `calls`, or -1.
  int IndexOf(const std::wstring& call) const;

  // Every call in order, as "GetFolder \VEXA", "DeleteTask \VEXA\ZEFO Update\ZEFO Update", ...
  std::vector<std::wstring> calls;
  // The values Connect was given, described as "a|b|c|d" ("" for none).
  std::wstring connect_arguments = L"(not called)";
  // The security given to each created folder.
  std::map<std::wstring, std::wstring> folder_security;

  // The call with this index in `calls` fails with E_FAIL, or, with
  // hand_out_null, answers S_OK without the object it should hand out.
  // Only calls that would have succeeded are changed; `injected` tells
  // whether one was.
  int fail_call = -1;
  bool hand_out_null = false;
  bool injected = false;

  // Used by the COM objects.
  HRESULT Step(const std::wstring& call, HRESULT natural, bool* hand_null = nullptr);

  std::set<std::wstring> folders;
  std::map<std::wstring, StoredTask> tasks;  // by full path "\folder\name"
};

std::wstring JoinTaskPath(const std::wstring& folder, const std::wstring& name);
// VT_EMPTY, VT_NULL and an empty text all read as "".
std::wstring DescribeVariant(const VARIANT& v);

}  // namespace zu::test
