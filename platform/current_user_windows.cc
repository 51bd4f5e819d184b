#include "platform/current_user_windows.h"

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
