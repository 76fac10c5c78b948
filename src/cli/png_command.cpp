// glimor-cli png <in.bmp> <out.png>: writes the PNG file of a BMP file's picture,
// as the PNG writer makes it of a capture.
#include "cli/command.h"
#include "imaging/bmp_reader.h"
#include "imaging/png_image.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstdio>
#include <string>

namespace glimor::cli {
namespace {

int png(Arguments args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: glimor-cli png <in.bmp> <out.png>\n");
    return 2;
  }
  const std::string input(args[0]), output(args[1]);
  platform::Files& files = platform::systemFiles();
  const auto bytes = files.read(input);
  if (!bytes) {
    std::fprintf(stderr, "glimor-cli png: %s: cannot read the file\n", input.c_str());
    return 2;
  }
  imaging::Bitmap picture;
  try {
    picture = imaging::decodeBmp(*bytes);
  } catch (const Error& error) {
    std::fprintf(stderr, "glimor-cli png: %s: %s\n", input.c_str(), error.what());
    return 2;
  }
  imaging::savePng(picture, output, files);
  return 0;
}

const CommandRegistration registration({"png", "png <in.bmp> <out.png>", png});

} // namespace
} // namespace glimor::cli
