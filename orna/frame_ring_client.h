// The client's side of local delivery (local_delivery.h): the server's frame ring,
// mapped read-only, and the frames of its notices taken from it. A ring is trusted in
// nothing: its region must be private to the user (platform/shared_memory.h refuses
// any other), its name one a server gives its ring, its header and every notice are
// checked before a byte of a frame is read (frame_ring.h).
//
// Threading: a ring belongs to the subscription that mapped it; a reply that points
// into it keeps it mapped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "orna/frame_ring.h"
#include "orna/wire.h"

struct SysSharedMemory;

struct OrnaClientRing {
  OrnaClientRing() = default;
  ~OrnaClientRing();
  OrnaClientRing(const OrnaClientRing&) = delete;
  OrnaClientRing& operator=(const OrnaClientRing&) = delete;

  SysSharedMemory* memory = nullptr;
  FrameRingReader reader;
  std::string name;
};

// Makes *ring the ring NOTICE names, mapping it anew unless *ring is already that ring
// of that generation. False, with *why for the user, when it can't be used: a name that
// is no ring's, a region refused or missing, a header that is no ring's.
bool OrnaMapFrameRing(const orna_wire::RingNotice& notice, std::shared_ptr<OrnaClientRing>* ring,
                      std::string* why);

// The notice's frame in RING as the ring's reader sees it.
FrameRingNotice OrnaRingFrameOf(const orna_wire::RingNotice& notice);

// A frame taken in place: the ring (kept mapped) and where the frame lies in it.
struct OrnaRingView {
  std::shared_ptr<OrnaClientRing> ring;
  FrameRingNotice frame;
};
