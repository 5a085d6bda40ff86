// Answers the agent's questions about an update information file, for the
// people who publish them: the same code the agent runs, with this PC's
// inputs or the ones given on the command line. Writes nothing.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "agent/info/clock.h"
#include "agent/info/my_info_file.h"
#include "agent/info/xml_file_reader.h"
#include "common/framework/com.h"

namespace {

int Usage() {
  std::fputws(
      L"usage: zuinfo FILE-OR-URL [--os Vista|XP|none] [--serial TEXT]\n"
      L"              [--lastvisit YYYY-M-D-H:M|none] [--installed ID[,ID...]] [--base TEXT]\n",
      stderr);
  return 1;
}

void Print(const wchar_t* name, bool value) {
  std::wprintf(L"%ls: %ls\n", name, value ? L"true" : L"false");
}

void Print(const wchar_t* name, bool found, const std::wstring& text) {
  std::wprintf(L"%ls: %ls\n", name, found ? text.c_str() : L"(none)");
}

std::vector<std::wstring> SplitCommas(const std::wstring& text) {
  std::vector<std::wstring> out;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(L',', start);
    out.push_back(text.substr(start, comma - start));
    if (comma == std::wstring::npos) return out;
    start = comma + 1;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring address;
  std::wstring os_tag = CMyInfoFile::CurrentOsTag();
  CMyInfoFile::Inputs inputs = CMyInfoFile::ThisPC();
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--", 0) != 0) {
      if (!address.empty()) return Usage();
      address = arg;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const std::wstring value = argv[++i];
    if (arg == L"--os") {
      if (value == L"Vista" || value == L"XP")
        os_tag = value;
      else if (value == L"none")
        os_tag.clear();
      else
        return Usage();
    } else if (arg == L"--serial") {
      inputs.serial = [value] { return value; };
    } else if (arg == L"--lastvisit") {
      if (value == L"none") {
        inputs.last_visit = [](int64_t*) { return false; };
      } else {
        int64_t t = 0;
        if (!ParseTimeStamp(value, false, &t)) return Usage();
        inputs.last_visit = [t](int64_t* out) {
          *out = t;
          return true;
        };
      }
    } else if (arg == L"--installed") {
      const std::vector<std::wstring> ids = SplitCommas(value);
      inputs.is_installed = [ids](const std::wstring& id) {
        for (const auto& x : ids)
          if (x == id) return true;
        return false;
      };
    } else if (arg == L"--base") {
      inputs.url_base = [value] { return value; };
    } else {
      return Usage();
    }
  }
  if (address.empty()) return Usage();

  zu::ComInit com;
  CMyInfoFile file(os_tag);
  file.SetInputs(inputs);
  try {
    file.Load(address);
    std::wstring text;
    Print(L"HasNewUpdate", file.HasNewUpdate());
    Print(L"HasUrgentUpdate", file.HasUrgentUpdate());
    Print(L"HasNewESDUpdate", file.HasNewESDUpdate());
    bool found = file.FindSupportPageURL(&text, true);
    Print(L"SupportPageAuto", found, text);
    found = file.FindSupportPageURL(&text, false);
    Print(L"SupportPageManual", found, text);
    found = file.FindESDInfoURL(&text);
    Print(L"ESDInfoURL", found, text);
    Print(L"HasApplicableESDModule", file.HasApplicableESDModule());
    found = file.FindRedirectURL(&text);
    Print(L"Redirect", found, text);
    found = file.FindIntervalText(&text);
    Print(L"Interval", found, text);
  } catch (const std::exception& e) {
    std::printf("error: %s\n", e.what());
    return 2;
  }
  return 0;
}
