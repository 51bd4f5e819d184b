// A frame as an 8-bit grey JPEG picture, for the MJPEG stream. Frames of 8 bits per
// pixel are taken as they are; frames of 16 bits (little-endian) are brought to 8 bits
// by their effective bits: the top 8 of them, so that a 12-bit camera fills the grey
// scale. Other depths are refused.
//
// Threading: pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/hvxview/view_frame.h"

// How far a 16-bit pixel of a frame with HEADER is shifted right to give its 8-bit
// grey: its effective bits less 8, or 8 when the effective bits (outside 9..16) say
// nothing useful. The page applies the same shift, sent with each frame.
int EightBitShift(const tools_common::FrameHeader& header);

// The frame's pixels as one byte each, as above. False with the reason in *error for a
// depth other than 1 or 2 bytes per pixel.
bool FrameToGrey8(const ViewFrame& frame, std::vector<uint8_t>* grey, std::string* error);

// Encodes FRAME as a baseline grey JPEG of the given quality (1 to 100) into *jpeg.
bool EncodeGreyJpeg(const ViewFrame& frame, int quality, std::string* jpeg, std::string* error);
