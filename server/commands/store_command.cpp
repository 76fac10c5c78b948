#include "store_command.h"

namespace glimor::server {

bool takeStoreFlag(std::span<const std::string_view> arguments, std::size_t& i, StoreLocation& store) {
  std::string_view flag = arguments[i];
  std::optional<std::string_view> value;
  if (std::size_t equals = flag.find('='); flag.starts_with("--") && equals != std::string_view::npos) {
    value = flag.substr(equals + 1);
    flag = flag.substr(0, equals);
  }
  auto next = [&]() -> std::string_view {
    if (value) return *value;
    if (i + 1 >= arguments.size()) throw Error(std::string(flag) + " needs a value");
    return arguments[++i];
  };
  if (takeS3Flag(flag, next, store.s3, store.sawS3Flag)) return true;
  if (flag != "--data" && flag != "--database") return false;
  if (!value && i + 1 < arguments.size()) value = arguments[++i];
  if (!value || value->empty()) throw Error(std::string(flag) + " needs a value");
  if (flag == "--data")
    store.dataDirectory = *value;
  else
    store.database = DatabaseSettings{std::string(*value), 1};
  return true;
}

void requireOneStore(const StoreLocation& store, std::string_view command) {
  if (store.dataDirectory.empty() == !store.database)
    throw Error(std::string(command) +
                " needs one of --data DIR and --database URI, the store the service uses");
  checkS3Flags(store.s3, store.sawS3Flag);
}

} // namespace glimor::server
