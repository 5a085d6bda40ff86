#include "agent/setup_dialog.h"

#include <vector>

#include "agent/info/agent_message.h"
#include "agent/info/info_url.h"
#include "agent/info/settings.h"
#include "agent/resource.h"
#include "agent/setup_dialog_rules.h"
#include "common/browser.h"
#include "common/framework/handle.h"
#include "common/platform.h"

const wchar_t kOptionsMakerLine[] = L"Copyright (C) Vexa Corporation";

namespace {

constexpr LONG kFirstLineTwips = 250;
// Longest address a link click hands to the browser.
constexpr size_t kMaxLinkChars = 2048;


bool IsFile(const std::wstring& path) {
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring AnsiToWide(const std::string& s) {
  if (s.empty()) return L"";
  int n = ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return L"";
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}


void MoveControl(HWND dialog, int id, const LayoutRect& to) {
  if (HWND control = ::GetDlgItem(dialog, id))
    ::SetWindowPos(control, nullptr, to.left, to.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

InfoText ReadInfoText(const std::wstring& path) {
  InfoText out;
  zu::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return out;
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (bytes.size() < kInfoTextReadLimit &&
         ::ReadFile(file.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0)
    bytes.append(buffer, n);
  if (bytes.size() > kInfoTextReadLimit) bytes.resize(kInfoTextReadLimit);
  const std::vector<std::string> lines = SplitAnsiLines(bytes);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring line = AnsiToWide(lines[i]);
    if (i == 0) out.first_line_length = line.size();
    out.text += line;
    out.text += L"\r\n";
  }
  return out;
}

CSetupDialog::CSetupDialog(IOptionsDialogOwner& owner, AgentSwitches& switches)
    : zu::Dialog(IDD_OPTIONS),
      owner_(owner),
      switches_(switches),
      background_(::CreateSolidBrush(kOptionsBandColour)) {
  // Only towards what is stored; the check boxes show the stored option
  // anyway once the dialog is up.
  const int stored = ReadSuppressBalloon();
  if (stored == 2) switches_.auto_check = false;
  if (stored == 1) switches_.balloons_suppressed = true;
}

// A replacement resource library's dialog may lack a box: its switch then
// stays as it is.
void CSetupDialog::ExchangeToControls() {
  ::CheckDlgButton(hwnd(), IDC_AUTO_CHECK, switches_.auto_check ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(hwnd(), IDC_SUPPRESS_BALLOONS,
                   switches_.balloons_suppressed ? BST_CHECKED : BST_UNCHECKED);
}

void CSetupDialog::ExchangeFromControls() {
  if (::GetDlgItem(hwnd(), IDC_AUTO_CHECK))
    switches_.auto_check = ::IsDlgButtonChecked(hwnd(), IDC_AUTO_CHECK) == BST_CHECKED;
  if (::GetDlgItem(hwnd(), IDC_SUPPRESS_BALLOONS))
    switches_.balloons_suppressed =
        ::IsDlgButtonChecked(hwnd(), IDC_SUPPRESS_BALLOONS) == BST_CHECKED;
}

RECT CSetupDialog::ControlRect(int id) const {
  RECT r{};
  if (HWND control = ::GetDlgItem(hwnd(), id)) {
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
  }
  return r;
}

BOOL CSetupDialog::OnInitDialog() {
  ExchangeToControls();

  icon_.reset(static_cast<HICON>(::LoadImageW(zu::ResourceModule(),
                                              MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16,
                                              16, 0)));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));

  const std::wstring folder = ExecutableFolder();
  SetUpInfoText(folder);
  SetUpCheckBoxes();
  SetUpHeader(folder);

  ::SetDlgItemTextW(hwnd(), IDC_VERSION,
                    (L"ZEFO Update Version " + GetAgentVersion() + L"\r\n" + kOptionsMakerLine)
                        .c_str());

  ::SetWindowLongPtrW(hwnd(), GWL_EXSTYLE,
                      ::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE) | WS_EX_APPWINDOW);

  const RECT frame = ControlRect(IDC_ICON_FRAME);
  icon_control_ = std::make_unique<CStaticPaint>(IDR_MAINFRAME);
  if (::GetDlgItem(hwnd(), IDC_ICON_FRAME) &&
      icon_control_->Create(hwnd(), frame.left, frame.top))
    // Above the frame it is painted over.
    ::SetWindowPos(icon_control_->hwnd(), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  if (switches_.disable_button) ::EnableWindow(::GetDlgItem(hwnd(), IDC_WEB_SUPPORT), FALSE);

  owner_.SetOpenDialog(hwnd());
  zu::BringToFront(hwnd());
  return TRUE;
}

void CSetupDialog::SetUpInfoText(const std::wstring& folder) {
  info_text_.Attach(::GetDlgItem(hwnd(), IDC_INFO_TEXT));
  if (!info_text_.hwnd()) return;
  const InfoText info = ReadInfoText(folder + L"\\Pim.txt");
  info_text_.EnableLinks();
  info_text_.SetText(info.text);
  info_text_.WrapAtWindowWidth();
  info_text_.SetBold(0, static_cast<LONG>(info.first_line_length), kFirstLineTwips);
  // No highlighted first line when the text gets the focus.
  info_text_.Select(0, 0);
}

void CSetupDialog::SetUpCheckBoxes() {
  const OptionsCheckState state = CheckStateFromStored(ReadSuppressBalloon());
  HWND suppress = ::GetDlgItem(hwnd(), IDC_SUPPRESS_BALLOONS);
  ::EnableWindow(::GetDlgItem(hwnd(), IDC_AUTO_CHECK), TRUE);
  ::EnableWindow(suppress, TRUE);
  ::CheckDlgButton(hwnd(), IDC_AUTO_CHECK, state.auto_check ? BST_CHECKED : BST_UNCHECKED);
  ::CheckDlgButton(hwnd(), IDC_SUPPRESS_BALLOONS, state.suppressed ? BST_CHECKED : BST_UNCHECKED);
  ::EnableWindow(suppress, state.suppressed_enabled);
}

void CSetupDialog::SetUpHeader(const std::wstring& folder) {
  const std::wstring picture = folder + L"\\sample.bmp";
  if (IsFile(picture)) {
    canvas_ = std::make_unique<CCanvas>(hwnd(), picture);
    // A file that is no readable bitmap counts as no picture.
    if (!canvas_->valid()) canvas_.reset();
  }
  if (!canvas_) {
    has_header_ = false;
    ::ShowWindow(::GetDlgItem(hwnd(), IDC_WEB_SUPPORT), SW_HIDE);
    // The band ends below the icon as it does with a picture.
    if (::GetDlgItem(hwnd(), IDC_ICON_FRAME)) {
      const RECT frame = ControlRect(IDC_ICON_FRAME);
      separator_y_ = SeparatorBelow({frame.left, frame.top, frame.right, frame.bottom});
    }
    return;
  }
  header_x_ = 2;
  header_y_ = ControlRect(IDC_INFO_TEXT).top;
  header_ = std::make_unique<CStaticPaint>(canvas_.get());
  header_->Create(hwnd(), header_x_, header_y_);
  LayOut();
}

void CSetupDialog::LayOut() {
  auto rect = [this](int id) {
    const RECT r = ControlRect(id);
    return LayoutRect{r.left, r.top, r.right, r.bottom};
  };
  const OptionsControls now{rect(IDC_ICON_FRAME), rect(IDC_VERSION), rect(IDC_WEB_SUPPORT),
                            rect(IDOK),          rect(IDCANCEL),    rect(IDC_AUTO_CHECK),
                            rect(IDC_SUPPRESS_BALLOONS),  rect(IDC_INFO_TEXT)};
  const OptionsLayout layout = LayOutWithHeader(now, canvas_->width(), canvas_->height());
  const OptionsControls& c = layout.controls;
  MoveControl(hwnd(), IDC_ICON_FRAME, c.icon_frame);
  MoveControl(hwnd(), IDC_VERSION, c.version);
  MoveControl(hwnd(), IDC_WEB_SUPPORT, c.web_support);
  MoveControl(hwnd(), IDOK, c.ok);
  MoveControl(hwnd(), IDCANCEL, c.cancel);
  MoveControl(hwnd(), IDC_SUPPRESS_BALLOONS, c.suppressed);
  MoveControl(hwnd(), IDC_AUTO_CHECK, c.auto_check);
  MoveControl(hwnd(), IDC_INFO_TEXT, c.info_text);
  separator_y_ = layout.separator_y;

  // Centred in the work area of the dialog's monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor))
    area = monitor.rcWork;
  const int x = area.left + (area.right - area.left - layout.window_width) / 2;
  const int y = area.top + (area.bottom - area.top - layout.window_height) / 2;
  ::SetWindowPos(hwnd(), nullptr, x, y, layout.window_width, layout.window_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSetupDialog::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd(), &ps);
  if (::IsIconic(hwnd())) {
    ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(hwnd(), &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_.get());
  } else {
    RECT client;
    ::GetClientRect(hwnd(), &client);
    RECT band{0, 0, client.right, separator_y_};
    ::FillRect(dc, &band, background_.get());
    zu::UniqueBrush below_brush(::CreateSolidBrush(kOptionsBelowColour));
    RECT below{0, separator_y_, client.right, client.bottom};
    ::FillRect(dc, &below, below_brush.get());
    zu::UniquePen pen(::CreatePen(PS_SOLID, 1, kOptionsLineColour));
    zu::SelectGuard select(dc, pen.get());
    ::MoveToEx(dc, 0, separator_y_, nullptr);
    ::LineTo(dc, client.right, separator_y_);
  }
  ::EndPaint(hwnd(), &ps);
}

void CSetupDialog::OnAutoCheckClicked() {
  HWND suppress = ::GetDlgItem(hwnd(), IDC_SUPPRESS_BALLOONS);
  if (::IsDlgButtonChecked(hwnd(), IDC_AUTO_CHECK) == BST_CHECKED) {
    ::EnableWindow(suppress, TRUE);
  } else {
    ::EnableWindow(suppress, FALSE);
    ::CheckDlgButton(hwnd(), IDC_SUPPRESS_BALLOONS, BST_UNCHECKED);
  }
}

void CSetupDialog::OnLinkClicked(const ENLINK& link) {
  if (link.msg != WM_LBUTTONUP) return;
  info_text_.Select(link.chrg.cpMin, link.chrg.cpMax);
  const std::wstring address = info_text_.SelectedText(kMaxLinkChars);
  if (!address.empty()) OpenInBrowser(address);
}

void CSetupDialog::OnOK() {
  ExchangeFromControls();
  const OptionsOkStep step =
      DecideOk(switches_.auto_check, switches_.balloons_suppressed, ReadSuppressBalloon());
  if (step.kind == OptionsOkStep::kWrite) {
    WriteSuppressBalloon(step.value);
  } else if (step.kind == OptionsOkStep::kAskFirst) {
    const std::wstring question = zu::LoadResString(IDS_CONFIRM_DISABLE);
    switches_.options_question_open = true;
    const int answer = zu::seams::agent_message_box(hwnd(), question, L"ZEFO Update",
                                                    MB_YESNO | MB_ICONEXCLAMATION);
    switches_.options_question_open = false;
    if (answer != IDYES) {
      switches_.auto_check = true;
      ::CheckDlgButton(hwnd(), IDC_AUTO_CHECK, BST_CHECKED);
      // Checked again, so the second box may be used again too.
      ::EnableWindow(::GetDlgItem(hwnd(), IDC_SUPPRESS_BALLOONS), TRUE);
      return;
    }
    WriteSuppressBalloon(step.value);
  }
  owner_.SwitchesChanged();
  End(IDOK);
}

void CSetupDialog::OnDestroy() {
  owner_.SetOpenDialog(nullptr);
  icon_control_.reset();
  header_.reset();
  canvas_.reset();
}

bool CSetupDialog::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_AUTO_CHECK:
      if (code == BN_CLICKED) OnAutoCheckClicked();
      return true;
    case IDC_WEB_SUPPORT:
      if (code == BN_CLICKED) owner_.OpenSupportPage();
      return true;
    case IDOK:
      OnOK();
      return true;
  }
  return zu::Dialog::OnCommand(id, code, control);
}

bool CSetupDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      *result = 0;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (id != IDC_AUTO_CHECK && id != IDC_SUPPRESS_BALLOONS && id != IDC_VERSION && id != IDC_ICON_FRAME)
        return false;
      ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      *result = reinterpret_cast<INT_PTR>(background_.get());
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->idFrom == IDC_INFO_TEXT && header->code == EN_LINK) {
        OnLinkClicked(*reinterpret_cast<const ENLINK*>(lp));
        *result = 0;
        return true;
      }
      return false;
    }
    case WM_DESTROY:
      OnDestroy();
      return false;
  }
  return false;
}
