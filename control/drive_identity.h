#pragma once
// Drive firmware identity of the drive letters "C" to "Z": each drive is
// asked with the SCSI INQUIRY of drive_rules.h, and the debug file's
// "General" keys can replace its fields.
#include <functional>

#include "control/drive_rules.h"

namespace zu::seams {
// Opens "\\.\<letter>:" for reading and writing and sends the request in
// *buffer (44 bytes in, 335 out), which the drive fills. False when the
// device does not open or the call fails. The only step that needs a real
// drive; Wine answers every pass-through request with error 50.
using SendDriveInquiryFn = bool (*)(wchar_t drive_letter, PassThroughBuffer* buffer);
extern SendDriveInquiryFn send_drive_inquiry;
}  // namespace zu::seams

// The four fields of one drive, read in the system code page; false when
// the drive does not open or does not answer with SCSI status 0.
bool ReadDriveIdentity(wchar_t drive_letter, DriveIdentity* identity);

// Walks "C" to "Z", skipping drives without an identity; each field is
// replaced by its "General" debug key ("FirmVender", "FirmProductID",
// "FirmProductRevison", "FirmVenderSpec") when that is set. True at the
// first drive that matches.
bool FindDrive(const std::function<bool(const DriveIdentity&)>& matches);
