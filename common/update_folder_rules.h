#pragma once
// Whether a standard user could have written a file or folder, judged on
// its owner and access list alone. Plain C++: the Windows side turns a
// security descriptor into these facts (object_security.h).
#include <cstdint>
#include <string>
#include <vector>

namespace zu {

inline constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
inline constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";

// Rights that let their holder change what an object holds or who may:
// write or append data (add file or sub-folder), delete child, delete,
// change permissions, take ownership, generic write, generic all.
inline constexpr std::uint32_t kWriteTypeRights = 0x00000002 | 0x00000004 | 0x00000040 |
                                                  0x00010000 | 0x00040000 | 0x00080000 |
                                                  0x40000000 | 0x10000000;
// An entry that only passes on to children and does not apply to the object.
inline constexpr std::uint8_t kInheritOnlyFlag = 0x08;

struct AccessEntry {
  bool denies = false;     // an access-denied entry grants nothing
  std::uint8_t flags = 0;  // the entry's inheritance flags
  std::uint32_t mask = 0;
  std::wstring sid;        // "S-1-..."
};

struct ObjectSecurity {
  std::wstring owner;        // "S-1-..."; empty when it could not be read
  bool has_list = true;      // false: a null list, which lets everyone do anything
  std::vector<AccessEntry> entries;
};

// Who asks: the account of the token that runs the check.
struct SecurityCaller {
  std::wstring user_sid;
  bool is_admin = false;
};

// True when only Administrators, SYSTEM or (for an administrator caller)
// the caller's own account own the object and hold write-type rights on
// it. Anything else, a null list included, means a standard user could
// have written it.
bool IsSafeFromStandardUsers(const ObjectSecurity& object, const SecurityCaller& caller);

}  // namespace zu
