// Grey PNG pictures as the tools read and write them (`immtool import` and `export`,
// `ornactl monitor --save-png`): 8-bit grey, one byte per pixel, and 16-bit grey, two
// bytes per pixel held little-endian in memory as in animation files and frames
// (PNG itself stores them big-endian; the conversion happens here). Other colour types
// and depths are refused with a reason, never guessed at.
//
// A picture is read only when the server could play it as a frame: its pixel bytes must
// fit a frame slot. That is checked from the header before any memory is taken for the
// pixels, and a file can't make the readers take more memory than its pictures need
// (a header or chunk that claims gigabytes in a few bytes is refused, not believed).
//
// Threading: any thread; each call works on its own file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/frame_slot.h"

// The most pixel bytes a picture may have: what one frame slot of the server holds.
constexpr uint64_t kLargestGreyPicture = kSlotPixelCapacity;

// Why a picture of width x height pixels of bitDepth bits can't be a frame (it is
// larger than kLargestGreyPicture), or empty when it can.
std::string GreyPictureTooLarge(uint64_t width, uint64_t height, int bitDepth);

struct GreyImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 0;         // 8 or 16
  int significantBits = 0;  // from the file's sBIT chunk, else bitDepth
  std::vector<uint8_t> pixels;  // rows one after another, no padding
};

// Reads the PNG at path. False with the reason in *error for a file that isn't a
// PNG, is damaged, isn't 8- or 16-bit grey without alpha, or is larger than a frame.
bool ReadGreyPng(const std::string& path, GreyImage* image, std::string* error);

// Writes width x height pixels of bitDepth 8 or 16 as a grey PNG at path, through a
// temporary file beside it (path + ".part") that is renamed when complete, so that
// path never holds half a picture. False with the reason (naming path) in *error; no
// file is left behind then.
bool WriteGreyPng(const std::string& path, uint32_t width, uint32_t height, int bitDepth,
                  const uint8_t* pixels, std::string* error);

// The same picture as WriteGreyPng writes, into *png instead of a file (the viewer's
// /frame.png). False with the reason in *error.
bool EncodeGreyPng(uint32_t width, uint32_t height, int bitDepth, const uint8_t* pixels,
                   std::string* png, std::string* error);
