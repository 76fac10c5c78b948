#include "service.h"

#include "sqlite_image_store.h"
#include "store_opening.h"

namespace glimor::server {

Service::Service(const Config& configuration)
    : config(configuration), updates(configuration.updatesDirectory), usage(configuration.maxStoreBytes) {
  OpenedStores stores = openStores(config.dataDirectory, config.database, config.s3);
  if (!config.database && !config.s3) SqliteImageStore::removeUnfinishedUploads(config.dataDirectory);
  std::unique_ptr<DiskImageCache> disk;
  if (config.cacheDirectory)
    disk = std::make_unique<DiskImageCache>(*config.cacheDirectory, config.cacheBytes);
  images = std::make_unique<CachedImageStore>(std::move(stores.images), 64 << 20, std::move(disk));
  feedback = std::move(stores.feedback);
  tokens = std::move(stores.tokens);
  storeDescription = std::move(stores.description);
  if (config.cacheDirectory)
    storeDescription += ", copies of large images in " + *config.cacheDirectory + " (at most " +
                        std::to_string(config.cacheBytes) + " bytes)";
  gate = std::make_unique<UploadGate>(config, *tokens);
  sessions = std::make_unique<BrowserSessions>(*tokens);
  measureStore(*this);
}

void measureStore(Service& service) {
  if (service.usage.limited())
    service.usage.measured(service.images->storedBytes() + service.feedback->storedBytes());
}

} // namespace glimor::server
