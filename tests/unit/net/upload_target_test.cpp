#include "fakes/fake_files.h"
#include "net/upload_target.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::net {
namespace {

using ::testing::ElementsAre;

class UploadTargetTest : public ::testing::Test, public UploadTargetView {
protected:
  void showUploadTarget(const std::string& line, const std::string& destination) override {
    shown.push_back(line);
    destinations.push_back(destination);
  }
  void write(const std::string& path, std::string_view text) {
    files.contents[path].assign(text.begin(), text.end());
  }

  fakes::FakeFiles files;
  std::string stored;
  bool storeFails = false;
  std::vector<std::string> shown, destinations;
  UploadTarget target{files,
                      [this] { return ServiceSettings{.host = "img.example", .uploaderFile = stored}; },
                      [this](const std::string& path) {
                        if (storeFails) throw Error("Unable to write to Glimor.ini");
                        stored = path;
                      },
                      *this};
};

TEST_F(UploadTargetTest, ShowsTheServiceOrTheUploaderFilesNameAndTakesOnlyAFileThatCanBeUsed) {
  write("C:\\u\\good.sxcu", R"({"Name": "Pictures", "RequestURL": "https://p.example/", "Body": "Binary"})");
  write("C:\\u\\plain.sxcu", R"({"RequestURL": "https://p.example/", "Body": "Binary"})");
  write("C:\\u\\bad.sxcu", R"({"Name": "Broken"})");
  target.show();
  target.choose("C:\\u\\good.sxcu");
  EXPECT_THROW(target.choose("C:\\u\\bad.sxcu"), Error);
  EXPECT_EQ(stored, "C:\\u\\good.sxcu"); // the refused file changed nothing
  target.choose("C:\\u\\plain.sxcu");
  files.contents.erase("C:\\u\\plain.sxcu"); // gone since it was chosen
  target.show();
  storeFails = true;
  EXPECT_THROW(target.choose(""), Error);
  storeFails = false;
  target.choose("");
  EXPECT_EQ(stored, "");
  EXPECT_THAT(shown,
              ElementsAre("Upload to: the image service at img.example", "Upload to: Pictures (good.sxcu)",
                          "Upload to: plain.sxcu", "Upload to: plain.sxcu (cannot be used)",
                          "Upload to: the image service at img.example"));
  // The links page names the same place: the service by its address, a file by its name.
  EXPECT_EQ(destinations.front(), "http://img.example/");
  EXPECT_EQ(destinations[1], "Pictures (good.sxcu)");
}

} // namespace
} // namespace glimor::net
