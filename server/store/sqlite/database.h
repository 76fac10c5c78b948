#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace glimor::server {

// One SQLite connection in WAL mode with full sync, so a committed record
// survives a crash. Failures throw Error with SQLite's own message; a full
// disk throws diskFull(), and a write lock held elsewhere for longer than a
// short wait throws storeBusy(), so no request waits long for another process.
class Database {
public:
  explicit Database(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void execute(const char* sql);
  sqlite3* handle() const { return db_; }
  [[noreturn]] void fail(std::string_view what) const;

private:
  sqlite3* db_ = nullptr;
};

// A prepared statement, reset after each use. Texts from clients are bound as
// blobs: they are 8-bit text in the sender's code page, not UTF-8, and are
// kept byte for byte.
class Statement {
public:
  Statement(Database& database, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bindText(int index, std::string_view text);
  Statement& bindBlob(int index, std::string_view bytes);
  Statement& bindInteger(int index, std::int64_t value);
  bool step(); // true while a row is available
  void run();  // a statement that returns no rows; then reset
  void reset();
  std::string columnText(int index) const;
  std::int64_t columnInteger(int index) const;

private:
  Database& database_;
  sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class Transaction {
public:
  explicit Transaction(Database& database);
  ~Transaction();
  void commit();

private:
  Database& database_;
  bool done_ = false;
};

} // namespace glimor::server
