// Server-side steps shared by the library's files. Main thread only.
#pragma once

#include <string>

#include "orna/transport.h"

// Withdraws the names entry and closes the transport, letting queued answers out.
void OrnaShutdownServer();
// Serves one received message (routing id, header, input?).
void OrnaServeMessage(OrnaParts& parts);
// Reads the contracts of the properties scheduled since the last cycle.
void OrnaServeScheduled();
// Reads the contracts whose time has come.
void OrnaServeContractTimers();
// Sends an answer to one client; a gone client loses its contracts, a full queue
// drops the message (counted).
void OrnaAnswer(const std::string& routingId, const orna_wire::ReplyHeader& header,
                OrnaMessage* data);
