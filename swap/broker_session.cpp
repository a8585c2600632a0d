#include "swap/broker_session.h"

#include "platform/framework/afx_module.h"
#include "platform/win/lib_folder.h"
#include "platform/win/named_objects.h"
#include "resources/resource_ids.h"
#include "sysreg/progress_dlg.h"

#include <shellapi.h>

namespace {

const char kBrokerProgram[] = "QORRIGHT.exe";
const DWORD kPollMs = 100;

DWORD g_timeLimitForTest = 0;

DWORD TimeLimitMs() { return g_timeLimitForTest ? g_timeLimitForTest : kLauncherTimeLimitMs; }

bool IsRunning(const UniqueHandle& process) {
  return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

UniqueHandle Duplicate(const UniqueHandle& handle) {
  HANDLE copy = nullptr;
  if (!handle || !DuplicateHandle(GetCurrentProcess(), handle.get(), GetCurrentProcess(), &copy, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS))
    return UniqueHandle();
  return UniqueHandle(copy);
}

// The broker's command line: the tool's folder first, so that the consent prompt shows which
// tool asks, then the secret, this process (the broker ends with it: nobody else has the
// secret) and the launcher's time limit.
CString BrokerParameters(const CString& toolFolder, const BrokerKey& key, DWORD timeLimitMs) {
  CString parameters;
  parameters.Format("\"%s\" /secret %s /caller %lu /limit %lu", toolFolder.c_str(), key.Hex().c_str(),
                    GetCurrentProcessId(), timeLimitMs);
  return parameters;
}

RequestSection* FindSection(RequestSections& sections, const std::string& name) {
  for (RequestSection& section : sections)
    if (section.name == name) return &section;
  return nullptr;
}

void RemoveSection(RequestSections& sections, const std::string& name) {
  for (auto it = sections.begin(); it != sections.end(); ++it)
    if (it->name == name) {
      sections.erase(it);
      return;
    }
}

}  // namespace

void SetBrokerTimeLimitForTest(DWORD ms) { g_timeLimitForTest = ms; }

BrokerSession::BrokerSession(const CString& toolFolder)
    : m_toolFolder(toolFolder), m_key(BrokerKey::Generate()) {
  if (m_key.valid()) m_requestFile = m_key.RequestFile(PlatformFolder());
}

bool BrokerSession::Execute(const RIGHTREQUEST& request, DWORD& exitCode) {
  std::string name = NewSectionName();
  RequestSection section;
  if (name.empty() || !MakeRequestSection(m_key, name, request, GetTickCount(), section)) return false;
  DWORD timeLimitMs = 0;
  UniqueHandle broker = RunningBroker(timeLimitMs);
  if (!broker || !AddRequest(section)) return false;
  SetEvent(m_event.get());

  const std::string requestMac = section.Get(kKeyMac);
  const DWORD start = GetTickCount();
  bool success = false;
  for (;;) {
    if (TakeAnswer(name, requestMac, success, exitCode)) return success;
    if (GetTickCount() - start >= timeLimitMs + kAnswerGraceMs) break;
    if (WaitForSingleObject(broker.get(), kPollMs) != WAIT_TIMEOUT) {
      // The broker has ended: an answer it wrote just before is still good.
      if (TakeAnswer(name, requestMac, success, exitCode)) return success;
      break;
    }
  }
  Withdraw(name);
  return false;
}

UniqueHandle BrokerSession::RunningBroker(DWORD& timeLimitMs) {
  std::lock_guard<std::mutex> hold(m_launchLock);
  if (!IsRunning(m_process)) {
    m_process.reset();
    if (!m_key.valid() || !CreateNamedObjects() || !Launch(TimeLimitMs())) return UniqueHandle();
  }
  timeLimitMs = m_timeLimitMs;
  return Duplicate(m_process);
}

bool BrokerSession::CreateNamedObjects() {
  if (m_event && m_mutex) return true;
  UserSecurityAttributes security(false);
  // Names that exist already were taken by someone who knows the secret: nobody we trust.
  m_event.reset(CreateEventA(security.get(), FALSE, FALSE, m_key.EventName()));
  if (m_event && GetLastError() == ERROR_ALREADY_EXISTS) m_event.reset();
  m_mutex.reset(CreateMutexA(security.get(), FALSE, m_key.MutexName()));
  if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS) m_mutex.reset();
  return m_event && m_mutex;
}

bool BrokerSession::Launch(DWORD timeLimitMs) {
  CString notice;
  notice.LoadString(IDS_CONSENT_FOLLOWS);
  MessageBoxA(nullptr, notice, GetCaptionText(IDS_CAPTION), MB_OK | MB_ICONINFORMATION);

  CString libFolder = GetLibFolder();
  CString program = libFolder + "\\" + kBrokerProgram;
  CString parameters = BrokerParameters(m_toolFolder, m_key, timeLimitMs);
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = "runas";
  info.lpFile = program;
  info.lpParameters = parameters;
  info.lpDirectory = libFolder;
  info.nShow = SW_HIDE;
  if (!ShellExecuteExA(&info) || !info.hProcess) return false;  // consent refused, or no broker
  m_process.reset(info.hProcess);
  m_timeLimitMs = timeLimitMs;
  return true;
}

bool BrokerSession::AddRequest(const RequestSection& section) {
  RequestFileLock lock(m_key);
  RequestSections sections;
  if (!lock.owned() || !ReadRequestFile(m_requestFile, sections)) return false;
  sections.push_back(section);
  return WriteRequestFile(m_requestFile, sections);
}

bool BrokerSession::TakeAnswer(const std::string& name, const std::string& requestMac, bool& success,
                               DWORD& exitCode) {
  RequestFileLock lock(m_key);
  RequestSections sections;
  if (!lock.owned() || !ReadRequestFile(m_requestFile, sections)) return false;
  RequestSection* section = FindSection(sections, name);
  if (!section || !ReadAnswer(m_key, *section, requestMac, success, exitCode)) return false;
  RemoveSection(sections, name);
  WriteRequestFile(m_requestFile, sections);  // a section left behind the broker removes later
  return true;
}

void BrokerSession::Withdraw(const std::string& name) {
  RequestFileLock lock(m_key);
  RequestSections sections;
  if (!lock.owned() || !ReadRequestFile(m_requestFile, sections)) return;
  RequestSection* section = FindSection(sections, name);
  if (!section || section->Get(kKeyStatus) != kStatusReady) return;
  RemoveSection(sections, name);
  WriteRequestFile(m_requestFile, sections);
}
