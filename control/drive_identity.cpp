#include "control/drive_identity.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <string>

#include "common/framework/handle.h"
#include "control/file_queries.h"
#include "control/host_check.h"

// The request is built as bytes; these tie its layout to the system's own.
static_assert(sizeof(SCSI_PASS_THROUGH) == kPassThroughHeaderBytes);
static_assert(offsetof(SCSI_PASS_THROUGH, ScsiStatus) == 2);
static_assert(offsetof(SCSI_PASS_THROUGH, TargetId) == 4);
static_assert(offsetof(SCSI_PASS_THROUGH, CdbLength) == 6);
static_assert(offsetof(SCSI_PASS_THROUGH, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH, TimeOutValue) == 16);
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28);
static_assert(SCSI_IOCTL_DATA_IN == kScsiDataIn);

namespace {

bool SendThroughTheDevice(wchar_t drive_letter, PassThroughBuffer* buffer) {
  wchar_t device[] = L"\\\\.\\?:";
  device[4] = drive_letter;
  zu::UniqueFile drive(::CreateFileW(device, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr));
  if (!drive) return false;
  DWORD returned = 0;
  return ::DeviceIoControl(drive.get(), IOCTL_SCSI_PASS_THROUGH, buffer->data(),
                           static_cast<DWORD>(kPassThroughHeaderBytes), buffer->data(),
                           static_cast<DWORD>(buffer->size()), &returned, nullptr) != FALSE;
}

// The "General" keys that replace a drive's fields, read once per search.
struct FieldReplacements {
  bool vendor, product, revision, vendor_specific;
  DriveIdentity values;
  FieldReplacements() {
    vendor = ReadDebugGeneral(L"FirmVender", &values.vendor);
    product = ReadDebugGeneral(L"FirmProductID", &values.product);
    revision = ReadDebugGeneral(L"FirmProductRevison", &values.revision);
    vendor_specific = ReadDebugGeneral(L"FirmVenderSpec", &values.vendor_specific);
  }
  void ApplyTo(DriveIdentity* d) const {
    if (vendor) d->vendor = values.vendor;
    if (product) d->product = values.product;
    if (revision) d->revision = values.revision;
    if (vendor_specific) d->vendor_specific = values.vendor_specific;
  }
};

}  // namespace

namespace zu::seams {
SendDriveInquiryFn send_drive_inquiry = &SendThroughTheDevice;
}

bool ReadDriveIdentity(wchar_t drive_letter, DriveIdentity* identity) {
  *identity = DriveIdentity();
  PassThroughBuffer buffer = BuildInquiryRequest();
  InquiryFields fields;
  if (!zu::seams::send_drive_inquiry(drive_letter, &buffer) || !ParseInquiryReply(buffer, &fields))
    return false;
  identity->vendor = FromSystemCodePage(fields.vendor);
  identity->product = FromSystemCodePage(fields.product);
  identity->revision = FromSystemCodePage(fields.revision);
  identity->vendor_specific = FromSystemCodePage(fields.vendor_specific);
  return true;
}

bool FindDrive(const std::function<bool(const DriveIdentity&)>& matches) {
  const FieldReplacements replacements;
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    DriveIdentity drive;
    if (!ReadDriveIdentity(letter, &drive)) continue;
    replacements.ApplyTo(&drive);
    if (matches(drive)) return true;
  }
  return false;
}
