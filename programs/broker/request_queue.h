// The broker's side of its request file. Each pass reads the file whole, under its mutex, and
// writes back only what belongs there:
//   - a "ready" request with the right code, issued within the time limit and 30 s and never
//     taken before, waits its turn; the first of them is taken and marked "running" before it
//     runs, so that a broker that dies while running it never runs it again;
//   - any other section with a request's right code (left "running" by a broker of the same
//     secret that died, too old, taken before, its status changed by someone else) is
//     answered "error";
//   - this broker's answers stay until their caller has had time to fetch them;
//   - everything else (no code, a wrong code, another broker's answers) is dropped, so the file
//     stays small however much is written into it.
#pragma once

#include "swap/right_protocol.h"

#include <map>
#include <set>
#include <string>
#include <utility>

struct TakenRequest {
  RequestSection section;  // as taken, with the request's code
  RIGHTREQUEST request;
};

class RequestQueue {
 public:
  RequestQueue(const BrokerKey& key, const CString& file, DWORD timeLimitMs);

  // The next request to run, marked "running" in the file; false when none waits (or the file
  // cannot be had now: the next pass tries again).
  bool TakeNext(TakenRequest& taken);
  // Writes the signed answer of a taken request (in its section, made again if someone removed it).
  void Answer(const TakenRequest& taken, bool success, DWORD exitCode);

 private:
  // Sorts one section of a pass; true when it stays in the file.
  bool Sort(RequestSection& section, TakenRequest& taken, bool& found, DWORD now);
  void AnswerNow(RequestSection& section, bool success, DWORD exitCode, DWORD now);

  BrokerKey m_key;
  CString m_file;
  DWORD m_requestLifeMs;
  std::set<std::string> m_taken;
  std::map<std::string, DWORD> m_answeredAt;
  std::map<std::string, std::pair<bool, DWORD>> m_outcomes;  // what each request run here gave
  bool m_changed = false;  // this pass changed a section that stays
};
