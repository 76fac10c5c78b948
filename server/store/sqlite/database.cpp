#include "database.h"

#include "platform/error.h"
#include "store_error.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace glimor::server {
namespace {

// How long a statement waits for a lock another connection or process holds
// (a long transaction of the admin command, a backup) before it gives up.
constexpr int lockWaitMilliseconds = 2000;

[[noreturn]] void throwFor(sqlite3* db, const std::string& message) {
  int code = sqlite3_errcode(db) & 0xff; // the primary code of an extended one
  if (code == SQLITE_FULL) throw diskFull();
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw storeBusy(message);
  throw Error(message);
}

} // namespace

Database::Database(const std::string& path) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw Error("Cannot open database \"" + path + "\": " + message);
  }
  // For its owner only, also when an older version made it readable by all
  // (SQLite gives the journal files the same mode); quietly kept otherwise.
  chmod(path.c_str(), 0600);
  sqlite3_busy_timeout(db_, lockWaitMilliseconds);
  execute("PRAGMA journal_mode=WAL");
  execute("PRAGMA synchronous=FULL");
}

Database::~Database() {
  sqlite3_close(db_);
}

void Database::execute(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throwFor(db_, "Database error: " + text);
  }
}

void Database::fail(std::string_view what) const {
  throwFor(db_, "Database error (" + std::string(what) + "): " + sqlite3_errmsg(db_));
}

Statement::Statement(Database& database, const char* sql) : database_(database) {
  if (sqlite3_prepare_v2(database.handle(), sql, -1, &statement_, nullptr) != SQLITE_OK)
    database.fail("prepare");
}

Statement::~Statement() {
  sqlite3_finalize(statement_);
}

Statement& Statement::bindText(int index, std::string_view text) {
  if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
      SQLITE_OK)
    database_.fail("bind");
  return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
  // A zero-length blob must still be a blob, not NULL.
  if (sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK)
    database_.fail("bind");
  return *this;
}

Statement& Statement::bindInteger(int index, std::int64_t value) {
  if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) database_.fail("bind");
  return *this;
}

bool Statement::step() {
  int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) return true;
  if (result == SQLITE_DONE) return false;
  sqlite3_reset(statement_);
  database_.fail("step");
}

void Statement::run() {
  step();
  reset();
}

void Statement::reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::string Statement::columnText(int index) const {
  const auto* text = static_cast<const char*>(sqlite3_column_blob(statement_, index));
  int size = sqlite3_column_bytes(statement_, index);
  return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::int64_t Statement::columnInteger(int index) const {
  return sqlite3_column_int64(statement_, index);
}

Transaction::Transaction(Database& database) : database_(database) {
  database_.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
  if (!done_) sqlite3_exec(database_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
  database_.execute("COMMIT");
  done_ = true;
}

} // namespace glimor::server
