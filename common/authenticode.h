#pragma once
// Whether an installer carries the maker's code signature. The file is
// checked through a handle the caller opened (and keeps open, without
// write or delete sharing, until the installer has ended), so the file
// that was checked is the file that runs.
#include <windows.h>

#include <optional>
#include <string>

// The two signer names the engine runs installers of, compared with case.
bool IsMakerSignerName(const std::wstring& name);

struct SignatureCheck {
  LONG trust = 0;            // WinVerifyTrust's answer, generic Authenticode action
  std::wstring signer;       // simple display name of the first signer's certificate
  std::optional<FILETIME> timestamp;  // a timestamp whose signature and TSA chain verified
  DWORD chain_error = 0;     // Authenticode chain policy at the timestamp, else now
  bool passed = false;       // trust 0, a maker name and chain_error 0
};

// path names the file for the trust provider; the content is read
// through file. No user interface, no revocation check.
SignatureCheck CheckInstallerSignature(HANDLE file, const std::wstring& path);
