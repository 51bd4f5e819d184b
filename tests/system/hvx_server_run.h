// One hvxserver started by a system test: the server built with the tests, in a
// folder of its own (server_folder.h). Whatever way the server ended, a sanitizer report
// in its standard error fails the test.
//
// One thread: the test's.
#pragma once

#include "tests/system/server_folder.h"

class HvxServerRun final : public ServerFolder {
 public:
  HvxServerRun() : ServerFolder(HVXSERVER_PATH) {}
  ~HvxServerRun() override;
};
