#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace glimor::server {

// Writes `bytes` to a new file `temporary` (which must not exist), flushes it
// to the disk, renames it to `target` and flushes the target's folder, so after
// a crash `target` is either absent or complete. An existing `target` is never
// replaced: the result is then false and the temporary file is gone. Throws
// Error on any failure, leaving no temporary file behind.
bool writeDurably(const std::filesystem::path& temporary, const std::filesystem::path& target,
                  std::string_view bytes);

// Creates `folder` if needed and flushes its parent so the new entry survives a crash.
void createFolderDurably(const std::filesystem::path& folder);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

} // namespace glimor::server
