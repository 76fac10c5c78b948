#include "image_type.h"
#include "sqlite_image_store.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace glimor::server {
namespace {

using testing::TempFolder;

Upload uploadOf(const std::string& bytes, std::string_view name = "Glimor.png") {
  return {bytes, *sniffImageType(bytes), "192.0.2.7", name};
}

TEST(SqliteImageStore, KeepsTheBytesUnchangedAcrossARestart) {
  TempFolder data;
  std::string png = testing::pngBytes(), gif = testing::gifBytes();
  std::string pngId, gifId;
  {
    SqliteImageStore store(data.path());
    pngId = store.add(uploadOf(png));
    gifId = store.add(uploadOf(gif, "Glimor.gif"));
    EXPECT_NE(pngId, gifId);
  }
  SqliteImageStore reopened(data.path());
  auto image = reopened.find(pngId);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->bytes, png);
  EXPECT_EQ(image->type.extension, "png");
  EXPECT_EQ(image->sha256.size(), 64u);
  EXPECT_EQ(reopened.find(gifId)->bytes, gif);
  EXPECT_EQ(reopened.find(gifId)->type.mimeType, "image/gif");
}

TEST(SqliteImageStore, ALargeImageIsReadOnlyWhenItsBytesAreAskedFor) {
  TempFolder data;
  std::string large = testing::pngBytes() + std::string(300 * 1024, 'x');
  SqliteImageStore store(data.path());
  std::string id = store.add(uploadOf(large));
  auto image = store.find(id);
  ASSERT_TRUE(image && image->reader);
  EXPECT_TRUE(image->bytes.empty());
  EXPECT_EQ(image->size, large.size());
  EXPECT_EQ(image->reader->read(0, large.size()), large);
  EXPECT_EQ(image->reader->read(large.size() - 10, 100), large.substr(large.size() - 10));
}

TEST(SqliteImageStore, RecordsTheMetadataInTheIndex) {
  TempFolder data;
  std::string id =
      SqliteImageStore(data.path()).add(uploadOf(testing::pngBytes(), std::string_view("my\0pic.png", 10)));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path() / "glimor.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT type, size, client_address, original_name, created_at FROM images WHERE id = ?",
                     -1, &row, nullptr);
  sqlite3_bind_text(row, 1, id.c_str(), -1, SQLITE_TRANSIENT);
  ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), "png");
  EXPECT_EQ(sqlite3_column_int64(row, 1), static_cast<std::int64_t>(testing::pngBytes().size()));
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(row, 2)), "192.0.2.7");
  EXPECT_EQ(std::string(static_cast<const char*>(sqlite3_column_blob(row, 3)), sqlite3_column_bytes(row, 3)),
            std::string("my\0pic.png", 10));
  EXPECT_GT(sqlite3_column_int64(row, 4), 1700000000);
  sqlite3_finalize(row);
  sqlite3_close(db);
}

TEST(SqliteImageStore, UnknownOrMalformedIdsFindNothing) {
  TempFolder data;
  SqliteImageStore store(data.path());
  std::string id = store.add(uploadOf(testing::pngBytes()));
  EXPECT_FALSE(store.find("AAAAAAAAAAAAAAAA"));
  EXPECT_FALSE(store.find("../glimor.db"));
  EXPECT_FALSE(store.find(id.substr(0, 15)));
  EXPECT_FALSE(store.find(""));
}

TEST(SqliteImageStore, AFileWithoutItsRecordIsNeverServed) {
  // What a crash between moving the file into place and committing leaves behind.
  TempFolder data;
  { SqliteImageStore store(data.path()); }
  std::filesystem::create_directories(data.path() / "images" / "Zz");
  testing::writeFile(data.path() / "images" / "Zz" / "ZzZzZzZzZzZzZzZz.png", testing::pngBytes());
  SqliteImageStore store(data.path());
  EXPECT_FALSE(store.find("ZzZzZzZzZzZzZzZz"));
}

TEST(SqliteImageStore, ARecordWhoseFileVanishedIsNotServed) {
  TempFolder data;
  std::string id;
  {
    SqliteImageStore store(data.path(), 0); // no cache: every find reads the disk
    id = store.add(uploadOf(testing::jpegBytes()));
  }
  std::filesystem::remove(data.path() / "images" / id.substr(0, 2) / (id + ".jpg"));
  EXPECT_FALSE(SqliteImageStore(data.path()).find(id));
}

TEST(SqliteImageStore, StartingUpRemovesUnfinishedUploads) {
  TempFolder data;
  { SqliteImageStore store(data.path()); }
  testing::writeFile(data.path() / "tmp" / "AAAAAAAAAAAAAAAA.part", "half an ima");
  SqliteImageStore store(data.path());
  EXPECT_TRUE(std::filesystem::is_empty(data.path() / "tmp"));
}

TEST(SqliteImageStore, AFailedWriteLeavesNoRecord) {
  TempFolder data;
  SqliteImageStore store(data.path(), 0);
  // The staging folder replaced by a file: writing there fails, even for root.
  std::filesystem::remove(data.path() / "tmp");
  testing::writeFile(data.path() / "tmp", "");
  EXPECT_ANY_THROW(store.add(uploadOf(testing::pngBytes())));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path() / "glimor.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM images", -1, &count, nullptr);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 0);
  sqlite3_finalize(count);
  sqlite3_close(db);
}

} // namespace
} // namespace glimor::server
