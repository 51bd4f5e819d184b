// Writing animation files, record by record: the first record's lead fixes the
// geometry, every record repeats it, and each frame's pixel bytes follow. The file is
// written under a temporary name beside the target and renamed only when complete, so
// a failed or interrupted write never leaves a half animation under the target name.
//
// Ownership: the writer owns its open file; an uncommitted file is removed when the
// writer goes. Threading: one thread per writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "source/animation_file.h"

class AnimationWriter final {
 public:
  AnimationWriter() = default;
  ~AnimationWriter();
  AnimationWriter(const AnimationWriter&) = delete;
  AnimationWriter& operator=(const AnimationWriter&) = delete;

  // Starts a file at path for frames of geometry. False with the reason in *error.
  bool Open(const std::string& path, const AnimationGeometry& geometry, std::string* error);
  // The layout of one record (frame count and trailing bytes of a one-record file).
  const AnimationLayout& Layout() const { return layout_; }
  // Appends one record with Layout().pixelBytes bytes from pixels.
  bool Append(const uint8_t* pixels, std::string* error);
  // Closes the file and gives it its name. False with the reason in *error.
  bool Commit(std::string* error);

 private:
  void Discard();

  FILE* file_ = nullptr;
  std::string path_;
  std::string partPath_;
  AnimationLayout layout_;
  uint8_t lead_[kRecordLeadSize] = {};
};
