#include "agent/info/my_info_file.h"

#include <windows.h>

#include <vector>

#include "agent/info/clock.h"
#include "agent/info/info_rules.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/info/xml_file_reader.h"
#include "common/identity.h"
#include "common/installed_components.h"
#include "common/platform.h"

namespace {

// Brings the cursor back to where a search started, whatever happens in
// between, so the next question starts from the whole document again.
class PopOnExit {
 public:
  explicit PopOnExit(CXmlFileReader& reader) : reader_(reader) {}
  ~PopOnExit() { reader_.TryPopCurrentNode(); }
  PopOnExit(const PopOnExit&) = delete;
  PopOnExit& operator=(const PopOnExit&) = delete;

 private:
  CXmlFileReader& reader_;
};

std::optional<std::wstring> ParentOS(CXmlFileReader& reader) {
  std::wstring os;
  if (!reader.ReadParentOS(&os)) return std::nullopt;
  return os;
}


}  // namespace

CMyInfoFile::CMyInfoFile() : os_tag_(CurrentOsTag()) {}
CMyInfoFile::CMyInfoFile(std::wstring os_tag) : os_tag_(std::move(os_tag)) {}
CMyInfoFile::~CMyInfoFile() = default;

std::wstring CMyInfoFile::CurrentOsTag() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!::GetVersionExW(&version)) return L"";
  return OsTagForMajorVersion(version.dwMajorVersion);
}

void CMyInfoFile::Load(const std::wstring& address) {
  reader_.reset();
  auto reader = std::make_unique<CXmlFileReader>();
  reader->load(address);
  reader_ = std::move(reader);
  source_ = address;
}

void CMyInfoFile::Close() { reader_.reset(); }

void CMyInfoFile::SaveCopy() {
  if (!reader_) return;
  const std::wstring folder = ExecutableFolder();
  if (folder.empty()) return;
  reader_->save(folder + L"\\info.xml");
}

CXmlFileReader& CMyInfoFile::Reader() {
  if (!reader_) throw CIllegalStateException("CXmlFileReader::ReadStartElement");
  return *reader_;
}

CMyInfoFile::Selection CMyInfoFile::SelectForOS(const std::wstring& tag) {
  CXmlFileReader& reader = Reader();
  Selection selection;
  if (!reader.ReadStartElement(tag)) return selection;
  PopOnExit pop(reader);
  selection.any = true;
  COsSelection choice(os_tag_);
  do {
    std::wstring text;
    if (!reader.ReadElementText(&text)) text.clear();
    const std::optional<std::wstring> os = ParentOS(reader);
    if (choice.Offer(text, os ? &*os : nullptr)) break;
  } while (reader.NextElement());
  selection.value = choice.Result();
  return selection;
}

CMyInfoFile::Inputs CMyInfoFile::ThisPC() {
  Inputs in;
  in.last_visit = [](int64_t* t) { return ReadLastVisitTime(t); };
  in.serial = [] {
    std::wstring serial;
    if (!CMyRegKey().GetDebugSerial(&serial)) {
      serial.clear();
      if (!GetSerialNumber(&serial)) serial.clear();
    }
    return serial;
  };
  in.url_base = [] { return ReadInfoFileURLBase(); };
  in.is_installed = [](const std::wstring& id) { return IsComponentInstalled(id); };
  return in;
}

int64_t CMyInfoFile::ParseTimeStamp(const std::wstring& text, bool zoned) {
  int64_t value = kMalformedTimeStamp;
  if (!::ParseTimeStamp(text, zoned, &value)) return kMalformedTimeStamp;
  return value;
}

bool CMyInfoFile::MatchSerialRange(const std::wstring& serial, const std::wstring& range) {
  return ::MatchSerialRange(serial, range);
}

bool CMyInfoFile::NewerThanLastVisit(const std::wstring& tag) {
  const Selection selection = SelectForOS(tag);
  if (!selection.any) return false;
  const int64_t published = ParseTimeStamp(selection.value.value_or(L""), true);
  int64_t last_visit = 0;
  if (!inputs_.last_visit(&last_visit)) return true;
  return published > last_visit;
}

bool CMyInfoFile::HasNewUpdate() { return NewerThanLastVisit(L"lastupdate"); }

bool CMyInfoFile::HasNewESDUpdate() { return NewerThanLastVisit(L"esdlastupdate"); }

bool CMyInfoFile::HasUrgentUpdate() {
  const Selection selection = SelectForOS(L"urgentupdate");
  if (!selection.any) return false;
  int64_t last_visit = 0;
  if (!inputs_.last_visit(&last_visit)) return true;
  if (!selection.value || selection.value->empty()) return false;
  return ParseTimeStamp(*selection.value, true) > last_visit;
}

bool CMyInfoFile::FindAddress(const std::wstring& tag, std::wstring* url) {
  const Selection selection = SelectForOS(tag);
  if (!selection.value) return false;
  if (!selection.value->empty() && !IsWebAddress(*selection.value)) return false;
  *url = *selection.value;
  return true;
}

bool CMyInfoFile::FindSupportPageURL(std::wstring* url, bool automatic) {
  return FindAddress(automatic ? L"urlauto" : L"urlmanual", url);
}

bool CMyInfoFile::FindIntervalText(std::wstring* text) {
  const Selection selection = SelectForOS(L"interval");
  if (!selection.value) return false;
  *text = *selection.value;
  return true;
}

bool CMyInfoFile::FindESDInfoURL(std::wstring* url) { return FindAddress(L"urlesdinfo", url); }

bool CMyInfoFile::FindRedirectURL(std::wstring* url) {
  CXmlFileReader& reader = Reader();
  if (!reader.ReadStartElement(L"serial")) return false;
  PopOnExit pop(reader);
  const std::wstring serial = inputs_.serial();
  std::optional<std::wstring> base;
  COsSelection choice(os_tag_);
  do {
    std::wstring range;
    reader.ReadAttributCString(L"range", &range);
    if (!::MatchSerialRange(serial, range)) continue;
    std::wstring path;
    if (!reader.ReadElementText(&path)) path.clear();
    if (!base) base = inputs_.url_base();
    const std::optional<std::wstring> os = ParentOS(reader);
    if (choice.Offer(*base + path, os ? &*os : nullptr)) break;
  } while (reader.NextElement());
  const std::optional<std::wstring> result = choice.Result();
  if (!result || *result == source_ || !IsWebAddress(*result)) return false;
  *url = *result;
  return true;
}

bool CMyInfoFile::HasApplicableESDModule() {
  CXmlFileReader& reader = Reader();
  if (!reader.ReadStartElement(L"esdmodule")) return false;
  PopOnExit pop(reader);
  do {
    std::wstring spid;
    reader.ReadAttributCString(L"spid", &spid);
    std::wstring text;
    std::optional<std::wstring> list;
    if (reader.ReadFirstChildText(&text)) list = text;
    if (EsdModuleApplies(spid, ParentOS(reader), os_tag_, list, inputs_.is_installed))
      return true;
  } while (reader.NextElement());
  return false;
}

int CMyInfoFile::UpdateSettingsFromFile() {
  CMyRegKey key;
  std::wstring url;
  if (FindSupportPageURL(&url, true)) key.SetSupportPageURL(url, true);
  if (FindSupportPageURL(&url, false)) key.SetSupportPageURL(url, false);

  const Selection interval = SelectForOS(L"interval");
  if (!interval.value || interval.value->empty()) return WriteDefaultInterval();
  // A text without a number would be read back as 0 at the next start and
  // make every pulse a check; the interval in force stays instead.
  const std::optional<int> days = IntervalDaysFromText(*interval.value);
  if (!days) return -1;
  WriteInterval(*interval.value);
  return *days;
}
