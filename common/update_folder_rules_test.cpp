// The trust rule on facts as they come out of a descriptor; the Windows
// side (update_folder_test.cpp) builds those facts from real descriptors.
#include "common/update_folder_rules.h"

#include <gtest/gtest.h>

namespace {

using zu::AccessEntry;
using zu::ObjectSecurity;
using zu::SecurityCaller;

const SecurityCaller kAdmin{L"S-1-5-21-7-8-9-500", true};
const SecurityCaller kUser{L"S-1-5-21-7-8-9-1005", false};

ObjectSecurity Owned(const wchar_t* owner, std::vector<AccessEntry> entries = {}) {
  return {owner, true, std::move(entries)};
}

TEST(UpdateFolderRules, OwnersAndWriters) {
  // String SIDs compare the same whatever the case of their "S".
  EXPECT_TRUE(zu::IsSafeFromStandardUsers(Owned(L"s-1-5-32-544"), kAdmin));
  EXPECT_TRUE(zu::IsSafeFromStandardUsers(Owned(L"S-1-5-18"), kUser));
  // Unreadable owners and entries whose SID could not be read are nobody we trust.
  EXPECT_FALSE(zu::IsSafeFromStandardUsers(Owned(L""), kAdmin));
  EXPECT_FALSE(zu::IsSafeFromStandardUsers(Owned(L"S-1-5-18", {{false, 0, 0x2, L""}}), kAdmin));
  // A standard user's own account is trusted for nobody, itself included.
  EXPECT_FALSE(zu::IsSafeFromStandardUsers(Owned(L"S-1-5-21-7-8-9-1005"), kUser));
  EXPECT_TRUE(zu::IsSafeFromStandardUsers(Owned(L"S-1-5-21-7-8-9-500"), kAdmin));
  // Each write-type right alone is enough; reading rights are not.
  for (std::uint32_t right : {0x2u, 0x4u, 0x40u, 0x10000u, 0x40000u, 0x80000u, 0x40000000u,
                              0x10000000u})
    EXPECT_FALSE(zu::IsSafeFromStandardUsers(
        Owned(L"S-1-5-32-544", {{false, 0, right, L"S-1-5-32-545"}}), kAdmin))
        << std::hex << right;
  EXPECT_TRUE(zu::IsSafeFromStandardUsers(
      Owned(L"S-1-5-32-544", {{false, 0, 0x801200a9u, L"S-1-5-32-545"}}), kAdmin));
  // Inherit-only and denying entries do not grant anything here.
  EXPECT_TRUE(zu::IsSafeFromStandardUsers(
      Owned(L"S-1-5-32-544", {{false, zu::kInheritOnlyFlag | 0x3, 0x1f01ff, L"S-1-1-0"},
                              {true, 0, 0x1f01ff, L"S-1-1-0"}}),
      kAdmin));
  ObjectSecurity null_list = Owned(L"S-1-5-32-544");
  null_list.has_list = false;
  EXPECT_FALSE(zu::IsSafeFromStandardUsers(null_list, kAdmin));
}

}  // namespace
