// Local delivery: frames for a subscriber on the server's own host go through the
// server's frame ring in shared memory (frame_ring.h) instead of TCP. A client that may
// use it sends its host's identity with each subscription; a server that may use it
// and finds its own identity there answers that subscriber's frames with ring notices.
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

// The number of slots of a server's frame ring: ORNA_SHARED_MEMORY_SLOTS (2 to 64),
// else 8.
int OrnaFrameRingSlots();
