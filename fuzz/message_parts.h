// How a fuzz input carries protocol messages of several parts: a sequence of
// messages, each one byte giving its number of parts, then per part a 16-bit
// little-endian length and that many bytes. A message or part cut short by the end of
// the input is taken as far as it goes. The seed corpus is written in this form
// (make_seeds.cc).
//
// Threading: pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The most parts a message may have here: more than any side of the protocol takes.
constexpr size_t kMaxFuzzParts = 6;

using FuzzMessage = std::vector<std::string>;

// Splits DATA into its messages.
std::vector<FuzzMessage> SplitFuzzMessages(const uint8_t* data, size_t size);

// The inverse, for writing seeds: appends MESSAGE (at most kMaxFuzzParts parts of at
// most 65,535 bytes each) to OUT.
void AppendFuzzMessage(const FuzzMessage& message, std::string* out);
