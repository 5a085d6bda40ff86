#include "control/engine/file_downloader.h"

#include <wininet.h>

#include <utility>

#include "common/autorun.h"
#include "common/platform.h"
#include "common/update_folder.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_seams.h"
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
constexpr DWORD kBeforeHideMs = 200;

// Text ids the run shows.
enum : long {
  kTextResumeCaption = 100,
  kTextResumeQuestion = 101,
  kTextNotInstalledCaption = 200,
  kTextNotInstalled = 201,
  kTextOnBattery = 406,
};

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

bool IsFile(const std::wstring& path) {
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// The size of an existing file, 0 when there is none.
std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Where a run reports before a dialog gives it a window.
class SilentSink : public IRunSink {
 public:
  void Notify(int, int) override {}
  int Ask(const std::wstring&, const std::wstring&, UINT) override { return IDOK; }
};

}  // namespace

RunWorld RunWorld::Real() {
  RunWorld w;
  w.http = &HttpTransfer;
  w.ftp = &FtpTransfer;
  w.create_installer = &CreatePatchInstaller;
  w.register_autorun = [](const std::wstring& argument) { return RegisterAutorun(argument); };
  return w;
}

CFileDownloader::CFileDownloader(RunWorld world)
    : world_(std::move(world)), sink_(std::make_unique<SilentSink>()),
      update_folder_(kUpdateFolder) {
  // Errors are ignored: a run without the folder fails at its first file.
  EnsureUpdateFolder();
}

CFileDownloader::~CFileDownloader() { Join(); }

bool CFileDownloader::Bind() {
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  if (modules_.empty()) return false;
  std::uint64_t total = modules_.KnownSizeSum();
  // Measured where the files go; WinINet keeps no second copy in its
  // cache, so each module counts once.
  if (total > FreeBytesForFolder(update_folder_.c_str())) {
    SetZuLastError(kZuErrorDiskSpace);
    return false;
  }
  std::lock_guard<std::mutex> lock(progress_mutex_);
  total_ = modules_.HasUnknownSize() ? 0 : total;
  return true;
}

RunProgress CFileDownloader::Progress() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  RunProgress p;
  p.total = total_;
  p.done = completed_ + current_;
  p.index = index_;
  p.count = static_cast<int>(modules_.size());
  p.name = name_;
  return p;
}

std::uint64_t CFileDownloader::TotalBytes() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  return total_;
}

std::uint64_t CFileDownloader::DoneBytes() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  return completed_ + current_;
}

std::uint64_t CFileDownloader::current_bytes() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  return current_;
}

void CFileDownloader::SetCurrentBytes(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  current_ = n;
}

void CFileDownloader::AddCurrentBytes(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  current_ += n;
}

void CFileDownloader::AddCompleted(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  completed_ += n;
}

void CFileDownloader::SetCurrentName(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  name_ = name;
}

bool CFileDownloader::PausedThenCancelled() {
  while (pause_ && !cancel_) ::Sleep(kPauseStepMs);
  return cancel_ != 0;
}

std::wstring CFileDownloader::Text(long id) const { return RegisteredString(id); }

void CFileDownloader::RestoreDesktop() {
  if (!desktop_held_) return;
  desktop_held_ = false;
  RestoreScreenSaver();
  AllowSleep();
}

void CFileDownloader::Run() {
  DisableScreenSaver();
  KeepAwake();
  desktop_held_ = true;
  struct Restorer {
    CFileDownloader* self;
    ~Restorer() { self->RestoreDesktop(); }
  } restorer{this};

  if (modules_.empty()) {  // Bind refuses an empty list
    sink_->Notify(kNoticeFailed, 0);
    return;
  }

  // Resume detection: behind a proxy only the maker's FTP server resumes.
  resume_ = 0;
  const std::wstring& first_url = modules_[0].url;
  if (!(UrlScheme(first_url) == INTERNET_SCHEME_FTP &&
        ProxyPreventsFtpResume(InternetUsesProxy(), first_url, kMakerFtpHost))) {
    for (std::size_t i = 0; i < modules_.size(); ++i) {
      std::wstring partial = ModulePartialPath(modules_[i].url);
      if (!partial.empty() && IsFile(partial)) {
        resume_ = 1;
        break;
      }
    }
  }

  SetZuLastError(kZuErrorSuccess);
  if (!PowerAllowsRun()) {
    sink_->Notify(kNoticeAborted, 0);
    return;
  }
  if (resume_ && sink_->Ask(Text(kTextResumeQuestion), Text(kTextResumeCaption),
                            MB_YESNO | MB_ICONWARNING) == IDNO)
    resume_ = 0;

  int result = 0;
  for (std::size_t i = 0; i < modules_.size() && result == 0; ++i) {
    {
      std::lock_guard<std::mutex> lock(progress_mutex_);
      index_ = static_cast<int>(i);
    }
    std::wstring final_path = ModuleFinalPath(modules_[i].url);
    if (!final_path.empty() && IsFile(final_path)) {
      AddCompleted(static_cast<std::uint64_t>(modules_[i].size));
      continue;
    }
    result = DownloadModule(i);
  }
  if (result == 1 || result == 2) {
    sink_->Notify(result == 1 ? kNoticeFailed : kNoticeCancelled, 0);
    return;
  }

  SetZuLastError(kZuErrorSuccess);
  sink_->Notify(kNoticeDownloaded, 0);
  run_auto_execute_count_ = modules_.AutoExecuteCount();
  if (run_auto_execute_count_ == 0) {
    ::Sleep(kBeforeHideMs);
    sink_->Notify(kNoticeHide, 0);
    sink_->Ask(Text(kTextNotInstalled), Text(kTextNotInstalledCaption), MB_OK | MB_ICONWARNING);
    sink_->Notify(kNoticeFinished, 0);
    return;
  }
  sink_->Notify(kNoticeFirstPass, static_cast<int>(run_auto_execute_count_));
  if (world_.create_installer) installer_ = world_.create_installer(modules_);
  if (!installer_) {
    sink_->Notify(kNoticeCancelled, 0);
    return;
  }
  RunInstallPasses(run_auto_execute_count_);
  installer_.reset();
}

bool CFileDownloader::PowerAllowsRun() {
  if (!RunsOnBattery()) {
    pause_ = 0;
    return true;
  }
  pause_ = 1;
  sink_->Ask(Text(kTextOnBattery), kBatteryCaption, MB_OK | MB_ICONWARNING);
  if (RunsOnBattery()) return false;
  pause_ = 0;
  return true;
}

int CFileDownloader::DownloadModule(std::size_t index) {
  const CModuleInfo& module = modules_[index];
  SetZuLastError(kZuErrorSuccess);
  SetCurrentName(module.display_name);
  partial_path_ = ModulePartialPath(module.url);
  // A URL with control characters would carry them into a request line.
  if (partial_path_.empty() || HasControlCharacter(module.url)) {
    SetZuLastError(kZuErrorBadModuleUrl);
    return 1;
  }
  const std::wstring final_path = partial_path_.substr(0, partial_path_.size() - 3);
  const std::uint64_t expected = static_cast<std::uint64_t>(module.size);
  {
    std::lock_guard<std::mutex> lock(progress_mutex_);
    expected_ = expected;
  }
  // Refused schemes leave nothing behind, not even the module's folder.
  const INTERNET_SCHEME scheme = UrlScheme(module.url);
  if (scheme != INTERNET_SCHEME_FTP && scheme != INTERNET_SCHEME_HTTP &&
      scheme != INTERNET_SCHEME_HTTPS) {
    SetZuLastError(kZuErrorBadModuleUrl);
    return 1;
  }
  ::CreateDirectoryW(ModuleFolder(module.url).c_str(), nullptr);

  std::uint64_t partial_size = FileSize(partial_path_);
  if (expected != 0 && partial_size > expected) {
    // Longer than the module: it cannot be its beginning.
    ::DeleteFileW(partial_path_.c_str());
    partial_size = 0;
  }
  SetCurrentBytes(partial_size);
  auto move_into_place = [&]() {
    {
      std::lock_guard<std::mutex> lock(progress_mutex_);
      completed_ += current_;
      current_ = 0;
    }
    if (::MoveFileW(partial_path_.c_str(), final_path.c_str())) return 0;
    // Reporting success without the file would leave the page believing it.
    SetZuLastError(kZuErrorFileMissing);
    return 1;
  };
  if (expected != 0 && partial_size == expected) return move_into_place();

  TransferRequest request{module.url, partial_path_, expected};
  TransferResult result = scheme == INTERNET_SCHEME_FTP ? world_.ftp(request, *this)
                                                         : world_.http(request, *this);
  if (result != TransferResult::kComplete) return static_cast<int>(result);
  if (expected == 0 || expected == current_bytes()) return move_into_place();
  SetZuLastError(kZuErrorSizeMismatch);
  ::DeleteFileW(partial_path_.c_str());
  return 1;
}

void CFileDownloader::Abort() {
  sink_->Notify(kNoticeAborted, 0);
  RestoreDesktop();
  installer_.reset();
}

bool CFileDownloader::RunInstallPasses(std::size_t run_count) {
  const int records = static_cast<int>(modules_.size());
  auto column = [this](int record, int c) {
    std::int32_t v = 0;
    return installer_->ReadInteger(record, c, &v) ? v : 0;
  };

  for (int m = 0; m < records; ++m) {
    if (PausedThenCancelled()) {
      Abort();
      return false;
    }
    if (column(m, kPatchColumnAutoExecute) == 0) continue;
    SetCurrentName(modules_[static_cast<std::size_t>(m)].display_name);
    sink_->Notify(kNoticeFirstPassNext, 0);
    installer_->FirstPhaseRun(m);
  }

  const bool all_modules_run = run_count >= modules_.size();
  const int level = installer_->FirstPhaseRebootLevel();
  if (level != 1 && level != 2) {
    sink_->Notify(kNoticeSecondPass, installer_->PendingSecondRuns());
    for (int k = 0; k < records; ++k) {
      if (PausedThenCancelled()) {
        Abort();
        return false;
      }
      if (column(k, kPatchColumnAutoExecute) == 0 || column(k, kPatchColumnPhaseFlag) == 0)
        continue;
      SetCurrentName(modules_[static_cast<std::size_t>(k)].display_name);
      sink_->Notify(kNoticeSecondPassNext, 0);
      installer_->SecondPhaseRun(k);
    }
    RestoreDesktop();
    if (!all_modules_run)
      sink_->Ask(Text(kTextNotInstalled), Text(kTextNotInstalledCaption), MB_OK | MB_ICONWARNING);
    const int final_level = installer_->FinalRebootLevel();
    if (final_level == 1 || final_level == 2) {
      world_.register_autorun(L"/showpage");
      sink_->Notify(final_level == 1 ? kNoticeRestart : kNoticeShutdown, 0);
    } else {
      sink_->Notify(kNoticeFinished, 0);
    }
    return true;
  }

  // A restart or shutdown comes first; the agent finishes what is left
  // after the next logon.
  if (installer_->AllInstalled()) {
    if (!all_modules_run)
      sink_->Ask(Text(kTextNotInstalled), Text(kTextNotInstalledCaption), MB_OK | MB_ICONWARNING);
    world_.register_autorun(L"/showpage");
  } else {
    world_.register_autorun(L"/S");
  }
  RestoreDesktop();
  sink_->Notify(level == 1 ? kNoticeRestart : kNoticeShutdown, 0);
  return true;
}
