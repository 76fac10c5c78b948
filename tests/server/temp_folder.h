#pragma once
#include "imaging/jpeg_encoder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace glimor::server::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glimor-server-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Tiny complete images of each format, carrying CR, LF and '-' where a format allows
// any bytes (a comment, a text chunk, a colour table, pixels) so multipart framing is
// exercised.
inline std::string pngBytes() { // 2 x 1, RGB, with a tEXt chunk
  return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x01\x08\x02\0\0\0\x7b\x40\xe8\xdd"
                     "\0\0\0\x0ctEXtComment\0\r\n--\x34\x52\xd1\x68"
                     "\0\0\0\x0dIDAT\x78\xda\x63\xf8\xcf\0\x04\xff\x01\x07\0\x01\xff\x3d\x7d\x8c\x49"
                     "\0\0\0\0IEND\xae\x42\x60\x82",
                     94);
}
inline std::string jpegBytes() { // 2 x 2 from the program's own encoder, with a comment segment
  imaging::Bitmap grey;
  grey.width = grey.height = 2;
  grey.bitsPerPixel = 24;
  grey.pixels.assign(grey.stride() * 2, 0x80);
  platform::Bytes file = imaging::compressJpeg(grey, 100);
  return std::string(file.begin(), file.begin() + 2) + std::string("\xff\xfe\0\x0c\r\n\r\n--data", 14) +
         std::string(file.begin() + 2, file.end());
}
inline std::string gifBytes() { // 2 x 1, a 2-entry colour table
  return std::string("GIF87a\x02\0\x01\0\x80\0\0\r\n-\r\n-,\0\0\0\0\x02\0\x01\0\0\x02\x02\x44\x0a\0;", 35);
}
inline std::string bmpBytes() {
  // BITMAPFILEHEADER (pixel data at 54) + BITMAPINFOHEADER (40 bytes) + one 24-bit pixel row.
  std::string bmp("BM", 2);
  bmp += std::string("\x3a\0\0\0", 4) + std::string(4, '\0') + std::string("\x36\0\0\0", 4);
  bmp += std::string("\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 16) + std::string(24, '\0');
  bmp += std::string("\r\n-\0", 4);
  return bmp;
}

// The upload body exactly as Glimor builds it for a file at `path`.
inline std::string programUploadBody(std::string_view path, std::string_view extension,
                                     std::string_view image) {
  return "-----------------------------7d6891e3b0542\r\nContent-Disposition: form-data; name=\"imgfile\"; "
         "filename=\"" +
         std::string(path) + "\"\r\nContent-Type: image/" + std::string(extension) + "\r\n\r\n" +
         std::string(image) + "\r\n-----------------------------7d6891e3b0542--\r\n";
}

inline constexpr std::string_view programContentType =
    "multipart/form-data; boundary=---------------------------7d6891e3b0542";

} // namespace glimor::server::testing
