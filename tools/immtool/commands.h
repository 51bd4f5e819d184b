// The four commands of immtool, each answering the process's exit code: 0 on success,
// 1 after printing what went wrong on standard error. Results go to standard output.
//
// Threading: main thread of the tool.
#pragma once

#include <string>
#include <vector>

#include "tools/immtool/make_plan.h"

int RunMake(const std::string& out, const MakeOptions& options);
int RunInfo(const std::string& file);
// INPUTS are PNG pictures and multi-page TIFF files (names ending in .tif or .tiff),
// every page of which is one frame; all of one size and depth.
int RunImport(const std::string& out, const std::vector<std::string>& inputs);
// TARGET ending in .tif or .tiff: one multi-page TIFF file; anything else: a directory
// of one PNG per frame.
int RunExport(const std::string& file, const std::string& target);
