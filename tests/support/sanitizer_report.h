// Whether a process that a test started reported a fault through a sanitizer: its
// standard error is searched for the reports of AddressSanitizer, LeakSanitizer,
// ThreadSanitizer and UndefinedBehaviorSanitizer. A process ended by a signal still
// leaves the reports it printed before, so this finds them whatever its exit status.
//
// Any thread.
#pragma once

#include <string>

// The report in TEXT (up to 4000 characters from its first line); empty when none.
std::string SanitizerReportIn(const std::string& text);
