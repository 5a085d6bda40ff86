#pragma once
// Scripts against the built control: ZUAC.dll registered as the browser
// finds it, and script run in the page host (a page at an address) or in
// cscript (no page at all), each from a file in the temporary folder.
#include <windows.h>

#include <optional>
#include <string>

#include "tests/support/process.h"

namespace zu::test {

inline constexpr DWORD kScriptWait = 120000;

// regsvr32 /s (with unregister: /u /s) on the DLL, the built ZUAC.dll
// unless given; its exit code, empty when it did not end.
std::optional<DWORD> Regsvr32(bool unregister = false, const std::wstring& dll = {});

std::wstring AllowedPageAddress();  // a page of the allow-list
inline constexpr wchar_t kRefusedPageAddress[] =
    L"http://www.refused-host.example/zefo/update/index.html";

std::wstring PageHost();  // the built ZUPageHost.exe
bool HavePageHost();

// Writes content to file_name in the temporary folder (a .js script or an
// .htm page), runs it in the page host at the address with the options
// given (under token when given), and removes the file again.
RunResult RunInPageHost(const std::wstring& address, const std::wstring& file_name,
                        const std::string& content, const std::wstring& options = L"",
                        HANDLE token = nullptr, DWORD ms = kScriptWait);
// Writes the script to file_name in the temporary folder, runs it with
// cscript and removes the file again.
RunResult RunInCscript(const std::wstring& file_name, const std::string& script);

// A JScript string literal of the text: quotes and backslashes escaped,
// everything outside printable ASCII as \uXXXX, since cscript reads a
// script in the system code page.
std::string JsString(const std::wstring& text);

}  // namespace zu::test
