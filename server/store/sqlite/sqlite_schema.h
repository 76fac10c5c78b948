#pragma once
#include "database.h"

namespace glimor::server {

// Brings the tables of glimor.db to the version this program knows, in one
// transaction; the version is kept in PRAGMA user_version. Throws Error for a
// database newer than this program.
void migrateSqliteSchema(Database& database);

} // namespace glimor::server
