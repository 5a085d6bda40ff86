#pragma once
// Last-error codes the page reads with GetLastError: application-defined
// values with bit 29 set. 0 means success; -1 means never set.

inline constexpr long kZuErrorNeverSet = -1;
inline constexpr long kZuErrorSuccess = 0;
inline constexpr long kZuErrorDiskSpace = 0x20000001;        // queued modules do not fit
inline constexpr long kZuErrorNotAdmin = 0x20000002;         // caller is not an administrator
inline constexpr long kZuErrorBadModuleUrl = 0x20000004;     // no local path or bad scheme
inline constexpr long kZuErrorFileMissing = 0x20000005;      // missing, or a folder
inline constexpr long kZuErrorRegistryNotFound = 0x20000007; // key or value not found
inline constexpr long kZuErrorNoDevice = 0x20000008;         // no device with that hardware ID
inline constexpr long kZuErrorVersionText = 0x20000009;      // version text file not found
inline constexpr long kZuErrorFtp = 0x20000010;              // an FTP transfer failed
inline constexpr long kZuErrorHttp = 0x20000011;             // an HTTP transfer failed
inline constexpr long kZuErrorSizeMismatch = 0x20000012;     // downloaded size differs
inline constexpr long kZuErrorBounding = 0x20000014;         // conflicting bounding modules
inline constexpr long kZuErrorInvalidArgument = 0x20000015;
inline constexpr long kZuErrorPatchList = 0x20000016;        // patch list unreadable
inline constexpr long kZuErrorMutexHeld = 0x20000017;        // working mutex held elsewhere
inline constexpr long kZuErrorSelfUpdateRefused = 0x20000018;
