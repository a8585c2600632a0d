#include "swap/right_protocol.h"

#include "platform/services/tool_layout.h"
#include "platform/win/message_auth.h"
#include "platform/win/named_objects.h"

#include <cstdlib>

namespace {

const size_t kSecretBytes = 32;
const size_t kIdHexDigits = 32;
const size_t kSectionNameBytes = 8;
const DWORD kLockWaitMs = 5000;
// Far above what pending requests take (each carries at most one 32 KB environment).
const LONGLONG kMaxRequestFileBytes = 1024 * 1024;
const char kNamesPurpose[] = "velmora.qor.right names";
const char kFilePurpose[] = "velmora.qor.right file";
const char kRequestPurpose[] = "request";
const char kAnswerPurpose[] = "answer";
const char kMutexSuffix[] = ".file";
const char kRequestFilePrefix[] = "\\data\\right-";
const char kYes[] = "yes";

const char kKeyIssued[] = "issued";
const char kKeyLibrary[] = "library";
const char kKeyFunction[] = "function";
const char kKeyWorkDir[] = "workdir";
const char kKeyWait[] = "wait";
const char kKeyStdCall[] = "stdcall";
const char kKeyCom[] = "com";
const char kKeyEnvironment[] = "environment";
const char kKeyExit[] = "exit";
const char kKeyAnswer[] = "answer";

std::string Flag(BOOL value) { return value ? kYes : ""; }

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The decimal digits of a 32-bit number, and back; false for anything else.
bool ParseNumber(const std::string& text, DWORD& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long n = strtoull(text.c_str(), nullptr, 10);
  if (n > 0xFFFFFFFFull) return false;
  value = static_cast<DWORD>(n);
  return true;
}

// The request's fields in the order the code covers them.
std::string RequestCode(const BrokerKey& key, const std::string& name, const RequestSection& s) {
  return key.Code(kRequestPurpose, {name, s.Get(kKeyIssued), s.Get(kKeyLibrary), s.Get(kKeyFunction),
                                    s.Get(kKeyWorkDir), s.Get(kKeyWait), s.Get(kKeyStdCall), s.Get(kKeyCom),
                                    s.Get(kKeyEnvironment)});
}

std::string AnswerCode(const BrokerKey& key, const std::string& name, const std::string& requestMac,
                       const std::string& status, const std::string& exitCode) {
  return key.Code(kAnswerPurpose, {name, requestMac, status, exitCode});
}

void ParseLine(const std::string& line, RequestSections& sections) {
  if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
    sections.push_back({line.substr(1, line.size() - 2), {}});
    return;
  }
  size_t eq = line.find('=');
  if (eq == std::string::npos || eq == 0 || sections.empty()) return;  // not a key of a section
  sections.back().keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
}

RequestSections ParseSections(const std::string& text) {
  RequestSections sections;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ParseLine(line, sections);
    start = end + 1;
  }
  return sections;
}

}  // namespace

BrokerKey::BrokerKey(std::string secret) : m_secret(std::move(secret)) {
  std::string namesId = HmacSha256Hex(m_secret, kNamesPurpose);
  std::string fileId = HmacSha256Hex(m_secret, kFilePurpose);
  if (namesId.size() < kIdHexDigits || fileId.size() < kIdHexDigits) return;
  m_id = namesId.substr(0, kIdHexDigits);
  m_fileId = fileId.substr(0, kIdHexDigits);
}

BrokerKey BrokerKey::Generate() {
  std::string secret = RandomBytes(kSecretBytes);
  return secret.size() == kSecretBytes ? BrokerKey(secret) : BrokerKey();
}

BrokerKey BrokerKey::FromHex(const std::string& hex) {
  std::string secret;
  return ::FromHex(hex, secret) && secret.size() == kSecretBytes ? BrokerKey(secret) : BrokerKey();
}

std::string BrokerKey::Hex() const { return ToHex(m_secret); }

CString BrokerKey::EventName() const { return CString(kRightObjectPrefix) + m_id.c_str(); }

CString BrokerKey::MutexName() const { return EventName() + kMutexSuffix; }

CString BrokerKey::RequestFile(const CString& platformFolder) const {
  return platformFolder + kRequestFilePrefix + m_fileId.c_str() + ".ini";
}

std::string BrokerKey::Code(const char* purpose, std::initializer_list<std::string> fields) const {
  std::string message = purpose;
  for (const std::string& field : fields) message += "\n" + std::to_string(field.size()) + ":" + field;
  return HmacSha256Hex(m_secret, message);
}

RequestFileLock::RequestFileLock(const BrokerKey& key) {
  if (!key.valid()) return;
  UserSecurityAttributes security(false);
  m_mutex.reset(CreateMutexA(security.get(), FALSE, key.MutexName()));
  if (!m_mutex) return;
  DWORD r = WaitForSingleObject(m_mutex.get(), kLockWaitMs);
  // An abandoned mutex is ours all the same: every change is one whole write of the file.
  m_owned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

RequestFileLock::~RequestFileLock() {
  if (m_owned) ReleaseMutex(m_mutex.get());
}

std::string RequestSection::Get(const char* key) const {
  for (const auto& entry : keys)
    if (entry.first == key) return entry.second;
  return std::string();
}

void RequestSection::Set(const char* key, const std::string& value) {
  for (auto& entry : keys)
    if (entry.first == key) {
      entry.second = value;
      return;
    }
  keys.emplace_back(key, value);
}

bool ReadRequestFile(const CString& path, RequestSections& sections) {
  sections.clear();
  UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  if (size.QuadPart > kMaxRequestFileBytes) return true;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && !ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) return false;
  text.resize(read);
  sections = ParseSections(text);
  return true;
}

bool WriteRequestFile(const CString& path, const RequestSections& sections) {
  if (sections.empty()) return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
  std::string text;
  for (const RequestSection& section : sections) {
    text += "[" + section.name + "]\r\n";
    for (const auto& entry : section.keys) text += entry.first + "=" + entry.second + "\r\n";
  }
  int slash = path.ReverseFind('\\');
  if (slash > 0) CreateDirectoryA(path.Left(slash), nullptr);
  UniqueHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::string NewSectionName() {
  std::string bytes = RandomBytes(kSectionNameBytes);
  return bytes.size() == kSectionNameBytes ? ToHex(bytes) : std::string();
}

bool MakeRequestSection(const BrokerKey& key, const std::string& name, const RIGHTREQUEST& r, DWORD issued,
                        RequestSection& section) {
  section = {name, {}};
  section.Set(kKeyStatus, kStatusReady);
  section.Set(kKeyIssued, std::to_string(issued));
  section.Set(kKeyLibrary, r.strLibrary.c_str());
  section.Set(kKeyFunction, r.strFunction.c_str());
  section.Set(kKeyWorkDir, r.strWorkDir.c_str());
  section.Set(kKeyWait, Flag(r.bWait));
  section.Set(kKeyStdCall, Flag(r.bStdCall));
  section.Set(kKeyCom, Flag(r.bCom));
  section.Set(kKeyEnvironment, EscapeEnvironment(r.strEnvironment).c_str());
  for (const auto& entry : section.keys)
    if (HasLineBreak(entry.second)) return false;
  section.Set(kKeyMac, RequestCode(key, name, section));
  return !section.Get(kKeyMac).empty();
}

bool OpenRequestSection(const BrokerKey& key, const RequestSection& s, RIGHTREQUEST& r, DWORD& issued) {
  std::string expected = RequestCode(key, s.name, s);
  if (expected.empty() || !SameCode(expected, s.Get(kKeyMac)) || !ParseNumber(s.Get(kKeyIssued), issued)) return false;
  r.strLibrary = s.Get(kKeyLibrary).c_str();
  r.strFunction = s.Get(kKeyFunction).c_str();
  r.strWorkDir = s.Get(kKeyWorkDir).c_str();
  r.strEnvironment = UnescapeEnvironment(s.Get(kKeyEnvironment).c_str());
  r.bWait = s.Get(kKeyWait) == kYes;
  r.bStdCall = s.Get(kKeyStdCall) == kYes;
  r.bCom = s.Get(kKeyCom) == kYes;
  return true;
}

void AnswerSection(const BrokerKey& key, RequestSection& section, bool success, DWORD exitCode) {
  std::string requestMac = section.Get(kKeyMac);
  std::string status = success ? kStatusSuccess : kStatusError;
  std::string exitText = std::to_string(exitCode);
  section.keys.clear();
  section.Set(kKeyStatus, status);
  section.Set(kKeyExit, exitText);
  section.Set(kKeyAnswer, AnswerCode(key, section.name, requestMac, status, exitText));
}

bool ReadAnswer(const BrokerKey& key, const RequestSection& s, const std::string& requestMac, bool& success,
                DWORD& exitCode) {
  std::string status = s.Get(kKeyStatus);
  if (status != kStatusSuccess && status != kStatusError) return false;
  std::string expected = AnswerCode(key, s.name, requestMac, status, s.Get(kKeyExit));
  if (expected.empty() || !SameCode(expected, s.Get(kKeyAnswer)) || !ParseNumber(s.Get(kKeyExit), exitCode))
    return false;
  success = status == kStatusSuccess;
  return true;
}

bool ParseLauncherLine(const CString& line, CString& appFolder, CString& command) {
  if (line.GetLength() < 2 || line[0] != '"') return false;
  int close = line.Find('"', 1);
  if (close < 0) return false;
  CString launcher = line.Mid(1, close - 1);
  command = line.Mid(close + 1);
  command.TrimLeft(' ');
  if (line[close + 1] != ' ' || (command.CompareNoCase("/install") != 0 && command.CompareNoCase("/uninstall") != 0))
    return false;
  int slash = launcher.ReverseFind('\\');
  if (slash <= 0 || launcher.Mid(slash + 1).CompareNoCase(kLauncherProgram) != 0) return false;
  appFolder = launcher.Left(slash);
  command.MakeLower();
  return true;
}
