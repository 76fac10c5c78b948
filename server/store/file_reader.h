#pragma once
#include "http_types.h"

#include <filesystem>
#include <memory>

namespace glimor::server {

// An open file whose bytes are read part by part while they are sent. The
// descriptor is held until the last part, so a file renamed over meanwhile
// does not mix two versions into one answer.
class FileReader : public BodyReader {
public:
  // Nothing when there is no such regular file; throws Error when it cannot be
  // opened (out of descriptors, no permission).
  static std::shared_ptr<FileReader> open(const std::filesystem::path& path);
  ~FileReader() override;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  std::uint64_t size() const override { return size_; }
  // Throws Error when the file cannot be read.
  std::string read(std::uint64_t offset, std::size_t length) override;
  int descriptor() const override { return descriptor_; }

private:
  FileReader(int descriptor, std::uint64_t size, std::filesystem::path path)
      : descriptor_(descriptor), size_(size), path_(std::move(path)) {}

  int descriptor_;
  std::uint64_t size_;
  std::filesystem::path path_;
};

} // namespace glimor::server
