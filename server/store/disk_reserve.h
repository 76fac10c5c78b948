#pragma once
#include "store_error.h"

#include <filesystem>

namespace glimor::server {

// Room kept on the data disk for the operator: the file DATA/reserve, given
// up when a removal finds the disk full, so that deletions, revocations and
// purges (SQLite needs a little room for the journal of any write, a delete
// too) still work on a disk that uploads have filled; made again once a
// removal has freed room. 8 MiB, or a twentieth of a smaller disk.
class DiskReserve {
public:
  explicit DiskReserve(std::filesystem::path dataDirectory);

  // Runs `work`; when it fails for a full disk, gives up the reserve and runs
  // it once more. Then makes the reserve again if there is room.
  template <typename Work> auto freeing(Work&& work) -> decltype(work()) {
    try {
      return work();
    } catch (const StoreError& failure) {
      if (failure.kind() != StoreError::Kind::diskFull || !release()) throw;
    }
    // What the work frees makes room for the reserve again, at the latest once
    // the caller has removed its files (restore() once more then).
    struct Restore {
      DiskReserve& reserve;
      ~Restore() { reserve.restore(); }
    } restoring{*this};
    return work();
  }

  // Makes the reserve when it is missing and there is room; quietly not otherwise.
  void restore();

private:
  bool release(); // false when there was no reserve to give up

  std::filesystem::path path_;
};

} // namespace glimor::server
