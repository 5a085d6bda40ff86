#include "agent/info/xml_file_reader.h"

#include <oleauto.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "common/framework/handle.h"

namespace {

// mingw's import libraries lack the DOM's class id, so all ids are ours.
constexpr CLSID kClsidDomDocument = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomNode = {
    0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomElement = {
    0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  explicit Variant(const std::wstring& s) {
    ::VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }

 private:
  VARIANT v_;
};

// The attribute's value as text; false when it is missing or null. Values
// of other types are converted; one that cannot be reads as missing.
bool ReadAttribute(IXMLDOMElement* element, const std::wstring& name, std::wstring* text) {
  zu::Bstr bname(name);
  Variant value;
  if (element->getAttribute(bname.get(), value.get()) != S_OK) return false;
  if ((*value).vt == VT_NULL || (*value).vt == VT_EMPTY) return false;
  if ((*value).vt != VT_BSTR &&
      FAILED(::VariantChangeType(value.get(), value.get(), 0, VT_BSTR)))
    return false;
  const BSTR b = (*value).bstrVal;
  text->assign(b ? b : L"", b ? ::SysStringLen(b) : 0);
  return true;
}

CXmlFileReader::HttpLimits g_http_limits;

struct InternetHandleTraits {
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using UniqueInternet = zu::UniqueResource<InternetHandleTraits>;

bool IsHttpAddress(const std::wstring& address) {
  std::wstring lower;
  for (wchar_t c : address.substr(0, 8)) lower += static_cast<wchar_t>(std::towlower(c));
  return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

// The browser's user agent, as the DOM would send it: the agent adds no
// headers of its own to this fetch.
std::wstring BrowserUserAgent() {
  char agent[512] = {};
  DWORD size = sizeof(agent);
  if (FAILED(::ObtainUserAgentString(0, agent, &size))) return L"";
  agent[sizeof(agent) - 1] = 0;
  return std::wstring(agent, agent + strlen(agent));
}

void SetTimeouts(HINTERNET h, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(h, option, &ms, sizeof(ms));
}

// GET with the user's proxy settings, bypassing the cache. Wine honours the
// time-outs only on the connection and request handles, so the request is
// built step by step rather than with InternetOpenUrl.
bool FetchHttp(const std::wstring& url, std::string* body) {
  const CXmlFileReader::HttpLimits limits = g_http_limits;
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength =
      parts.dwPasswordLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return false;
  auto piece = [](const wchar_t* p, DWORD n) { return p ? std::wstring(p, n) : std::wstring(); };
  const std::wstring host = piece(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring user = piece(parts.lpszUserName, parts.dwUserNameLength);
  const std::wstring password = piece(parts.lpszPassword, parts.dwPasswordLength);
  std::wstring object = piece(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        piece(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (host.empty()) return false;
  if (object.empty()) object = L"/";

  const std::wstring agent = BrowserUserAgent();
  UniqueInternet session(::InternetOpenW(agent.empty() ? nullptr : agent.c_str(),
                                         INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return false;
  SetTimeouts(session.get(), limits.call_ms);
  UniqueInternet connection(::InternetConnectW(
      session.get(), host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
      password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return false;
  SetTimeouts(connection.get(), limits.call_ms);
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.c_str(), nullptr,
                                            nullptr, nullptr, flags, 0));
  if (!request) return false;
  SetTimeouts(request.get(), limits.call_ms);
  const ULONGLONG deadline = ::GetTickCount64() + limits.total_ms;
  if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return false;
  DWORD status = 0, size = sizeof(status);
  if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr) ||
      status != 200)
    return false;
  body->clear();
  char buffer[8192];
  for (;;) {
    if (::GetTickCount64() > deadline) return false;
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof(buffer), &read)) return false;
    if (read == 0) return true;
    if (body->size() + read > limits.max_bytes) return false;
    body->append(buffer, read);
  }
}

// A variant holding the bytes, which the DOM parses with its own encoding
// detection, as it would a fetched file.
bool BytesVariant(const std::string& bytes, VARIANT* v) {
  SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!array) return false;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(array, &data))) {
    ::SafeArrayDestroy(array);
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
  ::SafeArrayUnaccessData(array);
  v->vt = VT_ARRAY | VT_UI1;
  v->parray = array;
  return true;
}

bool NodeText(IXMLDOMNode* node, std::wstring* text) {
  zu::Bstr b;
  if (FAILED(node->get_text(b.put()))) return false;
  *text = b.str();
  return true;
}

}  // namespace

CXmlFileReader::CXmlFileReader() = default;

CXmlFileReader::~CXmlFileReader() {
  // Every interface goes before COM is undone on this thread.
  current_ = Position();
  stack_.clear();
  document_.reset();
  if (com_initialized_) ::CoUninitialize();
}

void CXmlFileReader::initializeCOM() {
  const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (hr == S_OK) {
    // A second load finds its own earlier initialisation (S_FALSE below),
    // so this reader never holds more than one.
    com_initialized_ = true;
  } else if (hr == S_FALSE) {
    ::CoUninitialize();
  } else if (hr != RPC_E_CHANGED_MODE) {
    throw CIllegalStateException("CXmlFileReader::initializeCOM");
  }
}

void CXmlFileReader::createXmlDocument() {
  zu::ComPtr<IXMLDOMDocument> document;
  if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_SERVER, kIidXmlDomDocument,
                                document.put_void())) ||
      !document)
    throw CAccessFileException("CXmlFileReader::createXmlDocument");
  document_ = std::move(document);
}

void CXmlFileReader::getRootNode() {
  zu::ComPtr<IXMLDOMNode> root;
  if (FAILED(document_.As(&root, kIidXmlDomNode)) || !root)
    throw CAccessFileException("CXmlFileReader::getRootNode");
  current_ = Position();
  current_.node = std::move(root);
  loaded_ = true;
}

void CXmlFileReader::load(const std::wstring& address) {
  loaded_ = false;
  initializeCOM();
  createXmlDocument();
  // An asynchronous load would return before the document is there.
  if (FAILED(document_->put_async(VARIANT_FALSE)))
    throw CAccessFileException("CXmlFileReader::load");
  Variant what;
  if (IsHttpAddress(address)) {
    std::string bytes;
    if (!FetchHttp(address, &bytes) || !BytesVariant(bytes, what.get()))
      throw CAccessFileException("CXmlFileReader::load");
  } else {
    what.get()->vt = VT_BSTR;
    what.get()->bstrVal = ::SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  }
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (document_->load(*what, &ok) != S_OK || ok != VARIANT_TRUE)
    throw CAccessFileException("CXmlFileReader::load");
  source_ = address;
  getRootNode();
}

void CXmlFileReader::loadXml(const std::wstring& text) {
  loaded_ = false;
  initializeCOM();
  createXmlDocument();
  zu::Bstr b(text);
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (document_->loadXML(b.get(), &ok) != S_OK || ok != VARIANT_TRUE)
    throw CAccessFileException("CXmlFileReader::loadXml");
  getRootNode();
}

void CXmlFileReader::RequireCurrent(const char* label) const {
  if (!loaded_ || !document_ || !current_.node) throw CIllegalStateException(label);
}

bool CXmlFileReader::ReadStartElement(const std::wstring& tag) {
  RequireCurrent("CXmlFileReader::ReadStartElement");
  zu::Bstr name(tag);
  zu::ComPtr<IXMLDOMNodeList> list;
  const HRESULT hr = current_.element
                         ? current_.element->getElementsByTagName(name.get(), list.put())
                         : document_->getElementsByTagName(name.get(), list.put());
  if (FAILED(hr) || !list) return false;
  long length = 0;
  if (FAILED(list->get_length(&length)) || length <= 0) return false;
  zu::ComPtr<IXMLDOMNode> item;
  if (FAILED(list->get_item(0, item.put())) || !item) return false;
  zu::ComPtr<IXMLDOMElement> element;
  if (FAILED(item.As(&element, kIidXmlDomElement)) || !element) return false;
  stack_.push_back(current_);
  current_.node = std::move(item);
  current_.element = std::move(element);
  current_.list = std::move(list);
  current_.index = 0;
  return true;
}

bool CXmlFileReader::NextElement() {
  if (!current_.list) return false;
  long length = 0;
  if (FAILED(current_.list->get_length(&length))) return false;
  const long next = current_.index + 1;
  if (next >= length) return false;
  zu::ComPtr<IXMLDOMNode> item;
  if (FAILED(current_.list->get_item(next, item.put())) || !item) return false;
  zu::ComPtr<IXMLDOMElement> element;
  if (FAILED(item.As(&element, kIidXmlDomElement)) || !element) return false;
  current_.node = std::move(item);
  current_.element = std::move(element);
  current_.index = next;
  return true;
}

void CXmlFileReader::popCurrentNode() {
  if (stack_.empty()) throw CIllegalStateException("CXmlFileReader::popCurrentNode");
  current_ = std::move(stack_.back());
  stack_.pop_back();
}

bool CXmlFileReader::TryPopCurrentNode() {
  try {
    popCurrentNode();
    return true;
  } catch (const CIllegalStateException&) {
    return false;
  }
}

bool CXmlFileReader::ReadElementText(std::wstring* text) {
  RequireCurrent("CXmlFileReader::ReadAttributCString");
  return current_.element && NodeText(current_.node.get(), text);
}

bool CXmlFileReader::ReadAttributCString(const std::wstring& name, std::wstring* text) {
  RequireCurrent("CXmlFileReader::ReadAttributCString");
  if (!current_.element) return false;
  if (!ReadAttribute(current_.element.get(), name, text)) text->clear();
  return true;
}

bool CXmlFileReader::ReadParentOS(std::wstring* text) {
  RequireCurrent("CXmlFileReader::ReadAttributCString");
  text->clear();
  if (!current_.element) return false;
  zu::ComPtr<IXMLDOMNode> parent;
  if (FAILED(current_.node->get_parentNode(parent.put())) || !parent) return false;
  zu::ComPtr<IXMLDOMElement> parent_element;
  if (FAILED(parent.As(&parent_element, kIidXmlDomElement)) || !parent_element) return false;
  if (ReadAttribute(parent_element.get(), L"OS", text)) return true;
  text->clear();
  return false;
}

bool CXmlFileReader::ReadFirstChildText(std::wstring* text) {
  RequireCurrent("CXmlFileReader::ReadAttributCString");
  if (!current_.element) return false;
  zu::ComPtr<IXMLDOMNode> child;
  if (current_.node->get_firstChild(child.put()) != S_OK || !child) return false;
  DOMNodeType type = NODE_INVALID;
  if (FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT) return false;
  return NodeText(child.get(), text);
}

CXmlFileReader::HttpLimits CXmlFileReader::SetHttpLimits(const HttpLimits& limits) {
  const HttpLimits before = g_http_limits;
  g_http_limits = limits;
  return before;
}

void CXmlFileReader::save(const std::wstring& path) {
  if (!loaded_ || !document_) return;
  Variant where(path);
  document_->save(*where);
}
