#include "orna/server_state.h"

OrnaServer& Server() {
  static OrnaServer server;
  return server;
}

OrnaSchedule& Schedule() {
  static OrnaSchedule schedule;
  return schedule;
}
