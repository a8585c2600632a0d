#include "platform/win/named_objects.h"

#include "platform/win/handles.h"

#include <sddl.h>

#include <string>
#include <vector>

namespace {

// The user of this process as SDDL text ("S-1-5-21-..."); empty when it cannot be read.
std::string ProcessUserSid() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return std::string();
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return std::string();
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::string();
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return std::string();
  std::string sid = text;
  LocalFree(text);
  return sid;
}

}  // namespace

UserSecurityAttributes::UserSecurityAttributes(bool inheritable) {
  std::string user = ProcessUserSid();
  // Protected list (no inherited entries): all access for the user and for BUILTIN\Administrators.
  std::string sddl = "D:P(A;;GA;;;" + user + ")(A;;GA;;;BA)";
  if (user.empty() ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr))
    m_descriptor = nullptr;
  m_sa = {sizeof m_sa, m_descriptor, inheritable ? TRUE : FALSE};
}

UserSecurityAttributes::~UserSecurityAttributes() {
  if (m_descriptor) LocalFree(m_descriptor);
}
