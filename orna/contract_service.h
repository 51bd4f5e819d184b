// Serving contracts: subscribing and renewing, unsubscribing, reading contracts when
// their property is scheduled or their interval has passed, and handing each result
// to every subscriber. Contracts on a property the module schedules are served from
// the scheduled reads alone: one read per schedule, device and format serves them all,
// so no contract uses up a frame that is sent once per frame before another got it.
// Main thread only.
#pragma once

#include <string>

#include "orna/wire.h"

// CLIENT is the connection's routing id, PARTY who it belongs to (OrnaPartyOf). INPUT
// is the request's input: the client's host identity when it can take frames through
// shared memory (local_delivery.h), else empty.
void OrnaServeSubscribe(const std::string& client, const std::string& party,
                        const orna_wire::RequestHeader& request, const std::string& input);
void OrnaServeUnsubscribe(const std::string& client, const orna_wire::RequestHeader& request);
// Reads the contracts of the properties scheduled since the last cycle.
void OrnaServeScheduled();
// Reads the contracts whose time has come.
void OrnaServeContractTimers();
