#include "server.h"

#include "body_budget.h"
#include "connections.h"
#include "descriptor_limit.h"
#include "housekeeping.h"
#include "listener.h"
#include "metrics_listener.h"
#include "platform/error.h"
#include "request_log.h"
#include "routes.h"
#include "service.h"
#include "tls_context.h"

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace glimor::server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// One thread per core moves bytes; uploads and feedback wait for the disk
// (each is flushed before it is answered) on threads of their own, enough for
// many flushes to overlap.
unsigned networkThreadCount() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
}
constexpr unsigned diskThreadCount = 16;
// Decoding uploads is processor work. One client may use two threads a core
// (so that its decodes keep the cores busy while the answers of earlier ones
// go out), and one thread more is left for the others (see DecodeQueue).
unsigned coreCount() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, diskThreadCount / 2);
}
// Descriptors kept from clients: the listener, the log, the event loop, the
// SQLite files, files being read on the disk threads.
constexpr std::size_t descriptorReserve = 48;

tcp::endpoint resolveListenAddress(asio::io_context& io, const std::string& address, std::uint16_t port) {
  boost::system::error_code error;
  tcp::resolver resolver(io);
  auto results = resolver.resolve(address, std::to_string(port),
                                  tcp::resolver::passive | tcp::resolver::numeric_service, error);
  if (error || results.empty())
    throw Error("Cannot listen on \"" + address + "\": " + (error ? error.message() : "no address"));
  return results.begin()->endpoint();
}

std::string urlOf(const tcp::endpoint& endpoint) {
  std::string address = endpoint.address().to_string();
  if (endpoint.address().is_v6()) address = "[" + address + "]";
  return address + ":" + std::to_string(endpoint.port());
}

// After the stop signal: polls until the last connection is gone or the grace
// period is over; in the second case the remaining connections are dropped.
void awaitConnectionsClosed(asio::steady_timer& timer, Connections& connections, asio::io_context& io,
                            std::chrono::steady_clock::time_point deadline) {
  if (connections.empty()) return;
  if (std::chrono::steady_clock::now() >= deadline) {
    logMessage("grace period over: dropping the remaining connections");
    io.stop();
    return;
  }
  timer.expires_after(std::chrono::milliseconds(50));
  timer.async_wait(
      [&, deadline](boost::system::error_code) { awaitConnectionsClosed(timer, connections, io, deadline); });
}

std::string limitText(std::uint64_t value, const std::string& unit, const std::string& none) {
  return value == 0 ? none : std::to_string(value) + " " + unit;
}

// For the start-up line: who may upload, and how much.
std::string uploadPolicy(const Config& config) {
  return std::string(config.uploads == UploadAccess::open ? "open to anyone" : "with a token only") + " (" +
         (config.uploadsReason.empty() ? "" : config.uploadsReason + "; ") +
         limitText(config.uploadsPerMinute, "a minute", "no rate limit") + ", " +
         limitText(config.uploadBytesPerDay, "bytes a day", "no byte quota") + ", feedback " +
         limitText(config.feedbackPerMinute, "a minute", "unlimited") + ")";
}

std::string proxyPolicy(const Config& config) {
  if (!config.proxyProtocol) return "";
  std::string proxies;
  for (const auto& proxy : config.trustedProxies) proxies += (proxies.empty() ? "" : ", ") + proxy;
  return ", PROXY protocol from " + proxies + " only";
}

} // namespace

void runServer(const Config& config) {
  // A client gone while sendfile() writes to its socket must cost an error
  // code, not the process (sendfile, unlike send, has no MSG_NOSIGNAL).
  std::signal(SIGPIPE, SIG_IGN);
  std::size_t descriptors = raiseDescriptorLimit();
  // Bad certificate or key files stop the start before anything else is touched.
  std::optional<TlsContexts> tls;
  if (config.tls) tls.emplace(*config.tls);
  Service service(config);
  Housekeeping housekeeping(*service.images, config.expireAfterDays, [&service] { measureStore(service); });
  unsigned threads = networkThreadCount();
  asio::io_context io(static_cast<int>(threads));
  asio::thread_pool diskWork(diskThreadCount);
  DecodeQueue decodes(2 * coreCount() + 1, 2 * coreCount());
  std::size_t reserve = descriptorReserve + diskThreadCount + CachedImageStore::openFileCount +
                        (config.database ? config.database->connections : 0);
  std::size_t maxConnections = config.maxConnections.value_or(connectionsWithin(descriptors, reserve));
  Connections connections(maxConnections, config.maxConnectionsPerAddress);
  // Room for eight largest uploads at once, a quarter of it for any one
  // address; small uploads claim only their own size.
  std::uint64_t budget = 8 * bodyLimit(config, Route::upload);
  BodyBudget bodies(budget, budget / 4);
  SessionShared shared{service, connections, bodies, diskWork, decodes};
  auto listener = std::make_shared<Listener>(
      io, resolveListenAddress(io, config.listenAddress, config.listenPort), shared, tls ? &*tls : nullptr);
  listener->start();
  std::shared_ptr<MetricsListener> metricsListener;
  if (config.metricsListen) {
    metricsListener = std::make_shared<MetricsListener>(
        io, resolveListenAddress(io, config.metricsListen->address, config.metricsListen->port), connections);
    metricsListener->start();
  }

  auto bound = listener->endpoint();
  std::string shownAddress =
      bound.address().is_v6() ? "[" + bound.address().to_string() + "]" : bound.address().to_string();
  logMessage("glimor-server listening on " + std::string(tls ? "https" : "http") + "://" + shownAddress +
             ":" + std::to_string(bound.port()) + "/ with " + service.storeDescription + ", at most " +
             std::to_string(maxConnections) + " connections, uploads " + uploadPolicy(config) +
             proxyPolicy(config));
  if (metricsListener) {
    auto metricsAt = metricsListener->endpoint();
    logMessage("metrics on http://" + urlOf(metricsAt) + "/metrics");
    if (!isLoopbackAddress(metricsAt.address().to_string()))
      logMessage("warning: --metrics-listen " + urlOf(metricsAt) +
                 " is reachable from other computers, and the metrics are for the operator alone: "
                 "listen on a loopback address, or keep the port from the public with a firewall");
  }

  // SIGHUP reads the certificate and key again; without TLS there is nothing to reload.
  asio::signal_set hangups(io, SIGHUP);
  std::function<void()> awaitHangup = [&] {
    hangups.async_wait([&](boost::system::error_code error, int) {
      if (error) return;
      if (tls)
        tls->reload();
      else
        logMessage("SIGHUP: nothing to reload without --tls-cert");
      awaitHangup();
    });
  };
  awaitHangup();

  asio::steady_timer graceTimer(io);
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](boost::system::error_code error, int signal) {
    if (error) return;
    logMessage(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
               ": finishing requests in flight");
    listener->stop();
    if (metricsListener) metricsListener->stop();
    hangups.cancel();
    connections.stop();
    auto deadline = std::chrono::steady_clock::now() + config.requestTimeout;
    awaitConnectionsClosed(graceTimer, connections, io, deadline);
  });

  // A failure that escapes one connection's handler is logged; the service goes on.
  auto serve = [&io] {
    while (true) {
      try {
        io.run();
        return;
      } catch (const std::exception& failure) {
        logMessage(std::string("error: ") + failure.what());
      }
    }
  };
  std::vector<std::thread> workers;
  for (unsigned i = 1; i < threads; ++i) workers.emplace_back(serve);
  serve();
  for (auto& worker : workers) worker.join();
  decodes.join();
  diskWork.join();
  logMessage("stopped");
}

} // namespace glimor::server
