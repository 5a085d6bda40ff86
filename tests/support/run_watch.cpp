#include "tests/support/run_watch.h"

namespace zu::test {

CModuleInfo Module(const std::wstring& url, std::int64_t size, bool auto_execute,
                   const wchar_t* name) {
  CModuleInfo m;
  m.url = url;
  m.size = size;
  m.display_name = name;
  m.auto_execute = auto_execute;
  return m;
}

namespace {

RunLog* g_log = nullptr;
int g_battery_reads = 0;

BOOL WINAPI BatteryThenMains(LPSYSTEM_POWER_STATUS status) {
  *status = SYSTEM_POWER_STATUS{};
  status->ACLineStatus = g_battery_reads > 0 ? 0 : 1;
  if (g_battery_reads > 0) --g_battery_reads;
  return TRUE;
}

EXECUTION_STATE WINAPI NoteExecutionState(EXECUTION_STATE flags) {
  NoteRun(flags == ES_CONTINUOUS ? L"allow sleep" : L"keep awake");
  return ES_CONTINUOUS;
}

class NotingSink : public IRunSink {
 public:
  explicit NotingSink(std::vector<int> answers) : answers_(std::move(answers)) {}
  void Notify(int code, int count) override {
    NoteRun(L"notify " + std::to_wstring(code) +
            (count ? L"(" + std::to_wstring(count) + L")" : L""));
  }
  int Ask(const std::wstring& text, const std::wstring& caption, UINT flags) override {
    NoteRun(L"ask " + caption + L": " + text);
    if (answers_.empty()) return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    const int answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  }

 private:
  std::vector<int> answers_;
};

}  // namespace

void NoteRun(const std::wstring& line) {
  if (g_log) g_log->push_back(line);
}

RunWatch::RunWatch()
    : power_(seams::get_system_power_status, &BatteryThenMains),
      awake_(seams::set_execution_state, &NoteExecutionState) {
  g_log = &log;
  g_battery_reads = 0;
}

RunWatch::~RunWatch() {
  g_log = nullptr;
  g_battery_reads = 0;
}

void RunWatch::OnBatteryFor(int reads) { g_battery_reads = reads; }

std::unique_ptr<IRunSink> RunWatch::Sink(std::vector<int> answers) {
  return std::make_unique<NotingSink>(std::move(answers));
}

}  // namespace zu::test
