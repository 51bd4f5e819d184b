// Sending one answer of the server to one client, the step that serving requests and
// serving contracts share. Main thread only (it uses the server's socket).
#pragma once

#include <string>

#include "orna/transport.h"

// Sends an answer to one client; a gone client loses its contracts, a full queue
// drops the message (counted).
void OrnaAnswer(const std::string& routingId, const orna_wire::ReplyHeader& header,
                OrnaMessage* data);
