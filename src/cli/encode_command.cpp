// glimor-cli encode <in.bmp> <dir>: writes Glimor.bmp, Glimor.jpg, Glimor.gif and
// Glimor.png into <dir> from a BMP file, exactly as confirming that picture as a
// capture would.
#include "cli/command.h"
#include "imaging/bmp_reader.h"
#include "imaging/crop_files.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstdio>
#include <string>

namespace glimor::cli {
namespace {

std::string inFolder(std::string_view folder, const char* name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + name;
}

int badInput(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "glimor-cli encode: %s: %s\n", path.c_str(), why.c_str());
  return 2;
}

int encode(Arguments args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: glimor-cli encode <in.bmp> <dir>\n");
    return 2;
  }
  const std::string input(args[0]);
  platform::Files& files = platform::systemFiles();
  const auto bytes = files.read(input);
  if (!bytes) return badInput(input, "cannot read the file");
  imaging::Bitmap crop;
  try {
    crop = imaging::decodeBmp(*bytes);
  } catch (const Error& error) {
    return badInput(input, error.what());
  }
  // The input's depth stands in for the display's: Glimor.bmp keeps it.
  imaging::writeCropFiles(crop,
                          {inFolder(args[1], "Glimor.bmp"), inFolder(args[1], "Glimor.jpg"),
                           inFolder(args[1], "Glimor.gif"), inFolder(args[1], "Glimor.png")},
                          files);
  return 0;
}

const CommandRegistration registration({"encode", "encode <in.bmp> <dir>", encode});

} // namespace
} // namespace glimor::cli
