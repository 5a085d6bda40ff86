#include "agent/info/xml_file_reader.h"

#include <oleauto.h>
#include <urlmon.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <optional>

#include "common/net/http.h"

namespace zu::seams {
XmlHttpLimits xml_http_limits;
}  // namespace zu::seams

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

// The body of a 200 answer, whole and within the limits; redirects are
// followed only so far, so a looping server ends the load.
bool FetchHttp(const std::wstring& url, std::string* body) {
  const XmlHttpLimits limits = zu::seams::xml_http_limits;
  const ULONGLONG deadline = ::GetTickCount64() + limits.total_ms;
  zu::net::RequestOptions options;
  options.user_agent = BrowserUserAgent();
  options.timeout_ms = limits.call_ms;
  options.keep_going = [deadline] { return ::GetTickCount64() <= deadline; };
  std::optional<zu::net::Response> response = zu::net::Get(url, options);
  if (!response || response->status() != 200) return false;
  if (response->content_length() && *response->content_length() > limits.max_bytes) return false;
  body->clear();
  const zu::net::Result read =
      response->ReadBody(8192, [&](const char* data, size_t size) {
        if (body->size() + size > limits.max_bytes) return false;
        body->append(data, size);
        return true;
      });
  return read.ok();
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

void CXmlFileReader::save(const std::wstring& path) {
  if (!loaded_ || !document_) return;
  Variant where(path);
  document_->save(*where);
}
