// The server's side of local delivery (local_delivery.h): one frame ring in shared
// memory, named after the server's port (which no other server on the host can hold
// at the same time), made when the first frame for a local subscriber comes and made
// anew, larger, when a frame outgrows its slots. A ring left behind by a crashed server
// of the same port is replaced. Each frame is written into it once, whatever the
// number of local subscribers; a subscriber is sent a notice of where it lies, or,
// once it knows the ring and waits on its doorbell, finds it listed in its slot.
//
// Threading: main thread only (inside _SystemCycle), like the rest of the server.
#pragma once

#include "orna/property_read.h"
#include "orna/wire.h"

// Puts the frame of DATA (a frame answer that carries data) into the ring, unless it is
// there already, and describes where in *notice. False when the server has no ring
// (it could not be made: logged once); the subscriber then gets the frame over TCP.
bool OrnaPutFrameInRing(OrnaAnswerData* data, orna_wire::RingNotice* notice);

// Lists the delivery of DATA's frame (put into the ring, and the last one put there) to
// CONTRACT as its delivery DELIVERY, with HEADER, for subscribers that are woken by
// the ring's doorbell instead of a message. False when it can't be listed: they are
// then sent a notice.
bool OrnaListRingDelivery(const OrnaAnswerData& data, const orna_wire::ReplyHeader& header,
                          uint32_t contract, uint32_t delivery);
// Publishes the frames put into the ring since the last time and wakes the clients
// waiting on its doorbell. Also done before each new frame is put in.
void OrnaPublishFrameRing();

// Tells waiting clients that the ring is left, unmaps it and removes its name (clients
// that map it keep their mapping).
void OrnaCloseFrameRing();
