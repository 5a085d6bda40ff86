#pragma once
// Drive firmware identity as bytes and text: the SCSI INQUIRY request a
// drive letter is asked with (pass-through without a direct buffer), the
// four identity fields cut from its answer, and how the page's drive
// requirements compare with them. Plain C++ (no Windows headers);
// drive_identity.cpp checks the offsets against the system's structure.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "control/requirement_list.h"

// Layout of the request buffer: the 44-byte header, room for sense data
// from byte 48 (none is asked for), the inquiry data from byte 80.
inline constexpr std::size_t kPassThroughHeaderBytes = 44;
inline constexpr std::size_t kSenseInfoOffset = 48;
inline constexpr std::size_t kInquiryDataOffset = 80;
inline constexpr std::size_t kInquiryDataBytes = 255;
inline constexpr std::size_t kPassThroughBufferBytes = kInquiryDataOffset + kInquiryDataBytes;
inline constexpr std::uint8_t kInquiryTargetId = 1;
inline constexpr std::uint8_t kScsiDataIn = 1;
inline constexpr std::uint32_t kInquiryTimeoutSeconds = 2;
inline constexpr std::uint8_t kInquiryOpcode = 0x12;

using PassThroughBuffer = std::array<std::uint8_t, kPassThroughBufferBytes>;

// Header length 44, path 0, target 1, LUN 0, command length 6, no sense
// data (offset 48, length 0), data in, 255 bytes, 2 seconds, data at 80;
// command INQUIRY with allocation length 255. Fields little-endian; every
// other byte 0.
PassThroughBuffer BuildInquiryRequest();

// The four fields as bytes of the system code page.
struct InquiryFields {
  std::string vendor;           // inquiry bytes 8 to 15
  std::string product;          // 16 to 31
  std::string revision;         // 32 to 35
  std::string vendor_specific;  // 36 to 55
};
// The buffer as the drive filled it: false when its SCSI status is not 0.
// Only the data the drive reports to have sent is read (never more than
// 255 bytes); the text from byte 8 on ends at its first zero byte, as a C
// string would, and the fields are cut from it by byte position.
bool ParseInquiryReply(const PassThroughBuffer& reply, InquiryFields* fields);

// The same four fields as the page compares them.
struct DriveIdentity {
  std::wstring vendor, product, revision, vendor_specific;
};

// SearchDriveInfo's comparison: as many leading characters of the field
// as wanted has, equal to wanted ignoring case. An empty wanted matches
// anything; a field shorter than wanted does not match.
bool DriveFieldMatches(const std::wstring& field, const std::wstring& wanted);
// All four arguments match their fields.
bool DriveMatchesArguments(const DriveIdentity& drive, const DriveIdentity& wanted);

// SearchDriveInfoEx's four lists. An empty list holds no item and matches
// anything.
struct DriveRequirement {
  std::vector<RequirementItem> vendor, product, revision, vendor_specific;
};
// The vendor argument ends in a "*" that no backslash precedes.
bool VendorEndsInWildcard(const std::wstring& vendor);
// The vendor list takes no wildcards, the three others take trailing-"*"
// prefix items; all take several items. False when a list breaks its rules.
bool ParseDriveRequirement(const DriveIdentity& lists, DriveRequirement* requirement);
// Each non-empty list has an item that matches its field; a prefix item
// compares its text before the "*" like a plain one.
bool DriveMatchesRequirement(const DriveIdentity& drive, const DriveRequirement& requirement);
