#pragma once
// A support page run by ZUPageHost.exe: JScript that calls the control as
// `zuax`, with check(ok, what) failing the run and host.Echo printing.
#include <windows.h>

#include <string>

#include "tests/support/process.h"

namespace zu::test {

std::wstring AllowedPageAddress();  // a page of the allow-list
inline constexpr wchar_t kRefusedPageAddress[] =
    L"http://www.refused-host.example/zefo/update/index.html";

// Exit code 0 when every check held; under token when given.
RunResult RunPage(const std::wstring& address, const std::string& script,
                  HANDLE token = nullptr, DWORD ms = 300000);

// A JScript string literal of the text (UTF-8).
std::string JsString(const std::wstring& text);

}  // namespace zu::test
