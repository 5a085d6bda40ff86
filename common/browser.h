#pragma once
// Opens a page in the platform's own browser (the one that can host our
// control), not in whatever program handles web addresses; the shell's
// default handling is the fallback. Shared by the agent and the control.
#include <optional>
#include <string>

// Browser location under HKEY_LOCAL_MACHINE (default value).
inline constexpr wchar_t kBrowserAppPathKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
inline constexpr wchar_t kProgramFilesMacro[] = L"%ProgramFiles%";
// Room for the expansion of kProgramFilesMacro, terminator included.
inline constexpr unsigned kProgramFilesBufferChars = 256;

// Starts the registered browser with the address as its command line, or
// hands the address to the shell. Does not wait; a failed start is silent.
void OpenInBrowser(const std::wstring& address);

// What OpenInBrowser executes with the verb "open".
struct BrowserLaunch {
  std::wstring file;
  std::wstring parameters;  // empty: none
  bool operator==(const BrowserLaunch&) const = default;
};

// True when the location begins with kProgramFilesMacro, exactly so.
bool StartsWithProgramFilesMacro(const std::wstring& location);

// The launch for a location read from the registry (empty: missing).
// program_files is the expansion of kProgramFilesMacro, asked for only when
// the location starts with it; nullopt when it could not be had in full,
// in which case the location is not used, so that a cut or unexpanded path
// is never started, and the shell gets the address.
BrowserLaunch PlanBrowserLaunch(const std::wstring& location,
                                const std::optional<std::wstring>& program_files,
                                const std::wstring& address);
