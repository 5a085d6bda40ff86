#pragma once
// The update information file of this PC model: when its updates were last
// published, whether an important one is among them, which support pages
// to open, how often to check, which serial ranges must read another file,
// and which downloadable components apply. Every question looks its
// elements up afresh in the whole document; an element applies to this PC
// by the "OS" attribute of its parent (none: a default for every system).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CXmlFileReader;

class CMyInfoFile {
 public:
  // The OS tag of the running system ("Vista", "XP" or empty).
  CMyInfoFile();
  explicit CMyInfoFile(std::wstring os_tag);

  // What the answers depend on besides the document. By default this PC's
  // own: "LastVisit", the serial number ("_Debug_Serial" first),
  // "InfoFileURLBase" and the installed-components database. A tool that
  // answers for another PC replaces them.
  struct Inputs {
    std::function<bool(int64_t*)> last_visit;  // false: never visited
    std::function<std::wstring()> serial;
    std::function<std::wstring()> url_base;
    std::function<bool(const std::wstring&)> is_installed;
  };
  static Inputs ThisPC();
  void SetInputs(Inputs inputs) { inputs_ = std::move(inputs); }
  virtual ~CMyInfoFile();
  CMyInfoFile(const CMyInfoFile&) = delete;
  CMyInfoFile& operator=(const CMyInfoFile&) = delete;

  // Loads the document from a web address or a file path, replacing any
  // earlier one. Throws CAccessFileException when it cannot be fetched or
  // parsed; the file then holds no document.
  void Load(const std::wstring& address);
  void Close();
  // Saves the document as "info.xml" beside the executable.
  void SaveCopy();

  // The questions. Asked without a loaded document they throw
  // CIllegalStateException; missing elements or attributes answer false.

  // "lastupdate" / "esdlastupdate" later than "LastVisit", or any such
  // element while "LastVisit" is missing. A malformed stamp is never later.
  bool HasNewUpdate();
  bool HasNewESDUpdate();
  // "urgentupdate": as above, but an empty (or inapplicable) stamp is false
  // once "LastVisit" exists.
  bool HasUrgentUpdate();
  // "urlauto" when automatic, else "urlmanual". An empty element is a
  // found, empty address (stored, it clears the page); anything but a web
  // address (IsWebAddress) is none.
  bool FindSupportPageURL(std::wstring* url, bool automatic);
  // "urlesdinfo", the file that lists the downloadable modules; the same
  // rule.
  bool FindESDInfoURL(std::wstring* url);
  // An "esdmodule" for this system that is not installed yet and builds on
  // an installed component.
  bool HasApplicableESDModule();
  // "InfoFileURLBase" + the text of the "serial" element whose "range"
  // holds this PC's serial number ("_Debug_Serial" when set). A redirect
  // back to this very file is none: following it would never end; so is
  // one that is no web address.
  bool FindRedirectURL(std::wstring* url);
  // Stores the support pages and the interval. Returns the interval in
  // days; the computed default (also written) when the file has none; -1,
  // writing nothing, when its text does not begin with a usable number.
  int UpdateSettingsFromFile();
  // The "interval" text that applies here, without writing it.
  bool FindIntervalText(std::wstring* text);

  // A local or zoned stamp on the comparison scale (kMalformedTimeStamp
  // when it cannot be read).
  static int64_t ParseTimeStamp(const std::wstring& text, bool zoned);
  static bool MatchSerialRange(const std::wstring& serial, const std::wstring& range);
  static std::wstring CurrentOsTag();

  const std::wstring& source() const { return source_; }
  const std::wstring& os_tag() const { return os_tag_; }

 private:
  struct Selection {
    bool any = false;                   // an element with the tag exists
    std::optional<std::wstring> value;  // the one that applies here
  };
  Selection SelectForOS(const std::wstring& tag);
  bool NewerThanLastVisit(const std::wstring& tag);
  bool FindAddress(const std::wstring& tag, std::wstring* url);
  CXmlFileReader& Reader();

  std::wstring source_;
  std::wstring os_tag_;
  std::unique_ptr<CXmlFileReader> reader_;
  Inputs inputs_ = ThisPC();
};
