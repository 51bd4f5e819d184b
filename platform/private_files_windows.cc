// Windows implementation of private files and folders (private_files.h). A private
// folder or file gets a protected access list (nothing inherited) that grants the
// user alone. An entry is the user's own when its owner (GetSecurityInfo) is the user
// of the process token (GetTokenInformation, TokenUser), the local system or the
// administrators; others may write it when its access list is null or allows a right
// that changes it to anyone but those.
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cstring>

#include "platform/access_control_windows.h"
#include "platform/private_files.h"
#include "platform/processes.h"
#include "platform/write_all_windows.h"

namespace {

// The rights that let a holder replace, change or delete an entry, or its contents.
constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                               WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsTrustedSid(PSID sid) {
  PSID user = SysCurrentUserSid();
  return (user != nullptr && EqualSid(sid, user)) || IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// The rights that let a holder read an entry's contents.
constexpr DWORD kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

// Whether the access list grants anyone untrusted one of rights.
bool GrantsOthers(PACL acl, DWORD rights) {
  return SysAclGrantsOthers(acl, rights, IsTrustedSid);
}

// Fills info from an open handle (opened with READ_CONTROL). False when the handle
// can't be looked at.
bool Describe(HANDLE handle, SysEntryInfo* info) {
  BY_HANDLE_FILE_INFORMATION file;
  if (!GetFileInformationByHandle(handle, &file)) return false;
  PSID owner = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION |
                      DACL_SECURITY_INFORMATION, &owner, nullptr, &acl, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  if (owner == nullptr || !IsTrustedSid(owner)) {
    info->privacy = kSysForeignOwner;
  } else if (GrantsOthers(acl, kWriteRights)) {
    info->privacy = kSysWritableByOthers;
  } else {
    info->privacy = kSysPrivate;
  }
  info->readableByOthers = GrantsOthers(acl, kReadRights);
  LocalFree(descriptor);
  if ((file.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    info->kind = kSysOtherEntry;  // a link or junction, looked at itself
  } else if ((file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info->kind = kSysFolder;
  } else if (GetFileType(handle) == FILE_TYPE_DISK) {
    info->kind = kSysRegularFile;
  } else {
    info->kind = kSysOtherEntry;
  }
  info->stamp[0] = file.dwVolumeSerialNumber;
  info->stamp[1] = (uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
  info->stamp[2] = (uint64_t{file.nFileSizeHigh} << 32) | file.nFileSizeLow;
  info->stamp[3] = (uint64_t{file.ftLastWriteTime.dwHighDateTime} << 32) |
                   file.ftLastWriteTime.dwLowDateTime;
  return true;
}

// Opens path itself (a link is not followed; a folder opens too) with the given rights.
HANDLE OpenEntry(const char* path, DWORD rights) {
  return CreateFileA(path, rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A security descriptor that grants the user alone everything and inherits nothing;
// folders pass it on to what is made inside them.
struct PrivateDescriptor {
  SECURITY_DESCRIPTOR descriptor;
  alignas(DWORD) unsigned char
      acl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
};

bool MakePrivateDescriptor(bool folder, PrivateDescriptor* made) {
  PSID user = SysCurrentUserSid();
  if (user == nullptr) return false;
  PACL acl = reinterpret_cast<PACL>(made->acl);
  DWORD inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
  return InitializeSecurityDescriptor(&made->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         InitializeAcl(acl, sizeof made->acl, ACL_REVISION) &&
         AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, user) &&
         SetSecurityDescriptorDacl(&made->descriptor, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&made->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

}  // namespace

std::string SysUserRuntimeFolder(const char* name) {
  char folder[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", folder, sizeof folder);
  if (length > 0 && length < sizeof folder) return std::string(folder) + "\\" + name;
  // The temporary folder is the user's own too, and ends with a backslash.
  length = GetTempPathA(sizeof folder, folder);
  if (length > 0 && length < sizeof folder) return std::string(folder) + name;
  return name;
}

bool SysMakePrivateFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return true;
  PrivateDescriptor descriptor;
  if (!MakePrivateDescriptor(true, &descriptor)) return false;
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor.descriptor, FALSE};
  return CreateDirectoryA(path, &security) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool SysInspectEntry(const char* path, SysEntryInfo* info) {
  *info = SysEntryInfo{};
  HANDLE entry = OpenEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (entry == INVALID_HANDLE_VALUE) return false;
  bool described = Describe(entry, info);
  CloseHandle(entry);
  if (!described) *info = SysEntryInfo{};
  return described;
}

bool SysReadPrivateFile(const char* path, char* buffer, size_t size, size_t* length,
                        SysEntryInfo* info) {
  *info = SysEntryInfo{};
  *length = 0;
  if (size > 0) buffer[0] = '\0';
  HANDLE file = OpenEntry(path, GENERIC_READ | READ_CONTROL);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = Describe(file, info);
  if (!ok) *info = SysEntryInfo{};
  ok = ok && info->kind == kSysRegularFile && size > 0;
  while (ok && *length < size - 1) {
    size_t room = size - 1 - *length;
    DWORD chunk = room > 0x40000000 ? 0x40000000 : static_cast<DWORD>(room);
    DWORD got = 0;
    if (!ReadFile(file, buffer + *length, chunk, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    *length += got;
  }
  CloseHandle(file);
  if (size > 0) buffer[ok ? *length : 0] = '\0';
  if (!ok) *length = 0;
  return ok;
}

bool SysWritePrivateFile(const char* path, const void* data, size_t size) {
  char temporary[MAX_PATH * 4];
  if (snprintf(temporary, sizeof temporary, "%s.tmp.%lld", path,
               static_cast<long long>(SysProcessId())) >= static_cast<int>(sizeof temporary))
    return false;
  DeleteFileA(temporary);  // a stale one of an earlier process with this id
  PrivateDescriptor descriptor;
  if (!MakePrivateDescriptor(false, &descriptor)) return false;
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor.descriptor, FALSE};
  HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, &security, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = WindowsWriteAll(file, static_cast<const char*>(data), size);
  if (!CloseHandle(file)) written = false;
  if (written && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temporary);
  return false;
}
