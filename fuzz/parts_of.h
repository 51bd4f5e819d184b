// A fuzz message as the library's transport would have received it: its parts in an
// OrnaParts, more than OrnaParts holds marked as overflow, the way OrnaReceive does.
// A routing id, when given, comes first, as a ROUTER socket puts it.
//
// Threading: any thread; works on the caller's objects.
#pragma once

#include <string>

#include "fuzz/message_parts.h"
#include "orna/transport.h"

void FillParts(const std::string* routingId, const FuzzMessage& message, OrnaParts* parts);
