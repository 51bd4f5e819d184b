#include <stdlib.h>

#include "tests/support/test_environment.h"

bool SetTestVariable(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

bool UnsetTestVariable(const char* name) { return unsetenv(name) == 0; }
