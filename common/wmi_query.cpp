#include "common/wmi_query.h"

#include <optional>
#include <utility>

namespace {

// WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY
constexpr LONG kQueryFlags = 0x30;

// Owns a VARIANT for the length of one property read.
class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

// A null or empty property carries no text: treated as a failed read.
bool VariantToText(VARIANT* value, std::wstring* text) {
  if (value->vt == VT_NULL || value->vt == VT_EMPTY) return false;
  Variant converted;
  if (FAILED(::VariantChangeType(converted.get(), value, 0, VT_BSTR))) return false;
  BSTR b = converted.get()->bstrVal;
  *text = b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
  return true;
}

}  // namespace

CWmiSession::CWmiSession(std::wstring wmi_namespace) : namespace_(std::move(wmi_namespace)) {}

CWmiSession::~CWmiSession() {
  // The services before the locator that made them.
  services_.reset();
  locator_.reset();
}

bool CWmiSession::Connect() {
  services_.reset();
  locator_.reset();
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_SERVER, IID_IWbemLocator,
                                locator_.put_void())) ||
      !locator_)
    return false;
  zu::Bstr ns(namespace_);
  if (!ns.get() || FAILED(locator_->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                                  nullptr, services_.put())) ||
      !services_) {
    services_.reset();
    return false;
  }
  if (FAILED(::CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE))) {
    services_.reset();
    return false;
  }
  return true;
}

bool CWmiSession::QueryFirst(const std::wstring& wql, const std::wstring& property,
                             std::wstring* text) {
  if (!services_) return false;
  zu::Bstr language(L"WQL");
  zu::Bstr query(wql);
  if (!language.get() || !query.get()) return false;
  zu::ComPtr<IEnumWbemClassObject> rows;
  if (FAILED(services_->ExecQuery(language.get(), query.get(), kQueryFlags, nullptr,
                                  rows.put())) ||
      !rows)
    return false;

  zu::ComPtr<IWbemClassObject> row;
  ULONG returned = 0;
  // S_FALSE with no object is the end of the results.
  if (rows->Next(WBEM_INFINITE, 1, row.put(), &returned) != WBEM_S_NO_ERROR || returned != 1 ||
      !row)
    return false;

  Variant value;
  if (FAILED(row->Get(property.c_str(), 0, value.get(), nullptr, nullptr))) return false;
  std::wstring read;
  if (!VariantToText(value.get(), &read)) return false;
  *text = std::move(read);
  return true;
}

bool QueryWmiProperty(const std::wstring& wql, const std::wstring& property, std::wstring* text,
                      WmiCom com) {
  // Undone on every path, not only after a successful read, so that a
  // failed query never leaves the thread's COM count raised.
  std::optional<zu::ComInit> init;
  if (com == WmiCom::kInitialize) {
    init.emplace(COINIT_APARTMENTTHREADED);
    if (!init->ok()) return false;
  }
  CWmiSession session;
  return session.Connect() && session.QueryFirst(wql, property, text);
}

bool QueryProductProperty(const std::wstring& property, std::wstring* text, WmiCom com) {
  return QueryWmiProperty(kProductQuery, property, text, com);
}
