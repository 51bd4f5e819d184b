#include "tests/support/sanitizer_report.h"

std::string SanitizerReportIn(const std::string& text) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                           "WARNING: ThreadSanitizer", "runtime error:"}) {
    size_t at = text.find(mark);
    if (at != std::string::npos) return text.substr(at, 4000);
  }
  return "";
}
