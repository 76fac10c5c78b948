#pragma once
#include "pg_connection.h"

namespace glimor::server {

// Brings the database's tables to the version this program knows, recording it
// in glimor_schema. Nodes that start together take turns: each migrates under
// a transaction-wide advisory lock, and the later ones find nothing left to do.
// Refuses a database whose schema is newer than this program.
void migrateSchema(PgConnection& connection);

} // namespace glimor::server
