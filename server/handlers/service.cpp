#include "service.h"

#include "sqlite_image_store.h"
#include "store_opening.h"

namespace glimor::server {

Service::Service(const Config& configuration)
    : config(configuration), updates(configuration.updatesDirectory), usage(configuration.maxStoreBytes) {
  OpenedStores stores = openStores(config.dataDirectory, config.database);
  if (!config.database) SqliteImageStore::removeUnfinishedUploads(config.dataDirectory);
  images = std::make_unique<CachedImageStore>(std::move(stores.images));
  feedback = std::move(stores.feedback);
  tokens = std::move(stores.tokens);
  storeDescription = std::move(stores.description);
  gate = std::make_unique<UploadGate>(config, *tokens);
  measureStore(*this);
}

void measureStore(Service& service) {
  if (service.usage.limited())
    service.usage.measured(service.images->storedBytes() + service.feedback->storedBytes());
}

} // namespace glimor::server
