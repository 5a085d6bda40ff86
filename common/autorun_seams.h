#pragma once
// What autorun.cpp asks the platform and tests replace: the generation
// (Wine reads its version setting once at process start) and the task
// service (Wine's scheduler cannot hold a logon task).
#include <windows.h>
#include <taskschd.h>

namespace zu::seams {

using IsVistaOrLaterFn = bool (*)();
using CreateTaskServiceFn = HRESULT (*)(ITaskService** service);

extern IsVistaOrLaterFn is_vista_or_later;        // ::IsVistaOrLater
extern CreateTaskServiceFn create_task_service;  // the in-process scheduler

}  // namespace zu::seams
