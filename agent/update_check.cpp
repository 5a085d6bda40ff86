#include "agent/update_check.h"

#include <set>
#include <stdexcept>

#include "agent/connectivity.h"
#include "agent/info/agent_message.h"
#include "agent/info/clock.h"
#include "agent/info/info_url.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/resource.h"
#include "common/browser.h"

const wchar_t kOwnInfoFile[] = L"Dummy";

CheckWorld CheckWorld::Real(const AgentSwitches& switches) {
  CheckWorld w;
  w.connected = [] { return IsConnected(); };
  w.auto_check_on = [&switches] { return switches.auto_check; };
  w.disable_button = [&switches] { return switches.disable_button; };
  w.own_info_file = [] { return ResolveInfoFileURL(); };
  w.reachable = [](const std::wstring& url) { return IsURLReachable(url); };
  w.open_page = [](const std::wstring& url) { OpenInBrowser(url); };
  w.message = [](UINT id) { ShowAgentMessage(id); };
  w.new_info_file = [] { return std::make_unique<CMyInfoFile>(); };
  return w;
}

namespace {

// The file's answers for a check, filled in as they come. Throws what the
// files throw; what is in *result by then stays.
void AskFile(CMyInfoFile& file, const CheckWorld& world, CheckResult* result) {
  if (file.HasNewUpdate()) {
    DWORD save = 0;
    if (CMyRegKey().GetDebugSaveInfoFile(&save) && save == 1) file.SaveCopy();
    result->interval_days = file.UpdateSettingsFromFile();
    result->balloon =
        file.HasUrgentUpdate() ? BalloonKind::kImportant : BalloonKind::kRecommended;
  } else if (file.HasNewESDUpdate()) {
    result->interval_days = file.UpdateSettingsFromFile();
    std::wstring esd_url;
    if (file.FindESDInfoURL(&esd_url)) {
      auto esd = world.new_info_file();
      esd->Load(esd_url);
      if (esd->HasApplicableESDModule()) result->balloon = BalloonKind::kRecommended;
    } else if (file.HasApplicableESDModule()) {
      result->balloon = BalloonKind::kRecommended;
    }
  }
}

}  // namespace

CheckResult RunUpdateCheck(const std::wstring& address, const CheckWorld& world) {
  if (!world.connected() && !world.auto_check_on()) return {};
  StampLastExecute();

  std::wstring next = address == kOwnInfoFile ? world.own_info_file() : address;
  std::set<std::wstring> loaded;
  CheckResult result;
  // Serial ranges may point to a file that points on again. The chain is
  // bounded here: at most kMaxCheckRedirects redirects, no address twice.
  for (int redirects = 0;; ++redirects) {
    if (!loaded.insert(next).second) return result;
    try {
      auto file = world.new_info_file();
      file->Load(next);
      std::wstring redirect;
      if (!file->FindRedirectURL(&redirect)) {
        AskFile(*file, world, &result);
        return result;
      }
      if (redirects == kMaxCheckRedirects) return result;
      next = redirect;
    } catch (const std::exception&) {
      // CAccessFileException, CIllegalStateException: a silent end. The
      // interval a first file stored before the ESD file failed stays the
      // one in force, as it is the one stored.
      result.balloon.reset();
      return result;
    }
  }
}

namespace {

enum class PageOutcome { kOpenStored, kUnreachablePage, kNoInformation, kNoRedirectTarget, kNoPage };

// Steps of open-support-page that read the information file.
PageOutcome FindPage(bool automatic, const CheckWorld& world) {
  CMyRegKey key;
  try {
    auto file = world.new_info_file();
    file->Load(world.own_info_file());
    std::wstring redirect;
    if (file->FindRedirectURL(&redirect)) {
      // One redirect only, unlike the check.
      file->Close();
      if (!world.reachable(redirect)) return PageOutcome::kNoRedirectTarget;
      auto target = world.new_info_file();
      target->Load(redirect);
      std::wstring page;
      if (!target->FindSupportPageURL(&page, automatic)) return PageOutcome::kUnreachablePage;
      key.SetSupportPageURL(page, automatic);
      return world.reachable(page) ? PageOutcome::kOpenStored : PageOutcome::kUnreachablePage;
    }
    std::wstring page;
    if (!file->FindSupportPageURL(&page, automatic)) return PageOutcome::kNoPage;
    const bool reachable = world.reachable(page);
    key.SetSupportPageURL(page, automatic);
    return reachable ? PageOutcome::kOpenStored : PageOutcome::kUnreachablePage;
  } catch (const std::exception&) {
    return PageOutcome::kNoInformation;
  }
}

// Opens a configured fallback page when it answers; false when there is
// none or it does not.
bool OpenFallback(bool (*read)(std::wstring*), const CheckWorld& world) {
  std::wstring url;
  if (!read(&url) || !world.reachable(url)) return false;
  world.open_page(url);
  return true;
}

}  // namespace

bool OpenSupportPage(bool automatic, const CheckWorld& world) {
  if (world.disable_button()) {
    world.message(IDS_ALREADY_STARTED);
    return false;
  }
  if (!world.connected()) {
    world.message(IDS_NOT_CONNECTED);
    return false;
  }
  StampLastExecute();

  CMyRegKey key;
  std::wstring stored;
  const PageOutcome outcome = automatic && key.GetSupportPageURL(&stored, true)
                                  ? PageOutcome::kOpenStored
                                  : FindPage(automatic, world);
  switch (outcome) {
    case PageOutcome::kOpenStored:
      if (!key.GetSupportPageURL(&stored, automatic)) return false;
      world.open_page(stored);
      StampLastVisit();
      return true;
    case PageOutcome::kUnreachablePage:
      if (OpenFallback(&ReadURLForInvalidSupportPage, world)) return false;
      [[fallthrough]];
    case PageOutcome::kNoInformation:
      if (!OpenFallback(&ReadURLForInvalidInfoFile, world)) world.message(IDS_SERVER_UNREACHABLE);
      return false;
    case PageOutcome::kNoRedirectTarget:
      world.message(IDS_BAD_FORMAT);
      return false;
    case PageOutcome::kNoPage:
      world.message(IDS_SUPPORT_PAGE_FAILED);
      return false;
  }
  return false;
}
