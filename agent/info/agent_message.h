#pragma once
// The agent's message boxes of the check and support-page flows. Their
// owner is one of the agent's windows, which the application object knows:
// it hands in a source that names them at the moment a box is shown.
#include <windows.h>

#include <functional>
#include <string>

struct AgentMessageOwners {
  HWND options_dialog = nullptr;  // the Options dialog while it is open
  HWND main_window = nullptr;     // the hidden main window, once created
};

// Set once by the application object; an empty source means "no windows".
// Called on the user-interface thread each time a box is shown.
void SetAgentMessageOwners(std::function<AgentMessageOwners()> source);

// String string_id as the text, string 57344 ("ZEFO Update") as the caption,
// OK and the exclamation icon. The open Options dialog owns the box;
// otherwise the main window (if any) owns it and the box is task-modal.
// Returns when the box is closed.
void ShowAgentMessage(UINT string_id);

// The diagnostic box of the address flow: OK, exclamation icon, caption
// string 57344, owned by the main window when there is one.
void ShowAgentDiagnostic(const std::wstring& text);

// Seam (common/framework/seam.h): every box above, and the Options dialog's
// question, goes through this call, MessageBoxW by default.
using AgentMessageBoxFn = std::function<int(HWND owner, const std::wstring& text,
                                            const std::wstring& caption, UINT type)>;
namespace zu::seams {
extern AgentMessageBoxFn agent_message_box;
}  // namespace zu::seams
