// Where the library keeps its files: beside the running executable.
#pragma once

#include <string>

// The directory of the running executable joined with NAME; NAME alone when the
// executable's path can't be read.
std::string OrnaPathBesideExecutable(const char* name);
