#include "control/host_check.h"

#include <windows.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "common/framework/com.h"
#include "tools/pagehost/host_browser.h"

namespace {

// C:\Update\Debug.ini as the machine had it, put back afterwards.
class DebugFileTest : public ::testing::Test {
 protected:
  static constexpr char kPath[] = "C:\\Update\\Debug.ini";

  void SetUp() override {
    created_folder_ = ::CreateDirectoryW(L"C:\\Update", nullptr) != FALSE;
    std::ifstream in(kPath, std::ios::binary);
    if (in) {
      std::ostringstream all;
      all << in.rdbuf();
      saved_ = all.str();
    }
    ::DeleteFileW(kDebugFilePath);
  }
  void TearDown() override {
    ::DeleteFileW(kDebugFilePath);
    if (saved_) {
      std::ofstream(kPath, std::ios::binary) << *saved_;
    } else if (created_folder_) {
      ::RemoveDirectoryW(L"C:\\Update");
    }
  }
  static void Write(const std::string& text) {
    std::ofstream(kPath, std::ios::binary | std::ios::trunc) << text;
  }

 private:
  std::optional<std::string> saved_;
  bool created_folder_ = false;
};

// A client site whose service provider answers SID_SWebBrowserApp with the
// given browser, or fails when there is none.
class FakeSite : public IOleClientSite, public IServiceProvider {
 public:
  FakeSite(IWebBrowser2* browser, bool offers_provider)
      : browser_(browser), offers_provider_(offers_provider) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IServiceProvider && offers_provider_)
      *out = static_cast<IServiceProvider*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the stack

  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    ++queries_;
    if (service != SID_SWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(iid, out);
  }

  ULONG refs() const { return refs_; }
  int queries() const { return queries_; }

 private:
  IWebBrowser2* browser_;
  bool offers_provider_;
  ULONG refs_ = 1;
  int queries_ = 0;
};

class BrokenBrowser : public CHostBrowser {
 public:
  BrokenBrowser() : CHostBrowser(L"https://support.vexa.example/") {}
  STDMETHODIMP get_LocationURL(BSTR*) override { return E_FAIL; }
};

class BrowserRef {  // the test's own reference
 public:
  explicit BrowserRef(CHostBrowser* b) : b_(b) {}
  ~BrowserRef() { b_->Release(); }
  CHostBrowser* get() const { return b_; }
  ULONG refs() const {
    b_->AddRef();
    return b_->Release();
  }

 private:
  CHostBrowser* b_;
};

struct UrlCase {
  const wchar_t* address;
  bool allowed;
};

TEST(IsAllowedPageURL, AddressTable) {
  const UrlCase cases[] = {
      {L"https://secure.vexa.example/", true},
      {L"http://secure.vexa.example/", false},
      {L"HTTPS://SECURE.VEXA.EXAMPLE/page.htm", true},
      {L"http://support.vexa.example/", true},
      {L"http://Support.Vexa.Example/zefo/index.html?x=1#top", true},
      {L"https://UPDATE.vexa.example/", true},
      {L"http://support.vexa.example:8080/a", true},
      {L"https://support-jp.vexa.example:443/", true},
      {L"http://support.vexa.example", true},
      {L"http://www.vexa.example/", false},
      {L"http://support.vexa.example.evil.test/", false},
      {L"http://a.zefo.example/", true},
      {L"http://a.b.c.zefo.example/x", true},
      {L"https://Help.Vexa-Support.Example/", true},
      {L"http://zefo.example/", false},
      {L"http://evilzefo.example/", false},
      {L"http://www.vexa.example/zefo/support/", true},
      {L"HTTPS://WWW.VEXA.EXAMPLE/ZEFO/SUPPORT/INDEX.HTM", true},
      {L"http://www.vexa.example/zefo/support/sub/page.htm?a=b", true},
      {L"http://www.vexa.example/zefo/supportx/", false},
      {L"http://www.vexa.example/zefo/", false},
      {L"http://www.vexa.example/other/", false},
      {L"http://www.vexa.example:80/zefo/support/", false},
      {L"file:///C:/support/index.html", false},
      {L"file://support.vexa.example/share/page.htm", false},
      {L"ftp://support.vexa.example/", false},
      {L"about:blank", false},
      {L"javascript:alert(1)", false},
      {L"res://ieframe.dll/", false},
      {L"support.vexa.example", false},
      {L"", false},
      {L"http://", false},
      {L"http:///path", false},
      // The host is what follows the user information.
      {L"http://support.vexa.example@evil.test/", false},
      {L"http://support.vexa.example:pw@evil.test/", false},
      {L"http://evil.test@support.vexa.example/", true},
      {L"http://a.zefo.example@evil.test/", false},
      // A browser reads "\" as "/": the host ends before it.
      {L"http://evil.test\\.zefo.example/", false},
      {L"http://evil.test\\@support.vexa.example/", false},
      {L"http://evil.test\\www.vexa.example/zefo/support/", false},
      {L"http://evil.test%2f.zefo.example/", false},
      {L"http://evil.test%20.zefo.example/", false},
      {L"http://evil.test .zefo.example/", false},
      {L"http://support%2evexa.example/", false},
      {L"http://www.vexa.example/zefo%20support/", false},
      {L"http://www.vexa.example/zefo/support/My%20Page.htm", true},
  };
  for (const UrlCase& c : cases) EXPECT_EQ(IsAllowedPageURL(c.address), c.allowed) << c.address;
}

TEST(IsAllowedPageURL, LongAddresses) {
  std::wstring tail(3000, L'a');
  EXPECT_TRUE(IsAllowedPageURL(L"http://support.vexa.example/" + tail));
  EXPECT_FALSE(IsAllowedPageURL(L"http://evil.test/" + tail));
  EXPECT_FALSE(IsAllowedPageURL(L"http://" + tail + L".evil.test/"));
}

using IsHostPageAllowedTest = DebugFileTest;

TEST_F(IsHostPageAllowedTest, NoClientSiteRefuses) { EXPECT_FALSE(IsHostPageAllowed(nullptr)); }

TEST_F(IsHostPageAllowedTest, AsksTheBrowserEveryTime) {
  BrowserRef allowed(new CHostBrowser(L"https://support.vexa.example/index.htm"));
  FakeSite site(allowed.get(), true);
  EXPECT_TRUE(IsHostPageAllowed(&site));
  EXPECT_TRUE(IsHostPageAllowed(&site));
  EXPECT_EQ(site.queries(), 2);
  // Whatever it took is given back.
  EXPECT_EQ(site.refs(), 1u);
  EXPECT_EQ(allowed.refs(), 1u);

  BrowserRef refused(new CHostBrowser(L"http://evil.test/"));
  FakeSite other(refused.get(), true);
  EXPECT_FALSE(IsHostPageAllowed(&other));
  EXPECT_EQ(other.refs(), 1u);
  EXPECT_EQ(refused.refs(), 1u);
}

TEST_F(IsHostPageAllowedTest, ABrokenChainRefuses) {
  BrowserRef browser(new CHostBrowser(L"https://support.vexa.example/"));
  FakeSite no_provider(browser.get(), false);
  EXPECT_FALSE(IsHostPageAllowed(&no_provider));
  FakeSite no_browser(nullptr, true);
  EXPECT_FALSE(IsHostPageAllowed(&no_browser));
  EXPECT_EQ(no_browser.queries(), 1);
  BrowserRef broken(new BrokenBrowser);
  FakeSite no_address(broken.get(), true);
  EXPECT_FALSE(IsHostPageAllowed(&no_address));
  EXPECT_EQ(broken.refs(), 1u);
  BrowserRef blank(new CHostBrowser(L""));
  FakeSite empty_address(blank.get(), true);
  EXPECT_FALSE(IsHostPageAllowed(&empty_address));
}

TEST_F(IsHostPageAllowedTest, IgnoreUrlCheckOnlyForExactlyOne) {
  BrowserRef browser(new CHostBrowser(L"http://evil.test/"));
  FakeSite site(browser.get(), true);
  Write("[General]\r\nIgnoreURLCheck=1\r\n");
  EXPECT_TRUE(IsHostPageAllowed(nullptr));
  EXPECT_TRUE(IsHostPageAllowed(&site));
  EXPECT_EQ(site.queries(), 0);
  for (const char* value : {"01", "11", "true", "yes", "2", "0", "", "1x"}) {
    Write(std::string("[General]\r\nIgnoreURLCheck=") + value + "\r\n");
    EXPECT_FALSE(IsHostPageAllowed(&site)) << value;
  }
  Write("[DebugInfoSearch]\r\nIgnoreURLCheck=1\r\n");
  EXPECT_FALSE(IsHostPageAllowed(&site));
  ::DeleteFileW(kDebugFilePath);
  EXPECT_FALSE(IsHostPageAllowed(nullptr));
}

using DebugReadTest = DebugFileTest;

TEST_F(DebugReadTest, MissingFileOrKeyIsNotSet) {
  std::wstring value = L"stale";
  EXPECT_FALSE(ReadDebugGeneral(L"ModelName", &value));
  EXPECT_EQ(value, L"");
  Write("[General]\r\nModelName=\r\nBIOSVersion=V1\r\n");
  value = L"stale";
  EXPECT_FALSE(ReadDebugGeneral(L"ModelName", &value));
  EXPECT_EQ(value, L"");
  EXPECT_FALSE(ReadDebugGeneral(L"SPID", &value));
  EXPECT_FALSE(ReadDebugSearch(L"BIOSVersion", &value));
  EXPECT_EQ(value, L"");
}

TEST_F(DebugReadTest, ReadsEachSectionAnew) {
  Write("[General]\r\nModelName=VexaBook 9000\r\n[DebugInfoSearch]\r\nModelName=Other\r\n"
        "FirmVender=ACME\r\n");
  std::wstring value;
  EXPECT_TRUE(ReadDebugGeneral(L"ModelName", &value));
  EXPECT_EQ(value, L"VexaBook 9000");
  EXPECT_TRUE(ReadDebugGeneral(L"modelname", &value));
  EXPECT_TRUE(ReadDebugSearch(L"ModelName", &value));
  EXPECT_EQ(value, L"Other");
  EXPECT_TRUE(ReadDebugSearch(L"FirmVender", &value));
  EXPECT_FALSE(ReadDebugGeneral(L"FirmVender", &value));
  Write("[General]\r\nModelName=Changed\r\n");
  EXPECT_TRUE(ReadDebugGeneral(L"ModelName", &value));
  EXPECT_EQ(value, L"Changed");
  EXPECT_TRUE(ReadDebugGeneral(L"ModelName", nullptr));
}

TEST_F(DebugReadTest, LongValuesAreCutToTheBuffer) {
  Write("[General]\r\nSelfVersion=" + std::string(300, '7') + "\r\n");
  std::wstring value;
  EXPECT_TRUE(ReadDebugGeneral(L"SelfVersion", &value));
  EXPECT_EQ(value, std::wstring(kDebugValueChars - 1, L'7'));
}

}  // namespace
