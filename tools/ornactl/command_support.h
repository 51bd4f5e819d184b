// Helpers shared by the commands of ornactl: checking the call options, finding the
// output a property registered, turning a library reply into a printable line, and
// printing. Main thread.
#pragma once

#include <string>

#include "orna/orna_client.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/output_choice.h"
#include "tools/ornactl/reply_line.h"

namespace ornactl {

using tools_common::ReplyData;

// For the long-running commands (monitor, record): makes Ctrl+C, Ctrl+Break, closing
// the console and shutdown (on POSIX SIGINT, SIGQUIT, SIGHUP and SIGTERM) ask the
// command to stop once it takes requests (platform/stop_request.h), so that it ends its
// subscription at the server instead of leaving it to expire, and a recording keeps its
// frames; until then they end ornactl as by default. Called first thing, before the
// library starts a thread. Prints a warning when they can't be caught.
void CatchStopRequests();

// Prints "ornactl: MESSAGE" to stderr and answers kExitUsage.
int UsageError(const std::string& message);

// Prints LINE and a line end to stdout and flushes, so that a script reading a monitor
// sees each delivery when it happens. Answers false when stdout can't be written (for
// example a pipe whose reader has gone, when SIGPIPE is ignored).
bool PrintLine(const std::string& line);

// Checks the address, the --format text, --count (at least 1) and --timeout (not
// negative); on success stores the parsed format (or FALLBACK when none was given).
// Answers kExitOk or, after printing the reason, kExitUsage.
int CheckCallOptions(const CallOptions& options, short fallback, short* format);

// The output format and count for reading OPTIONS.property: lists the device's
// properties when the options leave format or count open, then applies ChooseOutput.
OutputChoice ResolveOutput(const CallOptions& options, short givenFormat);

// The reply as a line shows it; a result other than 0 without text gets the library's
// error text.
ReplyData ToReplyData(const OrnaReply& reply, bool isDelivery);

// The line for REPLY in the chosen style.
std::string ReplyLine(const ReplyData& reply, bool json);

}  // namespace ornactl
