#include "common/update_folder_rules.h"

namespace zu {

namespace {

// Windows writes string SIDs in upper case; "s-1-5-18" is still SYSTEM.
bool SameSid(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size() || a.empty()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x == L's') x = L'S';
    if (y == L's') y = L'S';
    if (x != y) return false;
  }
  return true;
}

// Administrators, SYSTEM, and the caller's own account when the caller is
// an administrator (Windows XP makes an administrator the owner of what
// the account creates).
bool IsTrustedSid(const std::wstring& sid, const SecurityCaller& caller) {
  return SameSid(sid, kAdministratorsSid) || SameSid(sid, kLocalSystemSid) ||
         (caller.is_admin && SameSid(sid, caller.user_sid));
}

}  // namespace

bool IsSafeFromStandardUsers(const ObjectSecurity& object, const SecurityCaller& caller) {
  if (!IsTrustedSid(object.owner, caller)) return false;
  if (!object.has_list) return false;
  for (const AccessEntry& entry : object.entries) {
    if (entry.denies || (entry.flags & kInheritOnlyFlag)) continue;
    if ((entry.mask & kWriteTypeRights) && !IsTrustedSid(entry.sid, caller)) return false;
  }
  return true;
}

}  // namespace zu
