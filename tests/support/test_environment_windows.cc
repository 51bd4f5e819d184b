#include <stdlib.h>

#include "tests/support/test_environment.h"

bool SetTestVariable(const char* name, const char* value) { return _putenv_s(name, value) == 0; }

// An empty value removes the variable.
bool UnsetTestVariable(const char* name) { return _putenv_s(name, "") == 0; }
