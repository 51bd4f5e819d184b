#include "platform/access_control_windows.h"

namespace {

struct UserSid {
  bool known = false;
  alignas(DWORD) unsigned char bytes[SECURITY_MAX_SID_SIZE];
};

UserSid ReadUserSid() {
  UserSid user;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD used = 0;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &used)) {
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    user.known = CopySid(sizeof user.bytes, user.bytes, sid) != 0;
  }
  CloseHandle(token);
  return user;
}

}  // namespace

PSID SysCurrentUserSid() {
  static UserSid user = ReadUserSid();
  return user.known ? static_cast<PSID>(user.bytes) : nullptr;
}

bool SysAclGrantsOthers(PACL acl, DWORD rights, bool (*trusted)(PSID sid)) {
  if (acl == nullptr) return true;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(acl, i, &entry)) return true;
    ACE_HEADER* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0)
      continue;
    ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & rights) != 0 && !trusted(&allowed->SidStart)) return true;
  }
  return false;
}
