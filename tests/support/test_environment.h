// Setting and removing environment variables from a test, on every platform (Windows
// has no setenv).
//
// One thread: the test's.
#pragma once

// True when NAME is set to VALUE.
bool SetTestVariable(const char* name, const char* value);
// True when NAME is not set any more.
bool UnsetTestVariable(const char* name);
