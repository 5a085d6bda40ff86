#pragma once
// What update_folder.cpp asks the platform and tests replace: the calls
// that create the folder and set its security (Wine keeps no owner or
// protected list, so a test looks at what was asked for), the
// administrator test, and the folder itself. Tests replace them with
// zu::ScopedOverride (common/framework/seam.h).
#include <windows.h>

#include <string>

namespace zu::seams {

using CreateDirectoryFn = BOOL(WINAPI*)(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
using SetObjectSecurityFn = BOOL(WINAPI*)(HANDLE object, SECURITY_INFORMATION what,
                                          PSECURITY_DESCRIPTOR descriptor);
using IsAdministratorFn = bool (*)();

extern CreateDirectoryFn create_directory;        // ::CreateDirectoryW
extern SetObjectSecurityFn set_object_security;  // ::SetKernelObjectSecurity
extern IsAdministratorFn is_administrator;        // IsUserAdministrator
extern const wchar_t* update_folder;              // kUpdateFolder

}  // namespace zu::seams
