// The --http value of hvxview: HOST:PORT, with an IPv6 host in brackets
// ("[::1]:8080"). Port 0 lets the system choose one.
//
// Threading: pure function; any thread.
#pragma once

#include <string>

// Splits TEXT into *host (brackets removed) and *port (0 to 65535). False with the
// reason in *error for a missing host or colon, or a port that isn't a number in range.
bool ParseListenAddress(const std::string& text, std::string* host, int* port,
                        std::string* error);
