#include "tests/support/scripts.h"

#include <cstdio>

#include "control/allow_list.h"

#include "tests/support/files.h"

namespace zu::test {

std::optional<DWORD> Regsvr32(bool unregister, const std::wstring& dll) {
  const std::wstring quoted = L"\"" + (dll.empty() ? BinDir() + L"\\ZUAC.dll" : dll) + L"\"";
  return RunCaptured(SystemFile(L"regsvr32.exe"), (unregister ? L"/u /s " : L"/s ") + quoted,
                     kScriptWait)
      .code;
}

std::wstring AllowedPageAddress() {
  return L"http://" + std::wstring(kPageAllowList.exact_hosts[1]) + L"/zefo/update/index.html";
}

std::wstring PageHost() { return BinDir() + L"\\ZUPageHost.exe"; }

bool HavePageHost() { return FileExists(PageHost()); }

RunResult RunInPageHost(const std::wstring& address, const std::wstring& file_name,
                        const std::string& content, const std::wstring& options, HANDLE token,
                        DWORD ms) {
  const std::wstring path = TempPath(file_name);
  WriteFileBytes(path, content);
  std::wstring args = L"--url \"" + address + L"\" ";
  if (!options.empty()) args += options + L" ";
  RunResult r = RunCaptured(PageHost(), args + L"\"" + path + L"\"", ms, token);
  ::DeleteFileW(path.c_str());
  return r;
}

RunResult RunInCscript(const std::wstring& file_name, const std::string& script) {
  const std::wstring path = TempPath(file_name);
  WriteFileBytes(path, script);
  RunResult r = RunCaptured(SystemFile(L"cscript.exe"), L"//nologo \"" + path + L"\"", kScriptWait);
  ::DeleteFileW(path.c_str());
  return r;
}

std::string JsString(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7e) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace zu::test
