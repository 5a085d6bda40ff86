#pragma once
// COM helpers: an owning interface pointer, apartment initialisation that
// undoes only what it did, and a BSTR owner.
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace zu {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes ownership of a reference the caller already holds.
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  template <typename U>
  HRESULT As(ComPtr<U>* out, REFIID iid) const {
    return p_ ? p_->QueryInterface(iid, out->put_void()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// Initialises COM on this thread. An apartment that already exists in the
// other mode is accepted (RPC_E_CHANGED_MODE) and then left alone.
class ComInit {
 public:
  explicit ComInit(DWORD mode = COINIT_APARTMENTTHREADED) {
    hr_ = ::CoInitializeEx(nullptr, mode);
  }
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  bool ok() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& s)
      : b_(::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  explicit Bstr(const wchar_t* s) : b_(::SysAllocString(s)) {}
  ~Bstr() { ::SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}

  BSTR get() const { return b_; }
  BSTR* put() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring str() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace zu
