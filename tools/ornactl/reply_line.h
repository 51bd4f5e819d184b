// The line ornactl prints for one call answer or one contract delivery: readable text
// by default, one JSON object with --json. The value is decoded by its format: numbers,
// texts, 188-byte frame headers (514) and frames (567, header plus pixel count and
// CRC-32). Data that doesn't match its count is decoded only as far as it is present
// and the mismatch is reported in the line. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornactl {

// One answer or delivery as the line shows it. `bytes` (size bytes) is only read, and
// only within `size`.
struct ReplyData {
  int result = 0;
  std::string text;         // completion or error text; the caller fills in the library's
                            // error text for results other than 0 that came without one
  short format = 0;
  int32_t count = 0;
  double stamp = 0.0;
  bool isDelivery = false;  // deliveries also show their sequence number
  uint32_t sequence = 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  std::string savedPath;    // the PNG file written for this frame, if any
};

// "result 0: 42", "result 36: illegal property", ... without a line end.
std::string HumanReplyLine(const ReplyData& reply);

// {"result":0,"text":null,"format":515,"count":1,"timestamp":...,"value":42}, without a
// line end. Deliveries add "sequence"; "problem" appears when the data is inconsistent
// with its format or count, "png" when a file was saved.
std::string JsonReplyLine(const ReplyData& reply);

// What is wrong with the data of REPLY (fewer bytes than its count needs, an
// inconsistent frame); empty when nothing is. Results other than 0 carry no data to judge.
std::string ReplyDataProblem(const ReplyData& reply);

}  // namespace ornactl
