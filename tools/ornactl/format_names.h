// The data formats ornactl accepts on its command line (`--format`), by code or by name,
// and the names it prints for them. Only the formats a client can ask for are known:
// double 512, bytes 514, int32 515, text 516, float 517, text48 531, frame 567.
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace ornactl {

// Reads F as a decimal code or a name (names are matched without regard to case).
// Answers true and stores the code in *format when F names one of the known formats.
bool ParseFormat(std::string_view text, short* format);

// The name of a format code ("int32"), or its decimal code for formats without a name
// here (for example 767, the library's "no data").
std::string FormatName(short format);

// The list of accepted names and codes, for usage messages.
const char* FormatChoices();

}  // namespace ornactl
