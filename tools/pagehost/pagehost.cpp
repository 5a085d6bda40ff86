// ZUPageHost: a stand-in for the browser that hosts the support page's
// control. It creates and sites each <object> of a page, then runs the
// page's JScript in document order; a ".js" file runs against the ZUAX
// control alone, named "zuax".
#include <windows.h>
#include <ole2.h>

#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "common/framework/window.h"
#include "tools/pagehost/control_site.h"
#include "tools/pagehost/host_browser.h"
#include "tools/pagehost/host_document.h"
#include "tools/pagehost/host_object.h"
#include "tools/pagehost/page_parse.h"
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

// UTF-16 with its mark, else UTF-8 (with or without a mark).
std::optional<std::wstring> ReadPageText(const std::wstring& path) {
  zu::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 16 * 1024 * 1024) return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size()))
    return std::nullopt;
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

class HostWindow : public zu::Window {};

// Everything one run owns, released in the order a browser tears down:
// the script engine first, then the controls, then the document and the
// browser.
class PageRun {
 public:
  PageRun(const PageHostArgs& args, std::wstring source_name)
      : args_(args), source_name_(std::move(source_name)) {}
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
    if (document_) document_->Release();
    if (browser_) browser_->Release();
  }
  PageRun(const PageRun&) = delete;
  PageRun& operator=(const PageRun&) = delete;

  // url: what the browser shows; document_url: the address of the document
  // holding the controls (a frame's own), none when it cannot be read.
  bool Start(const std::wstring& url, const std::optional<std::wstring>& document_url) {
    if (!window_.Create(L"ZUPageHost Window", L"ZUPageHost", WS_POPUP | WS_CLIPCHILDREN)) {
      PrintError(L"cannot create the host window");
      return false;
    }
    browser_ = new CHostBrowser(url);
    document_ = new CHostDocument(document_url);
    host_ = new CHostObject(browser_);
    script_ = new CScriptHost(source_name_, window_.hwnd());
    std::wstring error;
    if (!script_->Start(&error) || !script_->AddItem(L"host", host_, &error)) {
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
    CControlSite* site = new CControlSite(window_.hwnd(), browser_,
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

 private:
  const PageHostArgs& args_;
  std::wstring source_name_;
  HostWindow window_;
  CHostBrowser* browser_ = nullptr;
  CHostDocument* document_ = nullptr;
  CHostObject* host_ = nullptr;
  CScriptHost* script_ = nullptr;
  std::vector<CControlSite*> sites_;
};

int RunPage(const PageHostArgs& args, const std::wstring& text) {
  const std::wstring name = BaseName(args.page);
  PageParse page;
  if (args.kind == PageKind::kHtml) {
    page = ParsePage(text);
    if (!page.ok()) {
      PrintError(name + L"(" + std::to_wstring(page.error_line) + L"): " + page.error);
      return kExitFailed;
    }
  }
  OleApartment ole;
  if (!ole.ok()) {
    PrintError(L"cannot initialise OLE");
    return kExitFailed;
  }
  PageRun run(args, name);
  const std::wstring top = args.url.empty() ? FileAddress(args.page) : args.url;
  std::optional<std::wstring> document = args.frame_url ? *args.frame_url : top;
  if (args.no_document_url) document.reset();
  if (!run.Start(top, document)) return kExitFailed;

  bool ok = true;
  if (args.kind == PageKind::kScript) {
    const std::wstring class_id =
        args.script_control.empty() ? std::wstring(kZuaxClassId) : args.script_control;
    const std::wstring what = args.script_control.empty()
                                  ? std::wstring(L"the control ") + kZuaxProgId + L" " + class_id
                                  : L"the control " + class_id;
    if (!run.AddControl(L"zuax", class_id, {}, what))
      return kExitFailed;
    ok = run.RunScript(text, 1);
  } else {
    // Like a browser, a failed block does not stop the blocks after it.
    for (const PageItem& item : page.items) {
      if (const PageObject* object = std::get_if<PageObject>(&item)) {
        if (!run.AddControl(object->id, object->class_id, object->params,
                            L"object " + object->id + L" " + object->class_id))
          return kExitFailed;
      } else {
        const PageScript& script = std::get<PageScript>(item);
        if (!run.RunScript(script.text, script.line)) ok = false;
      }
    }
  }
  return ok && !run.failed_by_script() ? kExitOk : kExitFailed;
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
  std::optional<std::wstring> text = ReadPageText(parsed.args->page);
  if (!text) {
    PrintError(L"ZUPageHost: cannot read " + parsed.args->page);
    return kExitBadArguments;
  }
  return RunPage(*parsed.args, *text);
}
