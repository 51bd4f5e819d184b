// Seam of the exit path (exit_application.cc) for tests only; the server never calls it.
//
// Threading: the test's main thread, while nothing else exits.
#pragma once

// Forgets that an exit began, so that each case of a test process starts as a fresh
// process would: an earlier case's exit (or its clean-up) must not make a later start
// take its own failure for a console event's ending.
void ForgetExitForTesting();
