#pragma once
// One update check, and opening the support page. Both fetch this PC's
// information file; the check decides which balloon to show, open-support-
// page finds the page to open and tells the user when it cannot. They live
// apart from the main window because "/showpage" opens the page before the
// window exists.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "agent/agent_switches.h"
#include "agent/info/my_info_file.h"
#include "agent/notify_icon_wnd.h"

// The address that means "this PC's own information file".
extern const wchar_t kOwnInfoFile[];  // "Dummy"

// A check follows at most this many serial-range redirects, and never loads
// an address twice; past that the check ends silently.
constexpr int kMaxCheckRedirects = 8;

// What the check and open-support-page act on. Real() gives the real ones,
// reading the switches it is handed; tests replace single entries.
struct CheckWorld {
  std::function<bool()> connected;                      // IsConnected
  std::function<bool()> auto_check_on;                  // the "SuppressBallonPopUp" switch
  std::function<bool()> disable_button;                 // "/DisableButton" was given
  std::function<std::wstring()> own_info_file;          // ResolveInfoFileURL
  std::function<bool(const std::wstring&)> reachable;   // IsURLReachable
  std::function<void(const std::wstring&)> open_page;   // OpenInBrowser
  std::function<void(UINT)> message;                    // ShowAgentMessage
  std::function<std::unique_ptr<CMyInfoFile>()> new_info_file;

  // The switches must outlive the world.
  static CheckWorld Real(const AgentSwitches& switches);
};

struct CheckResult {
  std::optional<BalloonKind> balloon;  // the balloon the file calls for
  int interval_days = -1;              // from the file; -1: keep the current one
};

// Runs one check of the file at address (kOwnInfoFile: this PC's file).
// Stamps "LastExecute", stores support pages and interval from a file with
// new updates. Every failure of a file is silent: no balloon; an interval
// the first file brought before a later failure is still returned, since
// it is stored already.
CheckResult RunUpdateCheck(const std::wstring& address, const CheckWorld& world);

// Opens the support page, automatic (from a balloon) or manual. True when
// the page came from the stored or found address and was opened.
bool OpenSupportPage(bool automatic, const CheckWorld& world);
