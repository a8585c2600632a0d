// This process's side of the rights broker of one tool: the secret, the named objects derived
// from it (made here, before the broker starts, and kept while the process lives, so the names
// stay ours), and the broker's process, started again (with a new consent, the same secret) when
// it has ended.
#pragma once

#include "swap/right_protocol.h"

#include <mutex>

class BrokerSession {
 public:
  explicit BrokerSession(const CString& toolFolder);
  BrokerSession(const BrokerSession&) = delete;
  BrokerSession& operator=(const BrokerSession&) = delete;

  // Writes the request, makes sure the broker runs, and waits for a genuine answer. True for
  // "success"; exitCode gets the launcher's exit code.
  bool Execute(const RIGHTREQUEST& request, DWORD& exitCode);

 private:
  // A handle of the running broker's process, launching it first when none runs; invalid when
  // it cannot be had (consent refused, no secret). timeLimitMs: the limit it was started with.
  UniqueHandle RunningBroker(DWORD& timeLimitMs);
  bool CreateNamedObjects();
  bool Launch(DWORD timeLimitMs);
  bool AddRequest(const RequestSection& section);
  // Reads the section's answer; an answered section is removed from the file.
  bool TakeAnswer(const std::string& name, const std::string& requestMac, bool& success, DWORD& exitCode);
  // A request nobody waits for any more is taken back while it has not started.
  void Withdraw(const std::string& name);

  CString m_toolFolder;
  CString m_requestFile;
  BrokerKey m_key;
  DWORD m_timeLimitMs = kLauncherTimeLimitMs;
  std::mutex m_launchLock;  // one launch, one consent, for every thread of the process
  UniqueHandle m_event, m_mutex, m_process;
};
