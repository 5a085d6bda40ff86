// ZUPageHost: a stand-in for the browser that hosts the support page's
// control. It creates and sites each <object> of a page, then runs the
// page's JScript in document order; a ".js" file runs against the ZUAX
// control alone, named "zuax". Given a web address it is the lab's
// browser: it fetches the page, shows what the page writes in a window of
// its own, reloads when the control asks, and stays until closed.
#include <windows.h>
#include <ole2.h>

#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "common/framework/window.h"
#include "common/net/http.h"
#include "tools/pagehost/control_site.h"
#include "tools/pagehost/host_browser.h"
#include "tools/pagehost/host_document.h"
#include "tools/pagehost/host_object.h"
#include "tools/pagehost/page_objects.h"
#include "tools/pagehost/page_parse.h"
#include "tools/pagehost/page_text.h"
#include "tools/pagehost/pagehost_args.h"
#include "tools/pagehost/script_host.h"

namespace {

constexpr wchar_t kZuaxClassId[] = L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}";
constexpr wchar_t kZuaxProgId[] = L"ZUAX.ZUAXCtrl.4";
constexpr int kExitOk = 0, kExitFailed = 1, kExitBadArguments = 2;

class OleApartment {
 public:
  OleApartment() : hr_(::OleInitialize(nullptr)) {}
  ~OleApartment() {
    if (SUCCEEDED(hr_)) ::OleUninitialize();
  }
  OleApartment(const OleApartment&) = delete;
  OleApartment& operator=(const OleApartment&) = delete;
  bool ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

constexpr size_t kMaxPageBytes = 16 * 1024 * 1024;

// UTF-16 with its mark, else UTF-8 (with or without a mark).
std::optional<std::wstring> DecodePageText(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    if (bytes.size() % 2) return std::nullopt;
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  }
  size_t skip = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  if (bytes.size() == skip) return std::wstring();
  int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip,
                                static_cast<int>(bytes.size() - skip), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring text(n, L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + skip,
                        static_cast<int>(bytes.size() - skip), text.data(), n);
  return text;
}

std::optional<std::wstring> ReadPageText(const std::wstring& path) {
  zu::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxPageBytes))
    return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size()))
    return std::nullopt;
  return DecodePageText(bytes);
}

// The page at a web address, as a browser fetches it: status 200 only.
std::optional<std::wstring> FetchPageText(const std::wstring& address, std::wstring* error) {
  zu::net::RequestOptions options;
  options.user_agent = L"Mozilla/4.0 (compatible; MSIE 7.0; ZUPageHost)";
  zu::net::Result result;
  std::optional<zu::net::Response> response = zu::net::Get(address, options, &result);
  if (!response) {
    *error = L"no answer from " + address + L" (error " + std::to_wstring(result.error) + L")";
    return std::nullopt;
  }
  if (response->status() != 200) {
    *error = address + L" answered HTTP " + std::to_wstring(response->status());
    return std::nullopt;
  }
  std::string bytes;
  result = response->ReadBody(64 * 1024, [&](const char* data, size_t size) {
    if (bytes.size() + size > kMaxPageBytes) return false;
    bytes.append(data, size);
    return true;
  });
  if (!result.ok()) {
    *error = L"the page at " + address + L" did not arrive whole";
    return std::nullopt;
  }
  std::optional<std::wstring> text = DecodePageText(bytes);
  if (!text) *error = L"the page at " + address + L" is not UTF-8 or UTF-16 text";
  return text;
}

// "file:///C:/dir/page.htm" for a page given without --url.
std::wstring FileAddress(const std::wstring& path) {
  wchar_t full[MAX_PATH * 4] = {};
  DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  std::wstring address = L"file:///";
  for (wchar_t c : std::wstring(full, n > 0 && n < MAX_PATH * 4 ? n : 0))
    address.push_back(c == L'\\' ? L'/' : c);
  return address;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The window the controls live in and the page's written text shows in:
// hidden for a page file, a browser window for a fetched page. Standard
// output gets each line of text as it is completed.
class PageWindow : public zu::Window, public IPageView {
 public:
  bool Open(bool visible, const std::wstring& address) {
    address_ = address;
    const DWORD style = visible ? WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN : WS_POPUP | WS_CLIPCHILDREN;
    if (!Create(L"ZUPageHost Window", address.c_str(), style)) return false;
    text_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL,
                              0, 0, 0, 0, hwnd(), nullptr, nullptr, nullptr);
    ::SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   TRUE);
    if (visible) {
      ::SetWindowPos(hwnd(), nullptr, 40, 40, 860, 620, SWP_NOZORDER);
      ::ShowWindow(hwnd(), SW_SHOWNORMAL);
      ::UpdateWindow(hwnd());
    }
    return true;
  }

  // A new page (a reload) starts with an empty document.
  void Clear(const std::wstring& page_title) {
    html_.clear();
    printed_ = 0;
    title_ = page_title;
    Show();
  }
  // The text of the last, unfinished line too.
  void Finish() {
    const std::vector<std::wstring> lines = PageTextLines(html_);
    for (size_t i = printed_; i < lines.size(); ++i) PrintLine(lines[i]);
    printed_ = lines.size();
  }

  void Write(const std::wstring& html) override {
    html_ += html;
    const std::vector<std::wstring> lines = PageTextLines(html_);
    // The last line may still grow.
    for (; lines.size() > 1 && printed_ < lines.size() - 1; ++printed_) PrintLine(lines[printed_]);
    Show(lines);
  }
  std::wstring Title() const override { return title_; }
  void SetTitle(const std::wstring& title) override {
    title_ = title;
    Show();
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_SIZE && text_) {
      ::MoveWindow(text_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    }
    // A page is black on white, not the grey of a read-only field.
    if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == text_) {
      ::SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return zu::Window::OnMessage(msg, wp, lp);
  }

 private:
  void Show() { Show(PageTextLines(html_)); }
  void Show(const std::vector<std::wstring>& lines) {
    if (!IsWindow()) return;
    std::wstring caption = (title_.empty() ? address_ : title_) + L" - ZUPageHost";
    ::SetWindowTextW(hwnd(), caption.c_str());
    std::wstring shown;
    for (const std::wstring& line : lines) shown += line + L"\r\n";
    ::SetWindowTextW(text_, shown.c_str());
  }

  HWND text_ = nullptr;
  std::wstring address_;
  std::wstring html_;
  std::wstring title_;
  size_t printed_ = 0;
};

// Everything one run of the page owns, released in the order a browser
// tears down: the script engine first, then the controls, then the
// document and the browser. The window outlives it (a reload keeps it).
class PageRun {
 public:
  PageRun(const PageHostArgs& args, std::wstring source_name, PageWindow* window)
      : args_(args), source_name_(std::move(source_name)), window_(window) {}
  ~PageRun() {
    if (script_) {
      script_->Close();
      script_->Release();
    }
    for (CControlSite* site : sites_) {
      site->Close();
      site->Release();
    }
    if (host_) host_->Release();
    if (script_document_) script_document_->Release();
    if (script_location_) script_location_->Release();
    if (document_) document_->Release();
    if (browser_) browser_->Release();
  }
  PageRun(const PageRun&) = delete;
  PageRun& operator=(const PageRun&) = delete;

  // url: what the browser shows; document_url: the address of the document
  // holding the controls (a frame's own), none when it cannot be read.
  bool Start(const std::wstring& url, const std::optional<std::wstring>& document_url) {
    browser_ = new CHostBrowser(url);
    document_ = new CHostDocument(document_url);
    host_ = new CHostObject(browser_);
    const std::wstring own = document_url.value_or(url);
    script_location_ = new CScriptLocation(own);
    script_document_ = new CScriptDocument(window_, own, script_location_);
    script_ = new CScriptHost(source_name_, window_->hwnd());
    std::wstring error;
    if (!script_->Start(&error) || !script_->AddItem(L"host", host_, &error) ||
        !script_->AddItem(L"document", script_document_, &error) ||
        !script_->AddItem(L"location", script_location_, &error)) {
      PrintError(error);
      return false;
    }
    return true;
  }

  bool AddControl(const std::wstring& name, const std::wstring& class_id,
                  const std::vector<std::pair<std::wstring, std::wstring>>& params,
                  const std::wstring& what) {
    ControlRequest request;
    request.name = what;
    request.params = params;
    request.allow_unsafe = args_.allow_unsafe;
    if (FAILED(::CLSIDFromString(class_id.c_str(), &request.class_id))) {
      PrintError(L"bad class id " + class_id);
      return false;
    }
    CControlSite* site = new CControlSite(window_->hwnd(), browser_,
                                          static_cast<IOleContainer*>(document_));
    sites_.push_back(site);
    std::wstring error;
    if (!site->Create(request, &error) || !script_->AddItem(name, site->dispatch(), &error)) {
      PrintError(source_name_ + L": " + error);
      return false;
    }
    return true;
  }

  bool RunScript(const std::wstring& text, unsigned line) { return script_->Run(text, line); }
  bool failed_by_script() const { return host_ && host_->failed(); }
  long refresh_count() const { return browser_ ? browser_->refresh_count() : 0; }

 private:
  const PageHostArgs& args_;
  std::wstring source_name_;
  PageWindow* window_;
  CHostBrowser* browser_ = nullptr;
  CHostDocument* document_ = nullptr;
  CHostObject* host_ = nullptr;
  CScriptLocation* script_location_ = nullptr;
  CScriptDocument* script_document_ = nullptr;
  CScriptHost* script_ = nullptr;
  std::vector<CControlSite*> sites_;
};

struct RunOutcome {
  bool ok = false;
  bool reload = false;  // the control asked the browser to refresh the page
};

RunOutcome RunOnce(const PageHostArgs& args, const std::wstring& text, PageWindow* window) {
  const std::wstring name = BaseName(args.page);
  PageParse page;
  if (args.kind == PageKind::kHtml) {
    page = ParsePage(text);
    if (!page.ok()) {
      PrintError(name + L"(" + std::to_wstring(page.error_line) + L"): " + page.error);
      return {};
    }
  }
  window->Clear(args.kind == PageKind::kHtml ? PageTitle(text) : L"");
  PageRun run(args, name, window);
  const std::wstring top = args.url.empty() ? FileAddress(args.page) : args.url;
  std::optional<std::wstring> document = args.frame_url ? *args.frame_url : top;
  if (args.no_document_url) document.reset();
  if (!run.Start(top, document)) return {};

  bool ok = true;
  if (args.kind == PageKind::kScript) {
    const std::wstring class_id =
        args.script_control.empty() ? std::wstring(kZuaxClassId) : args.script_control;
    const std::wstring what = args.script_control.empty()
                                  ? std::wstring(L"the control ") + kZuaxProgId + L" " + class_id
                                  : L"the control " + class_id;
    if (!run.AddControl(L"zuax", class_id, {}, what)) return {};
    ok = run.RunScript(text, 1);
  } else {
    // Like a browser, a failed block does not stop the blocks after it.
    for (const PageItem& item : page.items) {
      if (const PageObject* object = std::get_if<PageObject>(&item)) {
        if (!run.AddControl(object->id, object->class_id, object->params,
                            L"object " + object->id + L" " + object->class_id))
          return {};
      } else {
        const PageScript& script = std::get<PageScript>(item);
        if (!run.RunScript(script.text, script.line)) ok = false;
      }
    }
  }
  window->Finish();
  return {ok && !run.failed_by_script(), run.refresh_count() > 0};
}

// A browser reloads as often as it is asked; a page that asks at every
// load would never settle, so the host stops reloading after this many.
constexpr int kMaxReloads = 20;

// page_file_text: the page file's text, read once; unused for an address,
// which is fetched anew at each load.
int RunPage(const PageHostArgs& args, const std::wstring& page_file_text) {
  OleApartment ole;
  if (!ole.ok()) {
    PrintError(L"cannot initialise OLE");
    return kExitFailed;
  }
  PageWindow window;
  if (!window.Open(args.from_address, args.from_address ? args.url : BaseName(args.page))) {
    PrintError(L"cannot create the host window");
    return kExitFailed;
  }
  RunOutcome outcome;
  for (int load = 0; load <= kMaxReloads; ++load) {
    std::optional<std::wstring> text = page_file_text;
    if (args.from_address) {
      std::wstring error;
      text = FetchPageText(args.url, &error);
      if (!text) {
        PrintError(L"ZUPageHost: " + error);
        return kExitFailed;
      }
    }
    outcome = RunOnce(args, *text, &window);
    // A page file runs once: its tests read how often it asked for a reload.
    if (!args.from_address || !outcome.reload || !window.IsWindow()) break;
  }
  if (args.from_address && !args.close_after_run && window.IsWindow()) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return outcome.ok ? kExitOk : kExitFailed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  PageHostArgsResult parsed = ParsePageHostArgs(words);
  if (!parsed.args) {
    PrintError(L"ZUPageHost: " + parsed.error);
    PrintError(kPageHostUsage);
    return kExitBadArguments;
  }
  std::optional<std::wstring> page_file_text;
  if (!parsed.args->from_address) {
    page_file_text = ReadPageText(parsed.args->page);
    if (!page_file_text) {
      PrintError(L"ZUPageHost: cannot read " + parsed.args->page);
      return kExitBadArguments;
    }
  }
  return RunPage(*parsed.args, page_file_text.value_or(std::wstring()));
}
