#include "agent/info/agent_message.h"

#include "agent/info/info_url_rules.h"
#include "common/framework/window.h"

namespace {

std::function<AgentMessageOwners()>& OwnerSource() {
  static std::function<AgentMessageOwners()> source;
  return source;
}

AgentMessageOwners CurrentOwners() {
  AgentMessageOwners owners = OwnerSource() ? OwnerSource()() : AgentMessageOwners{};
  // A window that has gone away must not own the box.
  if (owners.options_dialog && !::IsWindow(owners.options_dialog)) owners.options_dialog = nullptr;
  if (owners.main_window && !::IsWindow(owners.main_window)) owners.main_window = nullptr;
  return owners;
}

std::wstring Text(UINT id) {
  std::wstring fallback = DefaultAgentMessageText(id);
  return zu::LoadResString(id, fallback.c_str());
}

int Box(HWND owner, const std::wstring& text, UINT type) {
  std::wstring caption = Text(kAgentCaptionId);
  return zu::seams::agent_message_box(owner, text, caption, type);
}

}  // namespace

AgentMessageBoxFn zu::seams::agent_message_box = [](HWND owner, const std::wstring& text,
                                                    const std::wstring& caption, UINT type) {
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
};

void SetAgentMessageOwners(std::function<AgentMessageOwners()> source) {
  OwnerSource() = std::move(source);
}

void ShowAgentMessage(UINT string_id) {
  AgentMessageOwners owners = CurrentOwners();
  const UINT type = MB_OK | MB_ICONEXCLAMATION;
  if (owners.options_dialog)
    Box(owners.options_dialog, Text(string_id), type);
  else
    Box(owners.main_window, Text(string_id), type | MB_TASKMODAL);
}

void ShowAgentDiagnostic(const std::wstring& text) {
  Box(CurrentOwners().main_window, text, MB_OK | MB_ICONEXCLAMATION);
}
