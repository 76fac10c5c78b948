#include "platform/paths.h"

#include <gtest/gtest.h>

namespace glimor::paths {
namespace {

TEST(Paths, SplitWindowsAndPosixPaths) {
  EXPECT_EQ(folderOf("C:\\Apps\\Glimor\\Glimor.exe"), "C:\\Apps\\Glimor\\");
  EXPECT_EQ(fileNameOf("C:\\Apps\\Glimor\\Glimor.exe"), "Glimor.exe");
  EXPECT_EQ(folderOf("/tmp/x/Glimor.exe"), "/tmp/x/");
  EXPECT_EQ(folderOf("C:Glimor.exe"), "C:");
  EXPECT_EQ(folderOf("Glimor.exe"), "");
  EXPECT_EQ(fileNameOf("C:\\Apps\\"), "");
}

TEST(Paths, ExtensionComesFromTheFileNameOnly) {
  EXPECT_EQ(extensionOf("C:\\a.b\\Glimor.JPG"), ".JPG");
  EXPECT_EQ(extensionOf("C:\\a.b\\Glimor"), "");
  EXPECT_EQ(extensionOf("archive.tar.gz"), ".gz");
  EXPECT_EQ(extensionOf("name."), ".");
}

TEST(Paths, ChangeExtensionReplacesOrAppends) {
  EXPECT_EQ(changeExtension("C:\\Apps\\Glimor.jpg", ".dat"), "C:\\Apps\\Glimor.dat");
  EXPECT_EQ(changeExtension("C:\\a.b\\Glimor", ".ini"), "C:\\a.b\\Glimor.ini");
  EXPECT_EQ(changeExtension("/x/Glimor.exe", ".upd"), "/x/Glimor.upd");
}

} // namespace
} // namespace glimor::paths
