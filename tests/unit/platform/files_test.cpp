#include "platform/error.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace glimor::platform {
namespace {

namespace fs = std::filesystem;

class FilesTest : public testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("glimor-files-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string path(const char* name) const { return (dir / name).string(); }
  fs::path dir;
  Files& files = systemFiles();
};

// A folder under a user name outside the system's code page: the core's UTF-8 names the file, and
// the name on disk is those characters, not the bytes of their UTF-8.
TEST_F(FilesTest, NamesInAnyCharactersAreTheFilesOwn) {
  const std::string target = dir.string() + "/Привет-Ωμέγα-截图.bin";
  files.replace(target, Bytes{7});
  EXPECT_EQ(files.read(target), Bytes{7});
  EXPECT_TRUE(files.exists(target));
  EXPECT_TRUE(fs::exists(dir / fs::path(std::u8string(u8"Привет-Ωμέγα-截图.bin"))));
  EXPECT_TRUE(files.remove(target));
  EXPECT_FALSE(files.exists(target));
}

TEST_F(FilesTest, ReplaceWritesNewFileAndOverwritesOldOne) {
  const Bytes first{1, 2, 3, 0, 255};
  files.replace(path("a.bin"), first);
  EXPECT_EQ(files.read(path("a.bin")), first);

  const Bytes second{9};
  files.replace(path("a.bin"), second);
  EXPECT_EQ(files.read(path("a.bin")), second);
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, ReadAtMostStopsAtItsLimit) {
  const Bytes big(200000, 7); // more than one read's chunk
  files.replace(path("big"), big);
  EXPECT_EQ(files.readAtMost(path("big"), 70001), Bytes(70001, 7));
  EXPECT_EQ(files.readAtMost(path("big"), 1 << 20), big);
  EXPECT_FALSE(files.readAtMost(path("missing"), 10));
}

TEST_F(FilesTest, EmptyContentGivesEmptyFile) {
  files.replace(path("empty"), {});
  ASSERT_TRUE(files.exists(path("empty")));
  EXPECT_TRUE(files.read(path("empty"))->empty());
}

TEST_F(FilesTest, MissingFolderFailsWithFullPathAndKeepsNothing) {
  const std::string target = path("no-such-folder/x.bmp");
  try {
    files.replace(target, Bytes{1});
    FAIL() << "no error";
  } catch (const Error& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("Cannot create file \"", 0), 0u) << text;
    EXPECT_NE(text.find("x.bmp\". "), std::string::npos) << text;
    EXPECT_GT(text.size(), text.find("\". ") + 3) << "system text missing: " << text;
  }
  EXPECT_FALSE(files.exists(target));
}

TEST_F(FilesTest, ReadRemoveAndExistsReportMissingFiles) {
  EXPECT_FALSE(files.read(path("absent")).has_value());
  EXPECT_FALSE(files.exists(path("absent")));
  EXPECT_FALSE(files.remove(path("absent")));
  files.replace(path("present"), Bytes{7});
  EXPECT_TRUE(files.remove(path("present")));
  EXPECT_FALSE(files.exists(path("present")));
}

} // namespace
} // namespace glimor::platform
