// Multi-page grey TIFF files as the tools read and write them (`immtool import` of a
// stack, `immtool export` to one file): one page per frame, 8-bit grey or 16-bit grey
// held little-endian in memory as in animation files and frames (libtiff gives and
// takes samples in the host's order; the conversion happens here). Pages in colour,
// with more than one sample per pixel, of other depths or sample formats are refused
// with a reason, never guessed at. Effective bits of 16-bit pages travel in the
// MaxSampleValue tag.
//
// Reading is bounded by the page itself: a page larger than a frame slot
// (kLargestGreyPicture) is refused from its header, tiles must lie within the page,
// and no single allocation of libtiff may exceed what such a page needs, so a file of a
// few kilobytes that declares gigabyte tiles or strips fails with a reason at once.
//
// Threading: libtiff reports errors through one process-wide handler, so these are
// for one thread of the process at a time (the tools are single-threaded).
#pragma once

#include <cstdint>
#include <string>

#include "tools/common/grey_png.h"

typedef struct tiff TIFF;

// True for names ending in ".tif" or ".tiff", in any case.
bool IsTiffName(const std::string& path);

// Reads the pages of one file in order.
class GreyTiffReader final {
 public:
  enum class Next { kPage, kEnd, kFailed };

  GreyTiffReader() = default;
  ~GreyTiffReader();
  GreyTiffReader(const GreyTiffReader&) = delete;
  GreyTiffReader& operator=(const GreyTiffReader&) = delete;

  // False with the reason (naming path) in *error when path isn't a readable TIFF.
  bool Open(const std::string& path, std::string* error);
  // The next page into *image: kPage, kEnd after the last, kFailed with the reason
  // (naming the file and page, from 1) in *error.
  Next NextPage(GreyImage* image, std::string* error);

 private:
  bool ReadPage(GreyImage* image, std::string* error);

  TIFF* tiff_ = nullptr;
  std::string path_;
  int page_ = 0;  // pages read so far
};

// Writes pages one after another to a temporary file beside the target, renamed to it
// by Commit; a writer that goes without Commit removes the temporary file.
class GreyTiffWriter final {
 public:
  GreyTiffWriter() = default;
  ~GreyTiffWriter();
  GreyTiffWriter(const GreyTiffWriter&) = delete;
  GreyTiffWriter& operator=(const GreyTiffWriter&) = delete;

  // PAGE_COUNT pages of about PIXEL_BYTES each will follow; files too large for a
  // classic TIFF are written as BigTIFF.
  bool Open(const std::string& path, uint32_t pageCount, uint64_t pixelBytes,
            std::string* error);
  // One page of width x height pixels of bitDepth 8 or 16, significantBits of them used.
  bool AddPage(uint32_t width, uint32_t height, int bitDepth, int significantBits,
               const uint8_t* pixels, std::string* error);
  bool Commit(std::string* error);

 private:
  void Discard();

  TIFF* tiff_ = nullptr;
  std::string path_;
  std::string partPath_;
  uint32_t pageCount_ = 0;
  uint32_t written_ = 0;
};
