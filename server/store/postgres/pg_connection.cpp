#include "pg_connection.h"

#include "database_unavailable.h"
#include "platform/error.h"

#include <cstring>
#include <libpq-fe.h>

namespace glimor::server {
namespace {

// Defaults that the URI may override: every wait has a bound well inside a
// client's patience, and a dead peer is noticed within seconds.
constexpr const char* defaultKeys[] = {
    "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
    "keepalives_count", "tcp_user_timeout", "options",         "application_name"};
constexpr const char* defaultValues[] = {"5",
                                         "1",
                                         "10",
                                         "5",
                                         "3",
                                         "15000",
                                         "-c statement_timeout=15000 -c client_min_messages=warning",
                                         "glimor-server"};

// libpq's messages span lines; the log takes one.
std::string oneLine(const char* message) {
  std::string text;
  for (const char* c = message && *message ? message : "no message"; *c; ++c) {
    bool space = *c == '\n' || *c == '\t' || *c == ' ';
    if (!space)
      text += *c;
    else if (!text.empty() && text.back() != ' ')
      text += ' ';
  }
  while (text.ends_with(' ')) text.pop_back();
  return text;
}

// SQLSTATE classes that mean the database is away rather than the query wrong:
// connection exceptions, shutdowns, a server not yet accepting, and no free slot.
bool meansUnavailable(std::string_view state) {
  return state.starts_with("08") || state == "57P01" || state == "57P02" || state == "57P03" ||
         state == "53300";
}

} // namespace

int PgResult::rows() const {
  return PQntuples(result_.get());
}

std::uint64_t PgResult::affectedRows() const {
  const char* count = PQcmdTuples(result_.get());
  return *count ? std::stoull(count) : 0;
}

std::string_view PgResult::bytes(int row, int column) const {
  return {PQgetvalue(result_.get(), row, column),
          static_cast<std::size_t>(PQgetlength(result_.get(), row, column))};
}

std::int64_t PgResult::int64(int row, int column) const {
  std::string_view raw = bytes(row, column);
  if (raw.size() != 8) throw Error("Database error: a bigint column is not 8 bytes");
  std::uint64_t value = 0;
  for (unsigned char byte : raw) value = value << 8 | byte; // network byte order
  return static_cast<std::int64_t>(value);
}

void PgResult::clear(pg_result* result) {
  PQclear(result);
}

PgConnection::PgConnection(const std::string& uri) {
  constexpr std::size_t defaults = std::size(defaultKeys);
  const char* keys[defaults + 2];
  const char* values[defaults + 2];
  for (std::size_t i = 0; i < defaults; ++i) {
    keys[i] = defaultKeys[i];
    values[i] = defaultValues[i];
  }
  keys[defaults] = "dbname";
  values[defaults] = uri.c_str();
  keys[defaults + 1] = values[defaults + 1] = nullptr;
  connection_ = PQconnectdbParams(keys, values, 1);
  if (!connection_) throw Error("Database error: out of memory");
  if (PQstatus(connection_) != CONNECTION_OK) {
    std::string message = oneLine(PQerrorMessage(connection_));
    PQfinish(connection_);
    connection_ = nullptr;
    throw DatabaseUnavailable(message);
  }
}

PgConnection::~PgConnection() {
  PQfinish(connection_);
}

bool PgConnection::broken() const {
  return PQstatus(connection_) != CONNECTION_OK;
}

std::string PgConnection::description() const {
  return std::string(PQuser(connection_)) + "@" + PQhost(connection_) + ":" + PQport(connection_) + "/" +
         PQdb(connection_);
}

PgResult PgConnection::check(pg_result* raw) {
  PgResult result(raw);
  ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return result;
  const char* state = raw ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
  std::string message = oneLine(raw ? PQresultErrorMessage(raw) : PQerrorMessage(connection_));
  if (broken() || (state && meansUnavailable(state))) throw DatabaseUnavailable(message);
  if (state && std::strcmp(state, "57014") == 0)
    throw DatabaseUnavailable(message, "Database too slow, try again later");
  if (state && std::strcmp(state, "53100") == 0) throw diskFull(); // the statement's transaction is void
  throw Error("Database error: " + message);
}

void PgConnection::execute(const char* sql) {
  check(PQexec(connection_, sql));
}

PgResult PgConnection::query(const char* sql, const std::vector<PgParam>& params) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const PgParam& param : params) {
    // A null pointer would be SQL NULL, so empty bytes point at an empty string.
    values.push_back(param.binary ? (param.bytesView.empty() ? "" : param.bytesView.data())
                                  : param.ownText.c_str());
    lengths.push_back(static_cast<int>(param.binary ? param.bytesView.size() : param.ownText.size()));
    formats.push_back(param.binary ? 1 : 0);
  }
  return check(PQexecParams(connection_, sql, static_cast<int>(params.size()), nullptr, values.data(),
                            lengths.data(), formats.data(), 1));
}

} // namespace glimor::server
