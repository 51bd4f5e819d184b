// Files and folders that belong to the user alone. The library's names directory keeps
// in them which server listens where; anyone else who could write there could point
// clients at a server of their own. This interface makes such folders and files
// private (POSIX: modes 0700 and 0600; Windows: a protected access list that grants the
// user alone) and tells who owns an entry and whether others may write it; what to
// trust is decided by the caller.
//
// A path is taken as it is: a link is looked at itself, never followed.
//
// Threading: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum SysEntryKind {
  kSysNoEntry,       // missing, or it can't be looked at
  kSysFolder,
  kSysRegularFile,
  kSysOtherEntry,    // a link, a device, a pipe...
};

enum SysPrivacy {
  kSysPrivate,           // the user's own (or the system's) and writable by nobody else
  kSysForeignOwner,      // owned by another user
  kSysWritableByOthers,  // the user's own, but others may write it too
};

struct SysEntryInfo {
  SysEntryKind kind = kSysNoEntry;
  SysPrivacy privacy = kSysPrivate;  // meaningful when kind is not kSysNoEntry
  bool readableByOthers = false;     // anyone but the owner and the system may read it
  // Differs between two looks at a path when the entry was replaced or written in
  // between (its volume, file number, size and modification time).
  uint64_t stamp[4] = {};
};

// The folder for the user's private run-time files of the given name: POSIX
// $XDG_RUNTIME_DIR/name, or /tmp/name-<uid> without it; Windows %LOCALAPPDATA%\name,
// or name in the user's temporary folder without it. Not made here.
std::string SysUserRuntimeFolder(const char* name);

// Makes the folder at path, private, when it doesn't exist yet. True when it exists
// now, whoever made it and whatever it is like (look with SysInspectEntry); false when
// it can't be made.
bool SysMakePrivateFolder(const char* path);

// What the entry at path is, who owns it and who may write it. False when it doesn't
// exist or can't be looked at (info->kind is then kSysNoEntry).
bool SysInspectEntry(const char* path, SysEntryInfo* info);

// Reads the regular file at path into buffer: at most size - 1 bytes, then a zero;
// *length gets the count. *info is taken from the open file itself, so that what was
// judged is what was read. False when path can't be opened (info->kind is then
// kSysNoEntry), is not a regular file, or the read fails.
bool SysReadPrivateFile(const char* path, char* buffer, size_t size, size_t* length,
                        SysEntryInfo* info);

// Writes the file at path whole: into a new private file beside it first, then renamed
// over path, so that a reader sees the old contents or the new, never a part. False on
// any failure, which leaves path as it was and no temporary file behind.
bool SysWritePrivateFile(const char* path, const void* data, size_t size);
