// Serving the requests of clients: each received message is checked before use and
// answered (calls, subscriptions, listings, the stock SRVEXIT). Main thread only.
#pragma once

#include "orna/transport.h"

// Serves one received message (routing id, header, input?).
void OrnaServeMessage(OrnaParts& parts);
