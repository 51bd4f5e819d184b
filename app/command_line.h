// The server's command line: nothing or the autostart switch starts the server, the
// quit switch asks a running instance of the same server to quit, anything else is
// refused with a usage text.
//
// Threading: main thread, during start-up (before _SystemInit).
#pragma once

// Returns only when start-up is to go on; ends the process through ExitApplication
// with 11 (not recognised), 12 (the running instance quit) or 13 (it did not).
void ParseCommandLine(int argc, char** argv);

class CIniExWrap;

// Asks the instance registered under this server's context and server name (of
// AppSettings) to quit (SRVEXIT on its Server device); true when it accepted.
bool QuitPreviousInstance();

// The same with the names taken from settings; tests pass their own.
bool QuitPreviousInstanceUsing(const CIniExWrap& settings);
