#include "programs/broker/request_queue.h"

namespace {

// How long an answer waits for its caller, who polls ten times a second.
const DWORD kAnswerKeepMs = 60 * 1000;
const DWORD kNotRun = 0;

}  // namespace

RequestQueue::RequestQueue(const BrokerKey& key, const CString& file, DWORD timeLimitMs)
    : m_key(key), m_file(file), m_requestLifeMs(timeLimitMs + kAnswerGraceMs) {}

bool RequestQueue::TakeNext(TakenRequest& taken) {
  RequestFileLock lock(m_key);
  RequestSections sections;
  if (!lock.owned() || !ReadRequestFile(m_file, sections)) return false;
  const DWORD now = GetTickCount();
  bool found = false;
  m_changed = false;
  RequestSections kept;
  for (RequestSection& section : sections)
    if (Sort(section, taken, found, now)) kept.push_back(section);
  if ((m_changed || kept.size() != sections.size()) && !WriteRequestFile(m_file, kept)) {
    // Not marked "running": not run now; the next pass answers it "error" (taken before).
    return false;
  }
  return found;
}

bool RequestQueue::Sort(RequestSection& section, TakenRequest& taken, bool& found, DWORD now) {
  RIGHTREQUEST request;
  DWORD issued = 0;
  if (!OpenRequestSection(m_key, section, request, issued)) {
    auto answer = m_answeredAt.find(section.name);
    if (answer == m_answeredAt.end()) return false;
    if (now - answer->second < kAnswerKeepMs) return true;
    m_answeredAt.erase(answer);
    return false;
  }
  bool waiting = section.Get(kKeyStatus) == kStatusReady && m_taken.count(section.name) == 0 &&
                 now - issued <= m_requestLifeMs;
  if (!waiting) {
    // A request of ours whose answer could not be written before gets it now; any other, "error".
    auto outcome = m_outcomes.find(section.name);
    bool known = outcome != m_outcomes.end();
    AnswerNow(section, known && outcome->second.first, known ? outcome->second.second : kNotRun, now);
    return true;
  }
  if (!found) {
    found = true;
    m_changed = true;
    section.Set(kKeyStatus, kStatusRunning);
    m_taken.insert(section.name);
    taken = {section, request};
  }
  return true;
}

void RequestQueue::AnswerNow(RequestSection& section, bool success, DWORD exitCode, DWORD now) {
  AnswerSection(m_key, section, success, exitCode);
  m_answeredAt[section.name] = now;
  m_changed = true;
}

void RequestQueue::Answer(const TakenRequest& taken, bool success, DWORD exitCode) {
  m_outcomes[taken.section.name] = {success, exitCode};
  RequestFileLock lock(m_key);
  RequestSections sections;
  if (!lock.owned() || !ReadRequestFile(m_file, sections)) return;
  RequestSection answer = taken.section;
  AnswerNow(answer, success, exitCode, GetTickCount());
  bool replaced = false;
  for (RequestSection& section : sections)
    if (section.name == answer.name) {
      section = answer;
      replaced = true;
    }
  if (!replaced) sections.push_back(answer);
  if (!WriteRequestFile(m_file, sections)) m_answeredAt.erase(answer.name);  // the next pass writes it
}
