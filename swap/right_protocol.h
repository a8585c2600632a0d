// What the runtime and the rights broker, QORRIGHT.exe, share: the broker's secret and what is
// derived from it, the request file, and the codes that authenticate requests and answers.
//
// The caller that asks for the user's consent makes a random secret and puts it on the broker's
// command line. From the secret come the names of the broker's request event and of the mutex
// around its request file ("velmora.qor.right.<id>" and "velmora.qor.right.<id>.file") and the
// file itself, "<platform>\data\right-<file id>.ini"; <id> and <file id> are two HMACs of the
// secret, so neither tells anything about it, and the file's name, which anyone can see, does
// not give away the names of the objects. The file is an INI file read and written whole under the mutex, one section
// per request, named by 16 random hexadecimal digits:
//   status       "ready" (written by the caller), "running" (the broker, before it runs it),
//                then "success" or "error" (the broker's answer)
//   issued       the caller's GetTickCount() when it wrote the request, in decimal
//   library, function, workdir, wait, stdcall, com, environment ("\r\n" escaped): RIGHTREQUEST
//   mac          HMAC-SHA256, under the secret, of the section's name, "issued" and the fields
// The answer replaces the section's keys with
//   status       "success" (the launcher ran and ended with 1) or "error"
//   exit         the launcher's exit code (0 when it did not run)
//   answer       HMAC-SHA256 of the section's name, the request's mac, status and exit
// A section without the right code is not ours: the broker drops it, the caller ignores it.
#pragma once

#include "platform/win/handles.h"
#include "swap/right_request.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// A started launcher may run this long; then it is ended and the request answered "error".
inline constexpr DWORD kLauncherTimeLimitMs = 5 * 60 * 1000;
// A caller waits for its answer at most the launcher's time limit and this much more.
inline constexpr DWORD kAnswerGraceMs = 30 * 1000;
// The exit code of a launcher whose command was carried out (DllRunModule's 1).
inline constexpr DWORD kLauncherDone = 1;

inline constexpr char kStatusReady[] = "ready";
inline constexpr char kStatusRunning[] = "running";
inline constexpr char kStatusSuccess[] = "success";
inline constexpr char kStatusError[] = "error";
inline constexpr char kKeyStatus[] = "status";
inline constexpr char kKeyMac[] = "mac";

// The broker's secret and the names, file and codes derived from it.
class BrokerKey {
 public:
  BrokerKey() = default;
  // A new random secret; not valid() when the system cannot make one.
  static BrokerKey Generate();
  // The secret as the broker's command line carries it; not valid() unless 64 hex digits.
  static BrokerKey FromHex(const std::string& hex);

  bool valid() const { return !m_id.empty(); }
  std::string Hex() const;
  CString EventName() const;
  CString MutexName() const;
  CString RequestFile(const CString& platformFolder) const;
  // HMAC-SHA256 (hex) of a purpose word and fields, each field preceded by its length, so that
  // no two different lists of fields give the same message.
  std::string Code(const char* purpose, std::initializer_list<std::string> fields) const;

 private:
  explicit BrokerKey(std::string secret);
  std::string m_secret;
  std::string m_id, m_fileId;
};

// Held while a process reads or writes the request file: the file is rewritten whole, so a caller
// writing its request while the broker writes an answer would otherwise lose one of the two.
// owned() is false when the mutex could not be had within a few seconds; nothing may then be
// read or written.
class RequestFileLock {
 public:
  explicit RequestFileLock(const BrokerKey& key);
  ~RequestFileLock();
  RequestFileLock(const RequestFileLock&) = delete;
  RequestFileLock& operator=(const RequestFileLock&) = delete;
  bool owned() const { return m_owned; }

 private:
  UniqueHandle m_mutex;
  bool m_owned = false;
};

// One section of the request file, its keys in their order.
struct RequestSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> keys;

  std::string Get(const char* key) const;  // empty when absent
  void Set(const char* key, const std::string& value);
};
using RequestSections = std::vector<RequestSection>;

// Reads every section (none when the file is missing, or larger than any file of ours can
// become, which makes it someone else's). False when the file exists but cannot be read.
bool ReadRequestFile(const CString& path, RequestSections& sections);
// Writes the sections as the whole file; with none left, the file is deleted.
bool WriteRequestFile(const CString& path, const RequestSections& sections);
// 16 random hex digits; empty when the system cannot make them.
std::string NewSectionName();

// The request as a signed "ready" section; false when a field holds a line break.
bool MakeRequestSection(const BrokerKey& key, const std::string& name, const RIGHTREQUEST& request, DWORD issued,
                        RequestSection& section);
// The request of a section whose code is right; false for any other section.
bool OpenRequestSection(const BrokerKey& key, const RequestSection& section, RIGHTREQUEST& request,
                        DWORD& issued);
// Replaces the section's keys with the signed answer.
void AnswerSection(const BrokerKey& key, RequestSection& section, bool success, DWORD exitCode);
// The answer in the section, when it is one and its code is right for the request of that mac.
bool ReadAnswer(const BrokerKey& key, const RequestSection& section, const std::string& requestMac, bool& success,
                DWORD& exitCode);

// Splits a launcher request's command line, `"<application folder>\run.exe" /install` (or
// /uninstall), into the folder and the command ("/install", "/uninstall"); false for any other
// shape.
bool ParseLauncherLine(const CString& line, CString& appFolder, CString& command);
