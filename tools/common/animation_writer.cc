#include "tools/common/animation_writer.h"

#include <cerrno>
#include <cstring>

#include "platform/private_files.h"
#include "platform/sys.h"

namespace {

std::string Reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool CheckAnimationTarget(const std::string& path, std::string* error) {
  SysEntryInfo info;
  if (!SysInspectEntry(path.c_str(), &info) || info.kind == kSysRegularFile) return true;
  *error = path +
           (info.kind == kSysFolder ? " is a folder"
                                    : " is not a regular file (a link, a device or a FIFO)") +
           "; it is not replaced";
  return false;
}

AnimationWriter::~AnimationWriter() { Discard(); }

void AnimationWriter::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(partPath_.c_str());
}

bool AnimationWriter::Open(const std::string& path, const AnimationGeometry& geometry,
                           std::string* error) {
  Discard();
  path_ = path;
  partPath_ = path + ".part";
  layout_ = ComputeAnimationLayout(geometry, 0);
  EncodeRecordLead(geometry, lead_);
  if (!CheckAnimationTarget(path_, error) || !CheckAnimationTarget(partPath_, error)) {
    return false;
  }
  file_ = std::fopen(partPath_.c_str(), "wb");
  if (file_ == nullptr) {
    *error = Reason("cannot create", partPath_);
    return false;
  }
  return true;
}

bool AnimationWriter::Append(const uint8_t* pixels, std::string* error) {
  static const uint8_t kTrail[kRecordTrailSize] = {};
  if (file_ == nullptr) {
    *error = "no animation file is open";
    return false;
  }
  const size_t pixelBytes = static_cast<size_t>(layout_.pixelBytes);
  if (std::fwrite(lead_, 1, sizeof lead_, file_) != sizeof lead_ ||
      std::fwrite(pixels, 1, pixelBytes, file_) != pixelBytes ||
      std::fwrite(kTrail, 1, sizeof kTrail, file_) != sizeof kTrail) {
    *error = Reason("cannot write", partPath_);
    Discard();
    return false;
  }
  return true;
}

bool AnimationWriter::Commit(std::string* error) {
  if (file_ == nullptr) {
    *error = "no animation file is open";
    return false;
  }
  FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    *error = Reason("cannot write", partPath_);
    std::remove(partPath_.c_str());
    return false;
  }
  // Something may have been put at the target since Open.
  if (!CheckAnimationTarget(path_, error)) {
    std::remove(partPath_.c_str());
    return false;
  }
  if (!SysRenameFile(partPath_.c_str(), path_.c_str())) {
    *error = Reason("cannot rename to", path_);
    std::remove(partPath_.c_str());
    return false;
  }
  return true;
}
