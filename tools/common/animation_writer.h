// Writing animation files, record by record: the first record's lead fixes the
// geometry, every record repeats it, and each frame's pixel bytes follow. The file is
// written under a temporary name beside the target and renamed only when complete, so
// a failed or interrupted write never leaves a half animation under the target name.
// Only a regular file is ever replaced: a device, a FIFO, a folder or a link at the
// target (or at the temporary name) is refused, since renaming over it would put a
// plain file in the place of a device node or of a link the user meant to write through.
//
// Ownership: the writer owns its open file; an uncommitted file is removed when the
// writer goes. Threading: one thread per writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "source/animation_file.h"

// True when path may receive a new animation: nothing is there, or a regular file (not
// a link to one). False with the reason in *error otherwise. The entry itself is looked
// at, never what a link points to.
bool CheckAnimationTarget(const std::string& path, std::string* error);

class AnimationWriter final {
 public:
  AnimationWriter() = default;
  ~AnimationWriter();
  AnimationWriter(const AnimationWriter&) = delete;
  AnimationWriter& operator=(const AnimationWriter&) = delete;

  // Starts a file at path for frames of geometry. False with the reason in *error, also
  // when path or its temporary name holds something else than a regular file.
  bool Open(const std::string& path, const AnimationGeometry& geometry, std::string* error);
  // The layout of one record (frame count and trailing bytes of a one-record file).
  const AnimationLayout& Layout() const { return layout_; }
  // Appends one record with Layout().pixelBytes bytes from pixels.
  bool Append(const uint8_t* pixels, std::string* error);
  // Closes the file and gives it its name, after looking at the target once more. False
  // with the reason in *error; the temporary file is removed then.
  bool Commit(std::string* error);

 private:
  void Discard();

  FILE* file_ = nullptr;
  std::string path_;
  std::string partPath_;
  AnimationLayout layout_;
  uint8_t lead_[kRecordLeadSize] = {};
};
