// The viewer's calls of the server's properties through the client library: one read
// of a value and one write of an int32, each bounded by the viewer's call timeout.
// Used by the status poller, the fault status and the control routes.
//
// Threading: blocking calls; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "orna/orna_client.h"

// How long the viewer waits for one answer of the server.
constexpr int kServerCallTimeoutMs = 1000;

// Reads COUNT elements of FORMAT of PROPERTY at DEVICE_ADDRESS (/CONTEXT/SERVER/DEVICE).
// False, with "DEVICE_ADDRESS PROPERTY: CODE TEXT" in *error and the code in
// reply->result, when the server refused, did not answer or sent less than one element.
bool ReadServerValue(const std::string& deviceAddress, const char* property, short format,
                     int32_t count, OrnaReply* reply, std::string* error);

// Writes VALUE as one int32 to PROPERTY at DEVICE_ADDRESS, waiting up to TIMEOUT_MS.
// The server's answer code in the return (a completion code above 512 is no failure),
// its text, or the library's text of the code, in *text.
int WriteServerInt32(const std::string& deviceAddress, const char* property, int32_t value,
                     int timeoutMs, std::string* text);
