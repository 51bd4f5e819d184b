// Local delivery: frames for a subscriber on the server's own host go through the
// server's frame ring in shared memory (frame_ring.h) instead of TCP. A client that may
// use it sends its host's identity with each subscription; a server that may use it
// and finds its own identity there answers that subscriber's frames through the ring
// (a notice, then the ring's doorbell where the client waits on it).
// Either side turns it off with ORNA_SHARED_MEMORY=0, and without a host identity
// (platform/shared_memory.h) it is off; TCP then carries everything, as it always does
// for other values than frames and for other hosts.
//
// Threading: any thread; the host's identity is looked up once per process, the
// variable at every call.
#pragma once

#include <string>

// This host's identity when this process may deliver or take frames locally; "" when
// it may not.
const std::string& OrnaLocalIdentity();

// What a client offers with a subscription to take its frames locally: the host's
// identity, followed by " doorbell" when it waits on the ring's doorbell
// (platform/shared_wait.h) and needs no message per frame. "" when it may not.
std::string OrnaLocalOffer();
// The server's reading of an offer: true when it comes from this host (and this
// process may deliver locally); *doorbell then says whether the client waits on it.
bool OrnaAcceptLocalOffer(const std::string& offered, bool* doorbell);

// The number of slots of a server's frame ring: ORNA_SHARED_MEMORY_SLOTS (2 to 64),
// else 8.
int OrnaFrameRingSlots();
