// immtool: makes, inspects, imports and exports animation files for the frame server.
//   immtool make OUT --width W --height H --frames N [--bits B] [--effective-bits E]
//                    [--pattern counter|ramp|noise]
//   immtool info FILE
//   immtool import OUT PNG|TIFF...
//   immtool export FILE DIR|OUT.tif
// Exit code 0 on success, 1 with a message on standard error otherwise.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/broken_pipe.h"
#include "tools/immtool/commands.h"

namespace {

int Run(int argc, char** argv) {
  CLI::App app{"Makes, inspects, imports and exports animation files of the frame server."};
  app.require_subcommand(1);

  std::string makeOut;
  MakeOptions makeOptions;
  CLI::App* make = app.add_subcommand("make", "write a test animation");
  make->add_option("OUT", makeOut, "animation file to write")->required();
  make->add_option("--width", makeOptions.width, "pixels per row, 1 to 65535")->required();
  make->add_option("--height", makeOptions.height, "rows, 1 to 65535")->required();
  make->add_option("--frames", makeOptions.frames, "frames, 1 to 1000000")->required();
  make->add_option("--bits", makeOptions.bits, "bits per pixel, 8 to 255 (default 8)");
  make->add_option("--effective-bits", makeOptions.effectiveBits,
                   "effective bits per pixel, 1 to 255 (default: bits)");
  make->add_option("--pattern", makeOptions.pattern,
                   "counter (frame index in every pixel), ramp or noise (default counter)");

  std::string infoFile;
  CLI::App* info = app.add_subcommand("info", "describe an animation file");
  info->add_option("FILE", infoFile, "animation file")->required();

  std::string importOut;
  std::vector<std::string> importPngs;
  CLI::App* import =
      app.add_subcommand("import", "make an animation of grey PNG pictures or TIFF stacks");
  import->add_option("OUT", importOut, "animation file to write")->required();
  import->add_option("PICTURE", importPngs,
                     "8- or 16-bit grey pictures of equal size: PNG files, and TIFF files "
                     "(.tif, .tiff) of which every page is one frame")
      ->required();

  std::string exportFile;
  std::string exportDirectory;
  CLI::App* exportCommand = app.add_subcommand(
      "export", "write every frame as a PNG, or all frames as one multi-page TIFF");
  exportCommand->add_option("FILE", exportFile, "animation file")->required();
  exportCommand->add_option("TARGET", exportDirectory,
                            "directory for frame-NNNNNN.png, or a file name ending in .tif or "
                            ".tiff")
      ->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 1;
  }
  if (make->parsed()) return RunMake(makeOut, makeOptions);
  if (info->parsed()) return RunInfo(infoFile);
  if (import->parsed()) return RunImport(importOut, importPngs);
  return RunExport(exportFile, exportDirectory);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of standard output that has gone (`... | head -1`) is a failed write, not
  // the end of the program.
  SysIgnoreBrokenPipe();
  // CLI11 reports through exceptions; so may the standard library when memory runs
  // out. Neither may end the tool without a message.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "immtool: %s\n", e.what());
    return 1;
  }
}
