#pragma once
// CSelfDownloader: the self update's run behind its dialog. The worker
// (Run) downloads the control's installer with the engine's own steps,
// runs it once or twice as it asks, and checks that the version text
// beside the control now names the offered version before it asks for a
// restart or shutdown or reports success. It reaches the dialog only
// through IRunSink, like the module run.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "control/engine/download_run.h"
#include "control/engine/download_steps.h"
#include "control/engine/engine_thread.h"
#include "control/engine/transfer.h"

// The first line of "Version.txt" in the folder of the control's library
// (its full long path); empty when there is none.
std::wstring ControlVersionText();

// What a self update uses beyond its own state. Real() fetches, launches
// and registers for real; tests replace parts.
struct SelfUpdateWorld {
  Transfer http;
  Transfer ftp;
  // Runs the installer with an empty parameter after its signature check,
  // waiting for it; false when it did not run.
  std::function<bool(const std::wstring& path)> launch;
  // "InstallFlg" or "RebootFlg", read and put back to "0".
  std::function<std::int32_t(const wchar_t* name)> take_flag;
  std::function<bool(const std::wstring& argument)> register_autorun;
  std::function<std::wstring()> version_text;  // ControlVersionText
  static SelfUpdateWorld Real();
};

// What a self update installs: the offered version, the installer's URL
// and its size in bytes (0: unknown, not checked).
struct SelfUpdateJob {
  std::wstring new_version;
  std::wstring patch_url;
  std::uint64_t size = 0;
};

class CSelfDownloader : public CThread, public RunFlags {
 public:
  // Creates C:\Update (one level, errors ignored) like every run's owner.
  explicit CSelfDownloader(SelfUpdateJob job, SelfUpdateWorld world = SelfUpdateWorld::Real());
  ~CSelfDownloader() override;

  // IDownloadRun: what the dialog drives. The battery handling applies
  // until the download step is over.
  void SetSink(std::unique_ptr<IRunSink> sink) override { sink_ = std::move(sink); }
  bool StartWorker() override { return Start(); }
  RunProgress Progress() const override;
  std::uint64_t DoneBytes() const override { return current_bytes(); }
  bool WatchesPower() const override { return power_check_ != 0; }

  // The worker's sequence; Start runs it on the worker thread. Tests call
  // it directly.
  void Run() override;

 private:
  // Launches the installer and reads its answers: false when it did not run.
  bool LaunchInstaller(std::int32_t* reboot, std::int32_t* install);
  // The notice after a run that asked for a restart (1) or shutdown (2):
  // once verified, "/showpage" is registered for the next logon.
  int RestartAfterVerifying(std::int32_t reboot, bool launched, DesktopHold& desktop);
  // Whether the launch ran and "Version.txt" now names the new version;
  // tells the user either way. Run calls it once, after the last launch.
  bool Verify(bool launched);
  std::wstring Text(long id) const;

  // IFileDownloadRun
  void FileInPlace() override {}

  const SelfUpdateJob job_;
  SelfUpdateWorld world_;
  std::unique_ptr<IRunSink> sink_;
  std::atomic<int> power_check_{1};
};
