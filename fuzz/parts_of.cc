#include "fuzz/parts_of.h"

void FillParts(const std::string* routingId, const FuzzMessage& message, OrnaParts* parts) {
  parts->count = 0;
  parts->overflow = false;
  std::vector<const std::string*> all;
  if (routingId != nullptr) all.push_back(routingId);
  for (const std::string& part : message) all.push_back(&part);
  for (const std::string* part : all) {
    if (parts->count == OrnaParts::kMaxParts) {
      parts->overflow = true;
      break;
    }
    parts->part[parts->count++].Assign(part->data(), part->size());
  }
}
