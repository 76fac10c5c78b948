#pragma once
#include "pg_connection.h"
#include "temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace glimor::server::testing {

// One throwaway PostgreSQL cluster for this test process, on loopback: the one
// a ctest run shares (tests/support/postgres_fixture.sh, named by
// GLIMOR_TEST_POSTGRES_STATE), or else one started by
// tests/support/postgres_cluster.sh at first use and stopped at exit. Each
// caller gets a database of its own in it.
class PostgresForTests {
public:
  // A postgresql:// URI of a new, empty database; nothing when PostgreSQL is
  // not installed. Throws when it is installed but will not start.
  static std::optional<std::string> newDatabase() {
    static PostgresForTests cluster;
    if (!cluster.port_) return std::nullopt;
    // Named by process too: the processes of one ctest run share the cluster.
    std::string name =
        "store_test_" + std::to_string(::getpid()) + "_" + std::to_string(++cluster.databases_);
    PgConnection(cluster.uri("postgres")).execute(("CREATE DATABASE " + name).c_str());
    return cluster.uri(name);
  }

private:
  PostgresForTests() {
    if (const char* state = std::getenv("GLIMOR_TEST_POSTGRES_STATE")) {
      std::ifstream shared(state);
      std::string folder;
      if (shared >> folder >> port_) {
        stopAtExit_ = false;
        return;
      }
      port_ = 0;
    }
    std::string command = script() + " start " + (folder_.path() / "pg").string() + " 'fsync = off' 2>&1";
    FILE* output = ::popen(command.c_str(), "r");
    char line[256] = {};
    std::string text;
    while (output && std::fgets(line, sizeof line, output)) text += line;
    int status = output ? ::pclose(output) : -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return;
    if (status != 0) throw std::runtime_error("PostgreSQL did not start: " + text);
    port_ = std::stoi(text.substr(text.find_last_of('\n', text.size() - 2) + 1));
  }
  ~PostgresForTests() {
    if (port_ && stopAtExit_)
      std::system((script() + " stop " + (folder_.path() / "pg").string() + " >/dev/null 2>&1").c_str());
  }
  static std::string script() {
    return std::string(GLIMOR_SOURCE_DIR) + "/tests/support/postgres_cluster.sh";
  }
  std::string uri(const std::string& database) const {
    return "postgresql://glimor@127.0.0.1:" + std::to_string(port_) + "/" + database;
  }

  TempFolder folder_;
  int port_ = 0;
  int databases_ = 0;
  bool stopAtExit_ = true;
};

} // namespace glimor::server::testing
