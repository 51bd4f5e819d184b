// Windows shared memory (shared_memory.h): named file mappings backed by the paging
// file in the session's namespace ("Local\"). The creator gives the mapping a
// protected access list that grants the user alone, with the user as owner (an
// administrator's objects would otherwise belong to the administrators); a client
// judges the mapping it opened (its owner and access list, GetSecurityInfo) and maps
// a read-only view of it. A mapping lives while a handle or a view of it does; its
// name goes with the last handle, so the creator holds one and a client doesn't.
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/access_control_windows.h"
#include "platform/shared_memory.h"

struct SysSharedMemory {
  HANDLE mapping = nullptr;  // the creator's; null for a client
  uint8_t* data = nullptr;
  size_t size = 0;
};

namespace {

// The rights that let a holder change the mapping's contents or who may.
constexpr DWORD kWriteRights = FILE_MAP_WRITE | SECTION_EXTEND_SIZE | WRITE_DAC | WRITE_OWNER |
                               GENERIC_WRITE | GENERIC_ALL;
// The rights that let a holder read the contents.
constexpr DWORD kReadRights = FILE_MAP_READ | GENERIC_READ | GENERIC_ALL;

// The user and the system itself, which may do anything anyway.
bool IsTrustedSid(PSID sid) {
  PSID user = SysCurrentUserSid();
  return (user != nullptr && EqualSid(sid, user)) || IsWellKnownSid(sid, WinLocalSystemSid);
}

// Whether the access list grants anyone untrusted one of rights.
bool GrantsOthers(PACL acl, DWORD rights) {
  return SysAclGrantsOthers(acl, rights, IsTrustedSid);
}

std::string ObjectName(const char* name) { return std::string("Local\\") + name; }

std::string Failure(const std::string& what, const std::string& object) {
  return what + " shared memory " + object + " (error " + std::to_string(GetLastError()) + ")";
}

// Whether the open mapping may be mapped by a client; *why says why not.
bool Acceptable(HANDLE mapping, const std::string& object, std::string* why) {
  PSID owner = nullptr;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetSecurityInfo(mapping, SE_KERNEL_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &acl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) {
    *why = "can't look at shared memory " + object + " (error " + std::to_string(error) + ")";
    return false;
  }
  PSID user = SysCurrentUserSid();
  bool ok = false;
  if (owner == nullptr || user == nullptr || !EqualSid(owner, user)) {
    *why = "shared memory " + object + " is owned by another user";
  } else if (GrantsOthers(acl, kWriteRights)) {
    *why = "shared memory " + object + " may be written by other users";
  } else if (GrantsOthers(acl, kReadRights)) {
    *why = "shared memory " + object + " may be read by other users";
  } else {
    ok = true;
  }
  LocalFree(descriptor);
  return ok;
}

// A security descriptor that grants the user alone everything, inherits nothing and
// names the user as owner.
struct PrivateDescriptor {
  SECURITY_DESCRIPTOR descriptor;
  alignas(DWORD) unsigned char
      acl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
};

bool MakePrivateDescriptor(PrivateDescriptor* made) {
  PSID user = SysCurrentUserSid();
  if (user == nullptr) return false;
  PACL acl = reinterpret_cast<PACL>(made->acl);
  return InitializeSecurityDescriptor(&made->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         InitializeAcl(acl, sizeof made->acl, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, SECTION_ALL_ACCESS | STANDARD_RIGHTS_ALL, user) &&
         SetSecurityDescriptorDacl(&made->descriptor, TRUE, acl, FALSE) &&
         SetSecurityDescriptorOwner(&made->descriptor, user, FALSE) &&
         SetSecurityDescriptorControl(&made->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

}  // namespace

SysSharedMemory* SysCreateSharedMemory(const char* name, size_t size, std::string* why) {
  why->clear();
  if (!SysIsSharedMemoryName(name, why)) return nullptr;
  if (size == 0) {
    *why = "bad shared memory size 0";
    return nullptr;
  }
  const std::string object = ObjectName(name);
  PrivateDescriptor descriptor;
  if (!MakePrivateDescriptor(&descriptor)) {
    *why = Failure("can't describe the access to", object);
    return nullptr;
  }
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor.descriptor, FALSE};
  uint64_t wide = size;
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &security, PAGE_READWRITE,
                                      static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide),
                                      object.c_str());
  if (mapping == nullptr) {
    *why = Failure("can't make", object);
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Someone holds the name: never take over their mapping (with their access list).
    CloseHandle(mapping);
    *why = "shared memory " + object + " is still in use by another process";
    return nullptr;
  }
  void* data = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
  if (data == nullptr) {
    *why = Failure("can't map", object);
    CloseHandle(mapping);
    return nullptr;
  }
  SysSharedMemory* memory = new (std::nothrow) SysSharedMemory;
  if (memory == nullptr) {
    UnmapViewOfFile(data);
    CloseHandle(mapping);
    *why = "out of memory for shared memory " + object;
    return nullptr;
  }
  memory->mapping = mapping;
  memory->data = static_cast<uint8_t*>(data);
  memory->size = size;
  return memory;
}

SysSharedMemory* SysOpenSharedMemory(const char* name, size_t minimumSize, std::string* why) {
  why->clear();
  if (!SysIsSharedMemoryName(name, why)) return nullptr;
  const std::string object = ObjectName(name);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | READ_CONTROL, FALSE, object.c_str());
  if (mapping == nullptr) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      *why = "shared memory " + object + " does not exist";
    } else if (error == ERROR_INVALID_HANDLE) {
      *why = "shared memory " + object + " is not a shared-memory object";
    } else if (error == ERROR_ACCESS_DENIED) {
      *why = "shared memory " + object + " is owned by another user";
    } else {
      *why = Failure("can't open", object);
    }
    return nullptr;
  }
  void* data = nullptr;
  MEMORY_BASIC_INFORMATION region = {};
  if (Acceptable(mapping, object, why)) {
    data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (data == nullptr) {
      *why = Failure("can't map", object);
    } else if (VirtualQuery(data, &region, sizeof region) != sizeof region) {
      *why = Failure("can't size", object);
    } else if (region.RegionSize < minimumSize) {
      *why = "shared memory " + object + " is smaller than " + std::to_string(minimumSize) +
             " bytes (" + std::to_string(region.RegionSize) + ")";
    } else {
      CloseHandle(mapping);  // the view keeps the mapping
      SysSharedMemory* memory = new (std::nothrow) SysSharedMemory;
      if (memory != nullptr) {
        memory->data = static_cast<uint8_t*>(data);
        memory->size = region.RegionSize;
        return memory;
      }
      UnmapViewOfFile(data);
      *why = "out of memory for shared memory " + object;
      return nullptr;
    }
  }
  if (data != nullptr) UnmapViewOfFile(data);
  CloseHandle(mapping);
  return nullptr;
}

uint8_t* SysSharedMemoryData(SysSharedMemory* memory) { return memory->data; }

size_t SysSharedMemorySize(const SysSharedMemory* memory) { return memory->size; }

void SysCloseSharedMemory(SysSharedMemory* memory) {
  if (memory == nullptr) return;
  UnmapViewOfFile(memory->data);
  if (memory->mapping != nullptr) CloseHandle(memory->mapping);
  delete memory;
}

bool SysSharedMemoryExists(const char* name) {
  if (!SysIsSharedMemoryName(name)) return false;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, ObjectName(name).c_str());
  if (mapping != nullptr) {
    CloseHandle(mapping);
    return true;
  }
  // One the user may not open, or another kind of object of that name, exists too.
  DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE;
}

bool SysHostIdentity(std::string* identity) {
  identity->clear();
  // The machine's id, made at installation, tells machines apart; the session tells
  // apart the namespaces ("Local\") that a region lives in.
  char machine[64] = {};
  DWORD length = sizeof machine;
  LSTATUS read = RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Cryptography",
                              "MachineGuid", RRF_RT_REG_SZ, nullptr,
                              machine, &length);
  std::string text;
  if (read == ERROR_SUCCESS) text = machine;
  if (!SysIsHostIdentity(text)) {
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    length = sizeof computer;
    if (!GetComputerNameA(computer, &length)) return false;
    text = computer;
  }
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
    char suffix[16];
    snprintf(suffix, sizeof suffix, ":%lu", static_cast<unsigned long>(session));
    if (text.size() > kSysHostIdentityLimit - strlen(suffix))
      text.resize(kSysHostIdentityLimit - strlen(suffix));
    text += suffix;
  }
  if (!SysIsHostIdentity(text)) return false;
  *identity = text;
  return true;
}
