// Seams of the operating-system wrappers for unit tests only; the server never calls
// these. The server finds its files beside its executable, so tests point "the
// executable" into a private temporary directory instead of copying themselves there.
//
// Threading: call from the test's main thread while no other thread uses the
// wrappers.
#pragma once

// From now on SysGetModuleFileName answers path (at most 4095 characters) as the
// executable's full file name; null restores the real one.
void SysSetModuleFileNameForTesting(const char* path);
