// The server's one log: DoLog stamps a message with the local date and time and hands
// it to the sinks that are switched on: the control-system library's log (feclog),
// standard output, standard error and the file HVX.log beside the executable, which
// is opened, appended to and closed for every line. Also PathBesideExecutable, the
// rule by which the server finds its files.
//
// Threading: DoLog may be called from any thread and takes no lock of its own; a line
// is written to standard error and to the file in one piece, so lines of different
// threads never mix. SetLogSinks and PathBesideExecutable are for the main thread.
#pragma once

// Formats the message in the manner of printf (cut to 510 characters) and logs it as
// "[dd.mm.yy hh:mm:ss LTM] message". A line that can't be written to the log file
// adds one to ErrorCount and prints a warning straight to standard error; the other
// sinks still get it.
void DoLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Switches the sinks on or off. At process start standard output is off and the
// others are on.
void SetLogSinks(bool standardOutput, bool standardError, bool logFile, bool libraryLog);

// The full path of fileName in the executable's directory (fileName alone when the
// executable's path can't be read), cut to 254 characters. The result lies in one
// buffer shared by all callers and is overwritten by the next call; copy it to keep
// it.
const char* PathBesideExecutable(const char* fileName);
