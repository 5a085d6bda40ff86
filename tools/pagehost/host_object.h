#pragma once
// The page host's own script object, named "host" in every page:
//   host.Echo(text)      prints a line on standard output
//   host.Fail(text)      prints it too, and the run ends with exit code 1
//   host.RefreshCount    how often the control asked the browser to reload
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "tools/pagehost/page_objects.h"

class CHostBrowser;

// A line on standard output / standard error, as UTF-8.
void PrintLine(const std::wstring& text);
void PrintError(const std::wstring& text);

class CHostObject : public CPageObject {
 public:
  enum : DISPID { kEcho = 1, kFail = 2, kRefreshCount = 3 };

  // Starts with one reference, owned by the caller. The browser must outlive
  // the object's script use.
  explicit CHostObject(const CHostBrowser* browser) : browser_(browser) {}

  bool failed() const { return failed_; }

 protected:
  const Member* Members(size_t* count) const override;
  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) override;

 private:
  bool failed_ = false;
  const CHostBrowser* browser_;
};
