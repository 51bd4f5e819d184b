#include "tests/system/hvx_server_run.h"

#include <gtest/gtest.h>

#include "tests/support/sanitizer_report.h"

HvxServerRun::~HvxServerRun() {
  Kill();
  const std::string report = SanitizerReportIn(Stderr());
  if (!report.empty()) ADD_FAILURE() << "hvxserver reported:\n" << report;
}
