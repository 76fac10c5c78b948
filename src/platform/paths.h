#pragma once
#include <string>
#include <string_view>

// Path pieces as the program forms them. Both '\' and '/' separate folders (and
// ':' ends a drive), so the same rules hold for Windows paths in Glimor.exe and
// for POSIX paths in the native build and its tests.
namespace glimor::paths {

// The folder part including its trailing separator ("C:\Apps\" of "C:\Apps\a.jpg"); empty when none.
std::string folderOf(std::string_view path);

// The part after the last separator ("a.jpg").
std::string fileNameOf(std::string_view path);

// The extension with its dot (".jpg"), taken from the file-name part; empty when there is none.
std::string extensionOf(std::string_view path);

// `path` with its extension replaced by `extension` (which brings its own dot), or added when it has none.
std::string changeExtension(std::string_view path, std::string_view extension);

// `path` as it stands when it is absolute (it begins with a separator or names a drive), else
// `path` inside `folder` (which ends with its separator).
std::string resolveIn(std::string_view folder, std::string_view path);

} // namespace glimor::paths
