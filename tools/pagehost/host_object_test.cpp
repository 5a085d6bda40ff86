#include "tools/pagehost/host_object.h"

#include <gtest/gtest.h>

#include "common/framework/com.h"
#include "tools/pagehost/host_browser.h"

namespace {

DISPID IdOf(IDispatch* d, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  return SUCCEEDED(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ? id : -1;
}

HRESULT Call(IDispatch* d, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) {
  DISPPARAMS params = {args, nullptr, count, 0};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

TEST(CHostBrowser, ShowsItsAddressAndCountsReloads) {
  CHostBrowser* browser = new CHostBrowser(L"https://support.vexa.example/p.htm");
  zu::ComPtr<IWebBrowser2> b = zu::ComPtr<IWebBrowser2>::Attach(browser);
  zu::Bstr url;
  ASSERT_EQ(b->get_LocationURL(url.put()), S_OK);
  EXPECT_EQ(url.str(), L"https://support.vexa.example/p.htm");
  EXPECT_EQ(b->get_LocationURL(nullptr), E_POINTER);
  EXPECT_EQ(browser->refresh_count(), 0);
  b->Refresh();
  VARIANT level;
  V_VT(&level) = VT_I4;
  V_I4(&level) = REFRESH_COMPLETELY;
  b->Refresh2(&level);
  EXPECT_EQ(browser->refresh_count(), 2);
  EXPECT_EQ(b->Navigate(nullptr, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
  zu::ComPtr<IWebBrowserApp> app;
  EXPECT_EQ(b.As(&app, IID_IWebBrowserApp), S_OK);
  zu::ComPtr<IOleObject> no;
  EXPECT_EQ(b.As(&no, IID_IOleObject), E_NOINTERFACE);
}

// Names with their case, as JScript asks for them.
TEST(CHostObject, MembersByName) {
  CHostObject* host = new CHostObject(nullptr);
  zu::ComPtr<IDispatch> d = zu::ComPtr<IDispatch>::Attach(host);
  EXPECT_EQ(IdOf(d.get(), L"Echo"), CHostObject::kEcho);
  EXPECT_EQ(IdOf(d.get(), L"Fail"), CHostObject::kFail);
  EXPECT_EQ(IdOf(d.get(), L"RefreshCount"), CHostObject::kRefreshCount);
  EXPECT_EQ(IdOf(d.get(), L"echo"), -1);
  EXPECT_EQ(IdOf(d.get(), L"Quit"), -1);
}

TEST(CHostObject, FailMarksTheRunAndRefreshCountFollowsTheBrowser) {
  CHostBrowser* browser = new CHostBrowser(L"about:blank");
  CHostObject* host = new CHostObject(browser);
  zu::ComPtr<IDispatch> d = zu::ComPtr<IDispatch>::Attach(host);
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = 42;  // any value prints as text
  EXPECT_EQ(Call(d.get(), CHostObject::kEcho, DISPATCH_METHOD, &arg, 1, nullptr), S_OK);
  EXPECT_FALSE(host->failed());
  VARIANT two[2] = {arg, arg};
  EXPECT_EQ(Call(d.get(), CHostObject::kEcho, DISPATCH_METHOD, two, 2, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(d.get(), CHostObject::kFail, DISPATCH_METHOD, &arg, 1, nullptr), S_OK);
  EXPECT_TRUE(host->failed());

  VARIANT count;
  browser->Refresh();
  browser->Refresh();
  ASSERT_EQ(Call(d.get(), CHostObject::kRefreshCount, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                 nullptr, 0, &count),
            S_OK);
  EXPECT_EQ(V_VT(&count), VT_I4);
  EXPECT_EQ(V_I4(&count), 2);
  EXPECT_EQ(Call(d.get(), CHostObject::kRefreshCount, DISPATCH_PROPERTYPUT, &arg, 1, nullptr),
            DISP_E_MEMBERNOTFOUND);
  browser->Release();
}

}  // namespace
