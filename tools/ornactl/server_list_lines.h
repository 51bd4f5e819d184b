// The lines of `ornactl servers`: one per known server, with its address, endpoint,
// host, age and whether it answered, readable (under a title line) or JSON.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "orna/server_listing.h"

namespace ornactl {

// A server's age for people: "42s", "12m05s", "3h04m", "2d03h"; "-" when unknown
// (negative).
std::string AgeText(int64_t seconds);

std::string ServerListTitleLine();
// NOW: seconds since 1970, the age's reference.
std::string ServerListLine(const OrnaKnownServer& server, bool answers, int64_t now);
// {"server":"/C/S","endpoint":..,"host":..,"pid":..,"ageSeconds":..,"version":..,
//  "answers":..,"sources":["etcd","directory","file"]}; unknown values are null.
std::string ServerListJsonLine(const OrnaKnownServer& server, bool answers, int64_t now);

}  // namespace ornactl
