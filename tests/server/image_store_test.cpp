#include "cached_image_store.h"
#include "deletion_secret.h"
#include "disk_image_cache.h"
#include "housekeeping.h"
#include "image_id.h"
#include "image_type.h"
#include "platform/error.h"
#include "postgres_for_tests.h"
#include "sqlite_image_store.h"
#include "store_opening.h"
#include "temp_folder.h"

#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sqlite3.h>
#include <thread>

namespace glimor::server {
namespace {

using testing::TempFolder;

const std::string secretHash = deletionSecretHash("secret");

Upload uploadOf(const std::string& bytes, std::string_view name = "Glimor.png",
                std::string_view address = "192.0.2.7", std::string_view token = "",
                std::string_view thumbnail = "", std::optional<std::uint64_t> durationMs = std::nullopt) {
  return {bytes, *sniffImageType(bytes), address, name, token, secretHash, thumbnail, durationMs};
}

// Runs one SQL statement on a SQLite database file, as another program would.
void sqliteExecute(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

enum class Kind { sqlite, postgres };

// The same behaviour from both stores: SQLite always, PostgreSQL where installed.
class ImageStoreTest : public ::testing::TestWithParam<Kind> {
protected:
  void SetUp() override {
    if (GetParam() == Kind::postgres) {
      auto uri = testing::PostgresForTests::newDatabase();
      if (!uri) GTEST_SKIP() << "PostgreSQL is not installed (no initdb): its store is not tested";
      database_ = DatabaseSettings{*uri, 2};
    }
  }

  // Another process on the same store (another node, the admin command).
  std::unique_ptr<ImageStore> open() { return openStores(data_.path().string(), database_).images; }

  TempFolder data_;
  std::optional<DatabaseSettings> database_;
};

INSTANTIATE_TEST_SUITE_P(Stores, ImageStoreTest, ::testing::Values(Kind::sqlite, Kind::postgres),
                         [](const auto& info) {
                           return info.param == Kind::sqlite ? "SQLite" : "PostgreSQL";
                         });

TEST_P(ImageStoreTest, KeepsBytesAndRecordForEveryProcess) {
  std::string small = testing::gifBytes(), large = testing::pngBytes() + std::string(300 * 1024, 'x');
  auto store = open();
  std::time_t before = std::time(nullptr);
  std::string smallId = store->add(uploadOf(small, "a.gif", "192.0.2.7", "alice"));
  std::string largeId = store->add(uploadOf(large));
  EXPECT_NE(smallId, largeId);

  auto other = open();
  auto image = other->find(smallId);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->bytes, small);
  EXPECT_EQ(image->type.mimeType, "image/gif");
  EXPECT_EQ(image->sha256.size(), 64u);
  // A large image is handed out in parts, read only when asked for.
  auto big = other->find(largeId);
  ASSERT_TRUE(big && big->reader);
  EXPECT_EQ(big->size, large.size());
  EXPECT_EQ(big->reader->read(0, large.size()), large);
  EXPECT_EQ(other->findRecord(largeId)->size, large.size());

  auto records = other->list({});
  ASSERT_EQ(records.size(), 2u);
  const ImageRecord& first = records[0].id == smallId ? records[0] : records[1];
  EXPECT_EQ(first.clientAddress, "192.0.2.7");
  EXPECT_EQ(first.tokenName, "alice");
  EXPECT_EQ(first.size, small.size());
  EXPECT_GE(first.createdAt, before);
  EXPECT_EQ(other->deletionHash(smallId), secretHash);

  for (std::string_view unknown : {"AAAAAAAAAAAAAAAA", "../glimor.db", "", "AAAAAAAAAAAAAAA"}) {
    EXPECT_FALSE(other->find(unknown)) << unknown;
    EXPECT_FALSE(other->deletionHash(unknown)) << unknown;
  }
}

TEST_P(ImageStoreTest, RemovalTakesBytesAndRecordAndLeavesATombstone) {
  auto store = open();
  std::string gone = store->add(uploadOf(testing::jpegBytes(), "a.jpg", "192.0.2.7", "", "thumb of gone"));
  std::string kept = store->add(uploadOf(testing::pngBytes(), "a.png", "192.0.2.7", "", "thumb of kept"));
  std::string bare = store->add(uploadOf(testing::gifBytes()));
  EXPECT_EQ(open()->thumbnail(gone), "thumb of gone");
  EXPECT_FALSE(store->thumbnail(bare));
  std::time_t before = std::time(nullptr);

  EXPECT_TRUE(open()->remove(gone));
  EXPECT_FALSE(store->find(gone));
  EXPECT_FALSE(store->findRecord(gone));
  EXPECT_FALSE(store->deletionHash(gone));
  EXPECT_FALSE(store->thumbnail(gone));
  EXPECT_EQ(store->thumbnail(kept), "thumb of kept");
  EXPECT_TRUE(store->wasRemoved(gone));
  EXPECT_FALSE(store->remove(gone));
  EXPECT_FALSE(store->remove("AAAAAAAAAAAAAAAA"));
  EXPECT_FALSE(store->wasRemoved("AAAAAAAAAAAAAAAA"));
  EXPECT_FALSE(store->wasRemoved(kept));
  EXPECT_EQ(store->find(kept)->bytes, testing::pngBytes());

  auto tombstones = store->removedSince(before - 5);
  ASSERT_EQ(tombstones.size(), 1u);
  EXPECT_EQ(tombstones[0].id, gone);
  EXPECT_TRUE(store->removedSince(tombstones[0].removedAt + 1).empty());
  // Pruned only once older than the time given; then the link is unknown, not gone.
  EXPECT_EQ(store->pruneTombstones(tombstones[0].removedAt), 0u);
  EXPECT_TRUE(store->wasRemoved(gone));
  EXPECT_EQ(open()->pruneTombstones(tombstones[0].removedAt + 1), 1u);
  EXPECT_FALSE(store->wasRemoved(gone));
  if (GetParam() == Kind::sqlite) {
    EXPECT_FALSE(std::filesystem::exists(data_.path() / "images" / gone.substr(0, 2) / (gone + ".jpg")));
    EXPECT_FALSE(
        std::filesystem::exists(data_.path() / "images" / gone.substr(0, 2) / (gone + ".thumb.jpg")));
  }
}

// What --max-store measures, and the operator's view of feedback, alike in both stores.
TEST_P(ImageStoreTest, CountsStoredBytesAndListsAndRemovesFeedback) {
  auto stores = openStores(data_.path().string(), database_);
  EXPECT_EQ(stores.images->storedBytes() + stores.feedback->storedBytes(), 0u);
  stores.images->add(uploadOf(testing::jpegBytes()));
  stores.images->add(uploadOf(testing::pngBytes()));
  EXPECT_EQ(stores.images->storedBytes(), testing::jpegBytes().size() + testing::pngBytes().size());

  stores.feedback->add({"Ann", std::string("a\0@b", 4), "2", "Hello"}, "192.0.2.1");
  stores.feedback->add({"Bob", "b@c", "1", "Hi"}, "192.0.2.2");
  EXPECT_EQ(stores.feedback->storedBytes(), (3 + 4 + 1 + 5 + 9) + (3 + 3 + 1 + 2 + 9u));
  auto listed = stores.feedback->list();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, "Ann");
  EXPECT_EQ(listed[0].email, std::string("a\0@b", 4));
  EXPECT_EQ(listed[0].textBytes, 5u);
  EXPECT_EQ(listed[1].clientAddress, "192.0.2.2");
  EXPECT_TRUE(openStores(data_.path().string(), database_).feedback->remove(listed[0].id));
  EXPECT_FALSE(stores.feedback->remove(listed[0].id));
  ASSERT_EQ(stores.feedback->list().size(), 1u);
  EXPECT_EQ(stores.feedback->list()[0].name, "Bob");
}

TEST_P(ImageStoreTest, ListPicksByAddressTokenIdAndTime) {
  auto store = open();
  std::string a = store->add(uploadOf(testing::pngBytes(), "a.png", "192.0.2.1", "alice"));
  std::string b = store->add(uploadOf(testing::pngBytes(), "b.png", "192.0.2.1"));
  const std::string gif = testing::gifBytes(); // an Upload only views its bytes
  Upload recording = uploadOf(gif, "c.gif", "192.0.2.2", "bob", "", 12345);
  recording.width = 1920, recording.height = 1080;
  std::string c = store->add(recording);
  auto ids = [&](auto pick) {
    ImageQuery query;
    pick(query);
    std::vector<std::string> found;
    for (const auto& record : store->list(query)) found.push_back(record.id);
    std::sort(found.begin(), found.end());
    return found;
  };
  auto sorted = [](std::vector<std::string> list) {
    std::sort(list.begin(), list.end());
    return list;
  };
  EXPECT_EQ(ids([](ImageQuery& q) { q.clientAddress = "192.0.2.1"; }), sorted({a, b}));
  EXPECT_EQ(ids([](ImageQuery& q) { q.tokenName = "bob"; }), sorted({c}));
  ImageQuery byId; // a recording's duration and size come back; a still picture has no duration
  byId.id = c;
  EXPECT_EQ(store->list(byId).at(0).durationMs, 12345u);
  EXPECT_EQ(std::to_string(store->list(byId).at(0).width) + "x" +
                std::to_string(store->list(byId).at(0).height),
            "1920x1080");
  byId.id = a;
  EXPECT_FALSE(store->list(byId).at(0).durationMs);
  EXPECT_EQ(ids([](ImageQuery& q) { q.tokenName = ""; }), sorted({b})); // anonymous uploads
  EXPECT_EQ(ids([&](ImageQuery& q) { q.id = b; }), sorted({b}));
  std::int64_t now = std::time(nullptr);
  EXPECT_EQ(ids([&](ImageQuery& q) { q.createdFrom = now + 10; }), std::vector<std::string>());
  EXPECT_EQ(ids([&](ImageQuery& q) { q.createdBefore = now - 10; }), std::vector<std::string>());
  EXPECT_EQ(ids([&](ImageQuery& q) { q.createdFrom = now - 10, q.limit = 2; }).size(), 2u);
  // Newest first in the order stored, even within one second, a page at a time.
  std::string d = store->add(uploadOf(testing::pngBytes(), "d.png", "192.0.2.2", "bob"));
  ImageQuery page;
  page.tokenName = "bob";
  page.newestFirst = true;
  page.limit = 1;
  EXPECT_EQ(store->list(page).at(0).id, d);
  page.offset = 1;
  EXPECT_EQ(store->list(page).at(0).id, c);
  page.offset = 2;
  EXPECT_TRUE(store->list(page).empty());
}

TEST_P(ImageStoreTest, ACachedImageRemovedElsewhereIsForgottenAtTheNextPoll) {
  CachedImageStore node(open());
  // A small image is held in memory, a large one in SQLite is kept open.
  for (const std::string& bytes : {testing::gifBytes(), testing::pngBytes() + std::string(300 * 1024, 'x')}) {
    std::string id = node.add(uploadOf(bytes));
    ASSERT_TRUE(node.find(id));      // now in the cache
    ASSERT_TRUE(open()->remove(id)); // by another node
    node.forgetRemovedElsewhere();
    EXPECT_FALSE(node.find(id));
    EXPECT_FALSE(node.findRecord(id));
    EXPECT_TRUE(node.wasRemoved(id));
  }
}

TEST_P(ImageStoreTest, ExpiryRemovesOnlyOlderImages) {
  auto store = open();
  std::string old = store->add(uploadOf(testing::pngBytes()));
  std::string recent = store->add(uploadOf(testing::pngBytes()));
  std::string backdate = "UPDATE images SET created_at = created_at - 3 * 86400 WHERE id = '" + old + "'";
  if (GetParam() == Kind::sqlite)
    sqliteExecute(data_.path() / "glimor.db", backdate);
  else
    PgConnection(database_->uri).execute(backdate.c_str());

  CachedImageStore node(std::move(store));
  {
    Housekeeping housekeeping(node, 2); // its first round expires at once
    for (int wait = 0; wait < 100 && !node.wasRemoved(old); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(node.wasRemoved(old));
  EXPECT_FALSE(node.find(old));
  EXPECT_TRUE(node.find(recent));
}

// --- a node's disk cache of large images ---------------------------------

// Bytes handed out as a store's reader does; `failAt` makes a read from there fail.
class BytesReader : public BodyReader {
public:
  explicit BytesReader(std::string bytes, std::uint64_t failAt = UINT64_MAX)
      : bytes_(std::move(bytes)), failAt_(failAt) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::string read(std::uint64_t offset, std::size_t length) override {
    if (offset + length > failAt_) throw Error("the database went away");
    return bytes_.substr(offset, length);
  }

private:
  std::string bytes_;
  std::uint64_t failAt_;
};

StoredImage largeImage(const std::string& bytes, std::uint64_t failAt = UINT64_MAX) {
  return {newImageId(),
          *imageTypeByExtension("png"),
          "ab12",
          bytes.size(),
          {},
          std::make_shared<BytesReader>(bytes, failAt),
          {}};
}

std::string servedBytes(const std::shared_ptr<const StoredImage>& image) {
  return image && image->reader ? image->reader->read(0, image->size) : "(none)";
}

TEST(DiskImageCache, KeepsWholeCopiesWithinItsBudgetLeastRecentlyUsedFirstOut) {
  TempFolder folder;
  std::string leftover = newImageId();
  testing::writeFile(folder.path() / leftover, "from a former run");
  testing::writeFile(folder.path() / "notes.txt", "not ours");
  DiskImageCache cache(folder.path(), 700 * 1024);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / leftover)); // removals meanwhile were not seen
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "notes.txt"));

  std::string bytes(300 * 1024, 'x');
  bytes[299 * 1024] = 'y';
  StoredImage first = largeImage(bytes), second = largeImage(bytes + "2"), third = largeImage(bytes + "3");
  auto copy = cache.fill(first);
  ASSERT_TRUE(copy && copy->reader && copy->reader->descriptor() >= 0);
  EXPECT_EQ(servedBytes(copy), bytes);
  EXPECT_EQ(copy->sha256, "ab12");
  EXPECT_EQ(std::filesystem::status(folder.path() / first.id).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(cache.fill(second));
  ASSERT_TRUE(cache.find(first.id)); // now used more recently than the second
  ASSERT_TRUE(cache.fill(third));
  EXPECT_FALSE(cache.find(second.id));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / second.id));
  EXPECT_EQ(servedBytes(cache.find(first.id)), bytes);
  EXPECT_EQ(servedBytes(cache.find(third.id)), bytes + "3");
  EXPECT_EQ(cache.usedBytes(), 2 * bytes.size() + 1);

  copy.reset(); // sent: its descriptor closed, so its room can be taken

  // Larger than the budget, or cut short while copied: nothing kept, no partial file.
  EXPECT_FALSE(cache.fill(largeImage(std::string(701 * 1024, 'z'))));
  StoredImage cut = largeImage(bytes, 256 * 1024 + 10);
  EXPECT_FALSE(cache.fill(cut));
  EXPECT_FALSE(cache.find(cut.id));

  cache.erase(first.id);
  EXPECT_FALSE(cache.find(first.id));
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"notes.txt", third.id}));
}

// A store on another machine: its images come through readers, never from a file.
class RemoteImages : public ImageStore {
public:
  std::map<std::string, std::string> images;
  std::string add(const Upload&) override { return ""; }
  std::shared_ptr<const StoredImage> find(std::string_view id) override {
    auto image = std::make_shared<StoredImage>(largeImage(images.at(std::string(id))));
    image->id = id;
    return image;
  }
  std::optional<std::string> thumbnail(std::string_view) override { return {}; }
  std::optional<std::string> deletionHash(std::string_view) override { return {}; }
  bool remove(std::string_view) override { return false; }
  bool wasRemoved(std::string_view) override { return false; }
  std::vector<ImageRecord> list(const ImageQuery&) override { return {}; }
  std::vector<Tombstone> removedSince(std::int64_t) override { return {}; }
  std::size_t pruneTombstones(std::int64_t) override { return 0; }
  std::uint64_t storedBytes() override { return 0; }
};

// A folder's files, with those unlinked but still open in this process.
std::uint64_t bytesOnDisk(const std::filesystem::path& folder) {
  std::uint64_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) bytes += entry.file_size();
  std::error_code error;
  for (const auto& open : std::filesystem::directory_iterator("/proc/self/fd"))
    if (std::string to = std::filesystem::read_symlink(open.path(), error).string();
        to.starts_with(folder.string() + "/") && to.ends_with(" (deleted)"))
      bytes += std::filesystem::file_size(open.path());
  return bytes;
}

TEST(DiskImageCache, CopiesEvictedWhileOpenCountUntilTheirLastReaderCloses) {
  TempFolder folder;
  constexpr std::uint64_t budget = 700 * 1024, size = 300 * 1024; // room for two copies
  auto remote = std::make_unique<RemoteImages>();
  std::vector<std::string> ids(12);
  for (std::size_t i = 0; i < ids.size(); ++i)
    remote->images[ids[i] = newImageId()] = std::string(size, char('a' + i));
  auto disk = std::make_unique<DiskImageCache>(folder.path(), budget);
  DiskImageCache& cache = *disk;
  CachedImageStore store(std::move(remote), 1 << 20, std::move(disk));

  auto sending = store.find(ids[0]); // a GET still sending it while the others push it out
  ASSERT_TRUE(sending && sending->reader->descriptor() >= 0);
  for (std::size_t i = 1; i < ids.size(); ++i) {
    EXPECT_EQ(servedBytes(store.find(ids[i])), std::string(size, char('a' + i)));
    EXPECT_LE(bytesOnDisk(folder.path()), budget) << "image " << i;
  }
  EXPECT_EQ(servedBytes(sending), std::string(size, 'a'));
  EXPECT_EQ(cache.usedBytes(), 2 * size) << "the copy being sent and the newest";
  sending.reset(); // its room takes copies again
  EXPECT_EQ(cache.usedBytes(), size);
  EXPECT_GE(store.find(ids[1])->reader->descriptor(), 0);
  EXPECT_EQ(cache.usedBytes(), 2 * size);
}

// --- the SQLite store's own files ------------------------------------------

TEST(SqliteImageStore, MigratesADatabaseOfTheFormerShapeWithoutLoss) {
  TempFolder data;
  std::filesystem::create_directories(data.path() / "images" / "Ab");
  testing::writeFile(data.path() / "images" / "Ab" / "AbCdEfGhIjKlMnOp.png", testing::pngBytes());
  sqliteExecute(
      data.path() / "glimor.db",
      "CREATE TABLE images (id TEXT PRIMARY KEY NOT NULL, type TEXT NOT NULL, size INTEGER NOT NULL,"
      " sha256 TEXT NOT NULL, created_at INTEGER NOT NULL, client_address TEXT NOT NULL,"
      " original_name BLOB NOT NULL);"
      "CREATE TABLE feedback (id INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB NOT NULL,"
      " email BLOB NOT NULL, category BLOB NOT NULL, text BLOB NOT NULL, created_at INTEGER NOT NULL,"
      " client_address TEXT NOT NULL);"
      "INSERT INTO images VALUES ('AbCdEfGhIjKlMnOp', 'png', " +
          std::to_string(testing::pngBytes().size()) +
          ", 'x', 1700000000, '192.0.2.9', X'6F6C64');"
          "INSERT INTO feedback VALUES (1, X'41', X'42', X'43', X'44', 1700000000, '192.0.2.9');");

  auto store = openStores(data.path().string(), std::nullopt);
  EXPECT_EQ(store.images->find("AbCdEfGhIjKlMnOp")->bytes, testing::pngBytes());
  EXPECT_FALSE(store.images->deletionHash("AbCdEfGhIjKlMnOp")); // stored before deletion links
  auto records = store.images->list({});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].clientAddress, "192.0.2.9");
  EXPECT_EQ(records[0].tokenName, "");
  EXPECT_FALSE(records[0].durationMs);
  EXPECT_EQ(records[0].width, 0u) << "not known for an older image";
  std::string added = store.images->add(uploadOf(testing::gifBytes(), "n.gif", "192.0.2.1", "alice"));
  ImageQuery byToken;
  byToken.tokenName = "alice";
  EXPECT_EQ(store.images->list(byToken).at(0).id, added);
  EXPECT_TRUE(store.images->remove("AbCdEfGhIjKlMnOp"));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path() / "glimor.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  sqlite3_prepare_v2(db, "SELECT (SELECT count(*) FROM feedback), user_version FROM pragma_user_version", -1,
                     &row, nullptr);
  ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(row, 0), 1);
  EXPECT_EQ(sqlite3_column_int(row, 1), 7);
  sqlite3_finalize(row);
  sqlite3_close(db);

  // A database from a newer program is left alone.
  sqliteExecute(data.path() / "glimor.db", "PRAGMA user_version = 99");
  EXPECT_THROW(openStores(data.path().string(), std::nullopt), glimor::Error);
}

TEST(SqliteImageStore, RecordsTheOriginalNameByteForByte) {
  TempFolder data;
  std::string id =
      SqliteImageStore(data.path()).add(uploadOf(testing::pngBytes(), std::string_view("my\0pic.png", 10)));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path() / "glimor.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  sqlite3_prepare_v2(db, "SELECT original_name FROM images WHERE id = ?", -1, &row, nullptr);
  sqlite3_bind_text(row, 1, id.c_str(), -1, SQLITE_TRANSIENT);
  ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
  EXPECT_EQ(std::string(static_cast<const char*>(sqlite3_column_blob(row, 0)), sqlite3_column_bytes(row, 0)),
            std::string("my\0pic.png", 10));
  sqlite3_finalize(row);
  sqlite3_close(db);
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
  SqliteImageStore store(data.path());
  std::string id = store.add(uploadOf(testing::jpegBytes()));
  std::filesystem::remove(data.path() / "images" / id.substr(0, 2) / (id + ".jpg"));
  EXPECT_FALSE(store.find(id));
}

TEST(SqliteImageStore, UnfinishedUploadsAreRemovedOnlyWhenAsked) {
  TempFolder data;
  { SqliteImageStore store(data.path()); }
  testing::writeFile(data.path() / "tmp" / "AAAAAAAAAAAAAAAA.part", "half an ima");
  // Another process opening the store (the admin command) leaves the service's uploads alone.
  SqliteImageStore other(data.path());
  EXPECT_FALSE(std::filesystem::is_empty(data.path() / "tmp"));
  SqliteImageStore::removeUnfinishedUploads(data.path());
  EXPECT_TRUE(std::filesystem::is_empty(data.path() / "tmp"));
}

TEST(SqliteImageStore, AFailedWriteLeavesNoRecord) {
  TempFolder data;
  SqliteImageStore store(data.path());
  // The staging folder replaced by a file: writing there fails, even for root.
  std::filesystem::remove(data.path() / "tmp");
  testing::writeFile(data.path() / "tmp", "");
  EXPECT_ANY_THROW(store.add(uploadOf(testing::pngBytes())));
  EXPECT_TRUE(store.list({}).empty());
}

} // namespace
} // namespace glimor::server
