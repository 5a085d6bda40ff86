#pragma once
// Owners and access lists of files and folders as the trust rule of
// update_folder_rules.h sees them, and the account that asks.
#include <windows.h>

#include <string>

#include "common/update_folder_rules.h"

namespace zu {

// The owner and discretionary list of a descriptor.
ObjectSecurity SecurityFactsOf(PSECURITY_DESCRIPTOR descriptor);

enum class ObjectKind { kMissing, kFile, kFolder, kLink, kUnreadable };
struct ObjectState {
  ObjectKind kind = ObjectKind::kMissing;
  ObjectSecurity security;  // read for files and folders only
};

// What is at path, opened itself: a link (junction, symbolic link) is
// reported as such and never followed.
ObjectState InspectObject(const std::wstring& path);

// The account of the token that runs the check (the thread's when it
// impersonates, else the process's) as "S-1-..."; empty when unreadable.
std::wstring CurrentUserSid();
// That account, and whether it is an administrator (IsUserAdministrator).
SecurityCaller CurrentSecurityCaller();

}  // namespace zu
