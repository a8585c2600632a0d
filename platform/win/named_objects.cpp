#include "platform/win/named_objects.h"

OpenSecurityAttributes::OpenSecurityAttributes(bool inheritable) {
  InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&m_sd, TRUE, nullptr, FALSE);
  m_sa = {sizeof m_sa, &m_sd, inheritable ? TRUE : FALSE};
}
