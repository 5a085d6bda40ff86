#include "common/object_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "common/framework/handle.h"
#include "common/platform.h"

namespace zu {

namespace {

std::wstring SidText(PSID sid) {
  if (!sid || !::IsValidSid(sid)) return std::wstring();
  UniqueLocal text;
  if (!::ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.put()))) return std::wstring();
  return static_cast<const wchar_t*>(text.get());
}

bool IsDenyType(BYTE type) {
  return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

bool IsObjectType(BYTE type) {
  return type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE || type == SYSTEM_AUDIT_OBJECT_ACE_TYPE ||
         type == SYSTEM_ALARM_OBJECT_ACE_TYPE;
}

// Every entry type keeps its mask right after the header; object types put
// flags and up to two GUIDs before the SID. An entry whose SID cannot be
// found keeps an empty SID, which no rule trusts.
AccessEntry EntryOf(const ACE_HEADER* header) {
  AccessEntry entry;
  entry.denies = IsDenyType(header->AceType);
  entry.flags = header->AceFlags;
  const auto* bytes = reinterpret_cast<const BYTE*>(header);
  const size_t size = header->AceSize;
  if (size < sizeof(ACE_HEADER) + sizeof(ACCESS_MASK)) return entry;
  entry.mask = *reinterpret_cast<const ACCESS_MASK*>(bytes + sizeof(ACE_HEADER));
  size_t sid_at = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);
  if (IsObjectType(header->AceType)) {
    if (size < sid_at + sizeof(DWORD)) return entry;
    const DWORD flags = *reinterpret_cast<const DWORD*>(bytes + sid_at);
    sid_at += sizeof(DWORD);
    if (flags & ACE_OBJECT_TYPE_PRESENT) sid_at += sizeof(GUID);
    if (flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) sid_at += sizeof(GUID);
  }
  if (size < sid_at + 8) return entry;  // the fixed part of a SID
  auto sid = const_cast<BYTE*>(bytes + sid_at);
  if (::IsValidSid(sid) && sid_at + ::GetLengthSid(sid) <= size) entry.sid = SidText(sid);
  return entry;
}

}  // namespace

ObjectSecurity SecurityFactsOf(PSECURITY_DESCRIPTOR descriptor) {
  ObjectSecurity facts;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) facts.owner = SidText(owner);
  BOOL present = FALSE;
  PACL list = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present || !list) {
    facts.has_list = false;
    return facts;
  }
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(list, i, &ace)) {
      facts.has_list = false;  // a list that cannot be read counts as none
      facts.entries.clear();
      return facts;
    }
    facts.entries.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
  }
  return facts;
}

ObjectState InspectObject(const std::wstring& path) {
  ObjectState state;
  UniqueFile object(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!object) {
    const DWORD error = ::GetLastError();
    state.kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                     ? ObjectKind::kMissing
                     : ObjectKind::kUnreadable;
    return state;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(object.get(), &info)) {
    state.kind = ObjectKind::kUnreadable;
    return state;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    state.kind = ObjectKind::kLink;
    return state;
  }
  UniqueLocal descriptor;
  if (::GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr,
                        reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put())) !=
      ERROR_SUCCESS) {
    state.kind = ObjectKind::kUnreadable;
    return state;
  }
  state.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ObjectKind::kFolder
                                                                  : ObjectKind::kFile;
  state.security = SecurityFactsOf(descriptor.get());
  return state;
}

std::wstring CurrentUserSid() {
  UniqueHandle token;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
    return std::wstring();
  DWORD bytes = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &bytes);
  if (bytes == 0) return std::wstring();
  std::vector<DWORD> buffer((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), bytes, &bytes))
    return std::wstring();
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

SecurityCaller CurrentSecurityCaller() { return {CurrentUserSid(), IsUserAdministrator()}; }

}  // namespace zu
