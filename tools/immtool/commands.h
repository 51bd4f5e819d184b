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
int RunImport(const std::string& out, const std::vector<std::string>& pngs);
int RunExport(const std::string& file, const std::string& directory);
