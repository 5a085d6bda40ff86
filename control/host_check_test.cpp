#include "control/host_check.h"

#include <windows.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "common/framework/com.h"
#include "common/framework/handle.h"
#include "tests/support/files.h"
#include "tests/support/page_address_near_miss.h"
#include "tools/pagehost/host_browser.h"
#include "tools/pagehost/host_document.h"

namespace {


// C:\Update\Debug.ini away during the test, put back afterwards.
class DebugFileTest : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kDebugFilePath = zu::test::DebugFileAside::kPath;

  void Write(const std::string& text) const { debug_.Write(text); }

  zu::test::DebugFileAside debug_;
};

// A client site whose service provider answers SID_SWebBrowserApp with the
// given browser, or fails when there is none, and whose container is the
// given document, or none.
class FakeSite : public IOleClientSite, public IServiceProvider {
 public:
  FakeSite(IWebBrowser2* browser, bool offers_provider, IOleContainer* document = nullptr)
      : browser_(browser), offers_provider_(offers_provider), document_(document) {}

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
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    *container = document_;
    if (!document_) return E_NOINTERFACE;
    document_->AddRef();
    return S_OK;
  }
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
  IOleContainer* document_;
  ULONG refs_ = 1;
  int queries_ = 0;
};

class BrokenBrowser : public CHostBrowser {
 public:
  BrokenBrowser() : CHostBrowser(L"https://support.vexa.example/") {}
  STDMETHODIMP get_LocationURL(BSTR*) override { return E_FAIL; }
};

template <typename T>
class Ref {  // the test's own reference
 public:
  explicit Ref(T* p) : p_(p) {}
  ~Ref() { p_->Release(); }
  T* get() const { return p_; }
  ULONG refs() const {
    p_->AddRef();
    return p_->Release();
  }

 private:
  T* p_;
};
using BrowserRef = Ref<CHostBrowser>;
using DocumentRef = Ref<CHostDocument>;

IOleContainer* Container(const DocumentRef& d) { return static_cast<IOleContainer*>(d.get()); }

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
      // A "\\" anywhere in the authority, whatever a parser makes of it.
      {L"http://support.vexa.example\\@evil.test/", false},
      {L"http://support.vexa.example\\/", false},
      {L"http://user\\name@support.vexa.example/", false},
      {L"http://support.vexa.example:80\\/", false},
      {L"http:\\\\support.vexa.example/", false},
      {L"http:/\\support.vexa.example/", false},
      {L"http://support.vexa.example/path\\is\\fine", true},
      // Parsers disagree on which of two "@" ends the user information.
      {L"http://a@b@support.vexa.example/", false},
      {L"http://support.vexa.example:8o/", false},
      {L"http://support.vexa.example:99999/", false},
      {L"http://support.vexa.example:/", true},
      {L"http://support.vexa.example\t/", false},
      {L"http:support.vexa.example/", false},
      // Out of an address prefix through dot segments.
      {L"http://www.vexa.example/zefo/support/../../evil/", false},
      {L"http://www.vexa.example/zefo/support/%2e%2E/x", false},
      {L"http://www.vexa.example/zefo/support/.\\x", false},
      {L"http://www.vexa.example/zefo/support/a/../b", false},
      {L"http://www.vexa.example/zefo/support/...htm", true},
      {L"http://www.vexa.example/zefo/support/x.htm?p=../../y", true},
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

TEST_F(IsHostPageAllowedTest, AsksTheBrowserAndTheDocumentEveryTime) {
  BrowserRef allowed(new CHostBrowser(L"https://support.vexa.example/index.htm"));
  DocumentRef page(new CHostDocument(L"https://support.vexa.example/index.htm"));
  FakeSite site(allowed.get(), true, Container(page));
  EXPECT_TRUE(IsHostPageAllowed(&site));
  EXPECT_TRUE(IsHostPageAllowed(&site));
  EXPECT_EQ(site.queries(), 2);
  // Whatever it took is given back.
  EXPECT_EQ(site.refs(), 1u);
  EXPECT_EQ(allowed.refs(), 1u);
  EXPECT_EQ(page.refs(), 1u);

  BrowserRef refused(new CHostBrowser(L"http://evil.test/"));
  FakeSite other(refused.get(), true, Container(page));
  EXPECT_FALSE(IsHostPageAllowed(&other));
  EXPECT_EQ(other.refs(), 1u);
  EXPECT_EQ(refused.refs(), 1u);
}

struct FrameCase {
  const wchar_t* what;
  const wchar_t* top;
  std::optional<std::wstring> document;  // none: get_URL fails
  bool allowed;
};

TEST_F(IsHostPageAllowedTest, TheDocumentHoldingTheControlMustPassToo) {
  const FrameCase cases[] = {
      {L"a frame of an allowed page on an allowed host", L"https://support.vexa.example/",
       L"http://a.zefo.example/frame.htm", true},
      {L"an advertisement's frame", L"https://support.vexa.example/",
       L"http://ads.evil.test/banner.htm", false},
      {L"a frame written by script", L"https://support.vexa.example/", L"about:blank", false},
      {L"a frame without an address", L"https://support.vexa.example/", L"", false},
      {L"a document whose address cannot be read", L"https://support.vexa.example/",
       std::nullopt, false},
      {L"an allowed frame in a foreign page", L"http://evil.test/",
       L"https://support.vexa.example/", false},
      {L"a secure-only host as an HTTP frame", L"https://support.vexa.example/",
       L"http://secure.vexa.example/", false},
  };
  for (const FrameCase& c : cases) {
    BrowserRef browser(new CHostBrowser(c.top));
    DocumentRef document(new CHostDocument(c.document));
    FakeSite site(browser.get(), true, Container(document));
    EXPECT_EQ(IsHostPageAllowed(&site), c.allowed) << std::string(c.what, c.what + wcslen(c.what));
    EXPECT_EQ(document.refs(), 1u);
  }
  BrowserRef browser(new CHostBrowser(L"https://support.vexa.example/"));
  FakeSite no_container(browser.get(), true);
  EXPECT_FALSE(IsHostPageAllowed(&no_container));
}

TEST_F(IsHostPageAllowedTest, ABrokenChainRefuses) {
  DocumentRef page(new CHostDocument(L"https://support.vexa.example/"));
  BrowserRef browser(new CHostBrowser(L"https://support.vexa.example/"));
  FakeSite no_provider(browser.get(), false, Container(page));
  EXPECT_FALSE(IsHostPageAllowed(&no_provider));
  FakeSite no_browser(nullptr, true, Container(page));
  EXPECT_FALSE(IsHostPageAllowed(&no_browser));
  EXPECT_EQ(no_browser.queries(), 1);
  BrowserRef broken(new BrokenBrowser);
  FakeSite no_address(broken.get(), true, Container(page));
  EXPECT_FALSE(IsHostPageAllowed(&no_address));
  EXPECT_EQ(broken.refs(), 1u);
  BrowserRef blank(new CHostBrowser(L""));
  FakeSite empty_address(blank.get(), true, Container(page));
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
  // A file every user may write switches nothing: the check stays on.
  Write("[General]\r\nIgnoreURLCheck=1\r\n");
  ASSERT_TRUE(zu::test::LetEveryoneWrite(kDebugFilePath));
  EXPECT_FALSE(IsHostPageAllowed(&site));
  EXPECT_FALSE(IsHostPageAllowed(nullptr));
  debug_.Remove();
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

namespace {

// The same near misses as the plain rule's test, through the browser-mode
// parse of this platform as well.
TEST(IsAllowedPageURL, GeneratedNearMissesOfTheAllowedPages) {
  const zu::test::NearMissTally tally = zu::test::JudgeNearMisses([](const std::wstring& a) { return IsAllowedPageURL(a); });
  for (const std::string& line : tally.wrong) ADD_FAILURE() << line;
  EXPECT_GT(tally.must_refuse, 8000);
  EXPECT_GT(tally.must_allow, 1000);
}

}  // namespace
