// The line ornactl prints for one call answer or one contract delivery: readable text
// by default, one JSON object with --json. The value is decoded by its format: numbers,
// texts, 188-byte frame headers (514) and frames (567, header plus pixel count and
// CRC-32). Data that doesn't match its count is decoded only as far as it is present
// and the mismatch is reported in the line. The readable line is built in
// human_reply_line.cc, the JSON one in json_reply_line.cc. Pure functions; any thread.
#pragma once

#include <string>

#include "tools/common/reply_values.h"

namespace ornactl {

using tools_common::ReplyData;

// "result 0: 42", "result 36: illegal property", ... without a line end.
std::string HumanReplyLine(const ReplyData& reply);

// {"result":0,"text":null,"format":515,"count":1,"timestamp":...,"value":42}, without a
// line end. Deliveries add "sequence"; "problem" appears when the data is inconsistent
// with its format or count, "png" when a file was saved.
std::string JsonReplyLine(const ReplyData& reply);

}  // namespace ornactl
