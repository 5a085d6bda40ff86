#pragma once
// The Options dialog "ZEFO Update Options": information text with links,
// an optional header picture, the agent's version, and the two check boxes
// behind the "SuppressBallonPopUp" option.
#include <windows.h>

#include <memory>
#include <string>

#include "agent/agent_switches.h"
#include "agent/canvas.h"
#include "agent/pim_edit_ctrl.h"
#include "agent/resource.h"
#include "agent/static_paint.h"
#include "common/framework/gdi.h"
#include "common/framework/window.h"

// Colours of the band above the separator, the separator line and below it.
constexpr COLORREF kOptionsBandColour = RGB(215, 221, 224);
constexpr COLORREF kOptionsLineColour = RGB(141, 151, 150);
constexpr COLORREF kOptionsBelowColour = RGB(255, 255, 255);

// Second line of the version text.
extern const wchar_t kOptionsMakerLine[];

// The information text of "Pim.txt": ANSI lines, each followed by "\r\n".
struct InfoText {
  std::wstring text;
  size_t first_line_length = 0;
};
InfoText ReadInfoText(const std::wstring& path);

// What the Options dialog asks of the agent around it.
class IOptionsDialogOwner {
 public:
  virtual ~IOptionsDialogOwner() = default;
  // The dialog's window is up, or (nullptr) going: the agent's open Options
  // dialog, which a stop request ends and message boxes belong to.
  virtual void SetOpenDialog(HWND dialog) = 0;
  // Button 1000: open-support-page, manual.
  virtual void OpenSupportPage() = 0;
  // After OK: the notification icon follows the switches.
  virtual void SwitchesChanged() = 0;
};

class CSetupDialog : public zu::Dialog {
 public:
  // Reads the stored option into the switches (towards what is stored
  // only). The owner and the switches outlive the dialog.
  CSetupDialog(IOptionsDialogOwner& owner, AgentSwitches& switches);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;

 private:
  void ExchangeToControls();
  void ExchangeFromControls();
  void SetUpInfoText(const std::wstring& folder);
  void SetUpCheckBoxes();
  void SetUpHeader(const std::wstring& folder);
  void LayOut();
  void Paint();
  void OnAutoCheckClicked();
  void OnLinkClicked(const ENLINK& link);
  void OnOK();
  void OnDestroy();
  RECT ControlRect(int id) const;

  IOptionsDialogOwner& owner_;
  AgentSwitches& switches_;
  CPimEditCtrl info_text_;
  std::unique_ptr<CStaticPaint> header_;
  std::unique_ptr<CStaticPaint> icon_control_;
  bool has_header_ = true;
  int header_x_ = 0, header_y_ = 0;
  std::unique_ptr<CCanvas> canvas_;
  zu::UniqueIcon icon_;
  zu::UniqueBrush background_;
  int separator_y_ = 0;
};
