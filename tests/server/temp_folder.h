#pragma once
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

// Small but real-looking heads of each format, padded with patterned bytes
// that include CR, LF and '-' so multipart framing is exercised.
inline std::string pngBytes() {
  return std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\r\n--\0x", 6) + "IHDR";
}
inline std::string jpegBytes() {
  return std::string("\xff\xd8\xff\xe0\0\x10JFIF\0", 11) + "\r\n\r\n--data";
}
inline std::string gifBytes() {
  return "GIF87a\x02\0\x02\0\xf7\0\0" + std::string("\r\n-", 3);
}
inline std::string bmpBytes() {
  // BITMAPFILEHEADER (pixel data at 54) + BITMAPINFOHEADER (40 bytes) + one 24-bit pixel row.
  std::string bmp("BM", 2);
  bmp += std::string("\x3a\0\0\0", 4) + std::string(4, '\0') + std::string("\x36\0\0\0", 4);
  bmp += std::string("\x28\0\0\0", 4) + std::string(36, '\0');
  bmp += std::string("\x01\x02\x03\0", 4);
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
