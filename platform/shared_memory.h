// Named shared memory: a server makes a region that clients on the same host map to
// read what it writes there (the library's frame ring), without a copy through a
// socket. The region is the user's alone: the creator makes it private, and a client
// maps only a region that the user owns and nobody else may read or write, so that
// another user can neither watch the frames nor feed a client frames of their own.
// A client's mapping is read-only. One implementation file per platform, chosen by
// the build; the rules for names and host identities are shared (shared_memory.cc).
//
// A name is a plain name (kSysSharedMemoryNameLimit characters at most of letters,
// digits, '.', '-' and '_', not starting with '.'); the platform's prefix is added
// here (POSIX "/", the object then lies in /dev/shm on Linux; Windows "Local\",
// the session's namespace).
//
// Ownership: the caller owns a SysSharedMemory from a successful create or open until
// SysCloseSharedMemory. Threading: any thread; one SysSharedMemory is not guarded, and
// its memory is shared with other processes with no lock at all: the format laid into
// it has to say who writes what when.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct SysSharedMemory;  // one mapping of a named region

inline constexpr size_t kSysSharedMemoryNameLimit = 64;
inline constexpr size_t kSysHostIdentityLimit = 63;

// Whether name may name a region (see above); when not, *why (if given) says so.
bool SysIsSharedMemoryName(const char* name, std::string* why = nullptr);

// The server's side: makes the region name of size bytes (size > 0), private to the
// user, zero-filled, mapped read-write. On POSIX a region of that name left behind (by
// a crashed server of the same name, or still used by a live one) is removed first and
// a new object made, never an existing one reused; on Windows a name still in use (by
// any process) is refused, as a region can't outlive its last user there. Null with
// *why set (a text for the user's log) on failure.
SysSharedMemory* SysCreateSharedMemory(const char* name, size_t size, std::string* why);

// The client's side: maps the existing region name read-only. Null with *why set when
// it doesn't exist, is not a shared-memory object, is owned by another user, may be
// written or read by anyone else, is smaller than minimumSize bytes, or can't be
// mapped. What was judged is what gets mapped (the open object, not the name again).
// The owner may still shrink the region later; the user's own processes are trusted
// not to.
SysSharedMemory* SysOpenSharedMemory(const char* name, size_t minimumSize, std::string* why);

// The mapping: writable for the creator, read-only for a client (a write faults).
uint8_t* SysSharedMemoryData(SysSharedMemory* memory);

// The mapping's size: as created for the creator; for a client, the region's size as
// the system tells it (on Windows rounded up to whole pages).
size_t SysSharedMemorySize(const SysSharedMemory* memory);

// Unmaps and frees memory (null is harmless). The creator's close also removes the
// name (POSIX: unless the name now holds another object, made by a later creator;
// Windows: the name goes with the last open handle). A client that still maps the
// region keeps its mapping, and a client that opens later finds nothing.
void SysCloseSharedMemory(SysSharedMemory* memory);

// Whether a region of that name exists now, whoever owns it.
bool SysSharedMemoryExists(const char* name);

// A text that two processes share when they can share a region, and two machines (or
// two boots of one, or two containers with their own shared-memory namespaces) don't:
// Linux the boot's id and the shared-memory file system's device, other POSIX systems
// the host name; Windows the machine's id (or computer name) and the session. At most
// kSysHostIdentityLimit printable ASCII characters, no spaces. False when none is found;
// the caller then doesn't use shared memory.
bool SysHostIdentity(std::string* identity);

// Whether text can be a host identity: 1 to kSysHostIdentityLimit printable ASCII
// characters but space (a peer's answer is checked with this before it is compared).
bool SysIsHostIdentity(const std::string& text);
