#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace glimor::server {

// One parameter of a query: text (copied, sent as text) or bytes (sent as
// binary straight from the caller's buffer, which must outlive the query).
struct PgParam {
  static PgParam text(std::string value) { return {std::move(value), {}, false}; }
  static PgParam bytes(std::string_view value) { return {{}, value, true}; }
  static PgParam integer(std::int64_t value) { return text(std::to_string(value)); }

  std::string ownText;
  std::string_view bytesView;
  bool binary;
};

// A query's rows, all columns in binary form.
class PgResult {
public:
  explicit PgResult(pg_result* result) : result_(result, &clear) {}
  int rows() const;
  std::uint64_t affectedRows() const;
  std::string_view bytes(int row, int column) const;
  std::int64_t int64(int row, int column) const; // a bigint column

private:
  static void clear(pg_result* result);
  std::unique_ptr<pg_result, void (*)(pg_result*)> result_;
};

// One libpq connection with bounded waits: a connect timeout, a statement
// timeout, TCP keepalives and a TCP user timeout, so a database that vanishes
// fails a query instead of hanging it. A failure to reach the database (or one
// that broke the connection) throws DatabaseUnavailable, any other Error.
class PgConnection {
public:
  explicit PgConnection(const std::string& uri);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // One statement, or several without parameters.
  void execute(const char* sql);
  PgResult query(const char* sql, const std::vector<PgParam>& params);

  bool broken() const;
  // "user@host:port/name", without any password.
  std::string description() const;

private:
  PgResult check(pg_result* result);

  pg_conn* connection_ = nullptr;
};

} // namespace glimor::server
