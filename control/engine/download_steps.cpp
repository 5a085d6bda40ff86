#include "control/engine/download_steps.h"

#include <windows.h>
#include <wininet.h>

#include "common/platform.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_seams.h"
#include "control/engine/engine_texts.h"
#include "control/engine/transfer_rules.h"
#include "control/module_path.h"
#include "control/registered_strings.h"

#ifndef ZU_MAKER_FTP_HOST
#error "ZU_MAKER_FTP_HOST names the maker's FTP server (engine.cmake sets it)"
#endif

namespace {

constexpr wchar_t kBatteryCaption[] = L"ZEFO Update";
constexpr wchar_t kMakerFtpHost[] = ZU_MAKER_FTP_HOST;
constexpr DWORD kPauseStepMs = 1000;

// The scheme of a URL as WinINet reads it; INTERNET_SCHEME_UNKNOWN when it
// cannot be read.
INTERNET_SCHEME UrlScheme(const std::wstring& url) {
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = 1;
  if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
    return INTERNET_SCHEME_UNKNOWN;
  return parts.nScheme;
}

bool HasControlCharacter(const std::wstring& text) {
  for (wchar_t c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace

std::optional<std::uint64_t> FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::uint64_t RunFlags::current_bytes() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  return current_;
}

void RunFlags::SetCurrentBytes(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  current_ = n;
}

void RunFlags::AddCurrentBytes(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  current_ += n;
}

bool RunFlags::PausedThenCancelled() {
  while (pause_ && !cancel_) ::Sleep(kPauseStepMs);
  return cancel_ != 0;
}

bool IsFilePath(const std::wstring& path) { return FileSizeOf(path).has_value(); }

bool FindPartialToResume(const std::vector<std::wstring>& urls) {
  if (urls.empty()) return false;
  if (UrlScheme(urls[0]) == INTERNET_SCHEME_FTP &&
      ProxyPreventsFtpResume(InternetUsesProxy(), urls[0], kMakerFtpHost))
    return false;
  for (const std::wstring& url : urls) {
    const std::wstring partial = ModulePartialPath(url);
    if (!partial.empty() && IsFilePath(partial)) return true;
  }
  return false;
}

bool PowerAllowsRun(IRunSink& sink, std::atomic<int>& pause) {
  if (!RunsOnBattery()) {
    pause = 0;
    return true;
  }
  pause = 1;
  sink.Ask(RegisteredString(kTextOnBattery), kBatteryCaption, MB_OK | MB_ICONWARNING);
  if (RunsOnBattery()) return false;
  pause = 0;
  return true;
}

bool UserWantsResume(IRunSink& sink) {
  return sink.Ask(RegisteredString(kTextResumeQuestion), RegisteredString(kTextQuestionCaption),
                  MB_YESNO | MB_ICONWARNING) != IDNO;
}

DownloadResult DownloadFile(const std::wstring& url, std::uint64_t expected,
                            const Transfer& http, const Transfer& ftp, IFileDownloadRun& run) {
  SetZuLastError(kZuErrorSuccess);
  const std::wstring partial_path = ModulePartialPath(url);
  // A URL with control characters would carry them into a request line.
  if (partial_path.empty() || HasControlCharacter(url)) {
    SetZuLastError(kZuErrorBadModuleUrl);
    return DownloadResult::kFailed;
  }
  const std::wstring final_path = ModuleFinalPath(url);
  // Refused schemes leave nothing behind, not even the file's folder.
  const INTERNET_SCHEME scheme = UrlScheme(url);
  if (scheme != INTERNET_SCHEME_FTP && scheme != INTERNET_SCHEME_HTTP &&
      scheme != INTERNET_SCHEME_HTTPS) {
    SetZuLastError(kZuErrorBadModuleUrl);
    return DownloadResult::kFailed;
  }
  ::CreateDirectoryW(ModuleFolder(url).c_str(), nullptr);

  std::uint64_t partial_size = FileSizeOf(partial_path).value_or(0);
  if (expected != 0 && partial_size > expected) {
    // Longer than the file: it cannot be its beginning.
    ::DeleteFileW(partial_path.c_str());
    partial_size = 0;
  }
  run.SetCurrentBytes(partial_size);
  auto move_into_place = [&]() {
    run.FileInPlace();
    if (::MoveFileW(partial_path.c_str(), final_path.c_str())) return DownloadResult::kDone;
    // Reporting success without the file would leave the page believing it.
    SetZuLastError(kZuErrorFileMissing);
    return DownloadResult::kFailed;
  };
  if (expected != 0 && partial_size == expected) return move_into_place();

  const TransferRequest request{url, partial_path, expected};
  const TransferResult result =
      scheme == INTERNET_SCHEME_FTP ? ftp(request, run) : http(request, run);
  if (result != TransferResult::kComplete) return static_cast<DownloadResult>(result);
  if (expected == 0 || expected == run.current_bytes()) return move_into_place();
  SetZuLastError(kZuErrorSizeMismatch);
  ::DeleteFileW(partial_path.c_str());
  return DownloadResult::kFailed;
}
