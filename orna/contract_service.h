// Serving contracts: subscribing and renewing, unsubscribing, reading contracts when
// their property is scheduled or their interval has passed, and handing each result
// to every subscriber. Main thread only.
#pragma once

#include <string>

#include "orna/wire.h"

void OrnaServeSubscribe(const std::string& client, const orna_wire::RequestHeader& request);
void OrnaServeUnsubscribe(const std::string& client, const orna_wire::RequestHeader& request);
