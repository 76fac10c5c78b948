#include "metrics_listener.h"

#include "listen_on.h"
#include "metrics.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <optional>

namespace glimor::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr int maxScrapes = 8;
// A scraper sends its request at once: a connection that waits longer is idle.
constexpr auto requestTimeout = std::chrono::seconds(2);
constexpr auto answerTimeout = std::chrono::seconds(5);
constexpr std::uint32_t headerLimit = 8192;

} // namespace

// One connection: its request, the answer, then the end.
class MetricsListener::Scrape : public std::enable_shared_from_this<Scrape> {
public:
  Scrape(tcp::socket socket, std::shared_ptr<MetricsListener> owner)
      : stream_(std::move(socket)), owner_(std::move(owner)) {}
  ~Scrape() {
    std::lock_guard lock(owner_->mutex_);
    if (waitingPlace_) owner_->waiting_.erase(*waitingPlace_);
    if (holdsSlot_) --owner_->scrapes_;
  }

  void start() {
    {
      std::lock_guard lock(owner_->mutex_);
      waitingPlace_ = owner_->waiting_.insert(owner_->waiting_.end(), weak_from_this());
    }
    parser_.header_limit(headerLimit);
    parser_.body_limit(0);
    stream_.expires_after(requestTimeout);
    http::async_read(stream_, buffer_, parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                       {
                         std::lock_guard lock(self->owner_->mutex_);
                         if (self->waitingPlace_) self->owner_->waiting_.erase(*self->waitingPlace_);
                         self->waitingPlace_.reset();
                       }
                       if (!error) self->answer();
                     });
  }

  // Gives its slot to a newcomer and closes (called under the owner's mutex).
  void evictLocked() {
    holdsSlot_ = false;
    owner_->waiting_.erase(*waitingPlace_);
    waitingPlace_.reset();
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->stream_.close(); });
  }

private:
  void answer() {
    const auto& request = parser_.get();
    answer_.version(request.version());
    answer_.keep_alive(false);
    answer_.set(http::field::server, "glimor-server");
    bool read = request.method() == http::verb::get || request.method() == http::verb::head;
    if (!read) {
      answer_.result(http::status::method_not_allowed);
      answer_.set(http::field::allow, "GET, HEAD");
    } else if (request.target() != "/metrics") {
      answer_.result(http::status::not_found);
      answer_.body() = "Metrics are at /metrics\n";
    } else {
      auto [open, idle] = owner_->connections_.openAndIdle();
      metrics().openConnections.set({{"state", "idle"}}, static_cast<double>(idle));
      metrics().openConnections.set({{"state", "busy"}}, static_cast<double>(open - idle));
      answer_.result(http::status::ok);
      answer_.set(http::field::content_type, "text/plain; version=0.0.4; charset=utf-8");
      answer_.body() = metrics().render();
    }
    answer_.prepare_payload();
    if (request.method() == http::verb::head) answer_.body().clear(); // the length stays that of GET
    stream_.expires_after(answerTimeout);
    http::async_write(stream_, answer_, [self = shared_from_this()](beast::error_code, std::size_t) {
      beast::error_code ignored;
      self->stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    });
  }

  beast::tcp_stream stream_;
  std::shared_ptr<MetricsListener> owner_;
  beast::flat_buffer buffer_;
  http::request_parser<http::empty_body> parser_;
  http::response<http::string_body> answer_;
  bool holdsSlot_ = true;
  std::optional<std::list<std::weak_ptr<Scrape>>::iterator> waitingPlace_;
};

MetricsListener::MetricsListener(asio::io_context& io, const tcp::endpoint& endpoint,
                                 Connections& connections)
    : io_(io), acceptor_(asio::make_strand(io)), pause_(acceptor_.get_executor()), connections_(connections) {
  listenOn(acceptor_, endpoint, "--metrics-listen: cannot listen on");
}

void MetricsListener::start() {
  accept();
}

void MetricsListener::stop() {
  asio::post(acceptor_.get_executor(), [self = shared_from_this()] {
    boost::system::error_code ignored;
    self->acceptor_.close(ignored);
    self->pause_.cancel();
  });
}

void MetricsListener::accept() {
  acceptor_.async_accept(asio::make_strand(io_),
                         [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
                           if (error == asio::error::operation_aborted || !self->acceptor_.is_open()) return;
                           if (error) {
                             self->pause_.expires_after(std::chrono::milliseconds(500));
                             return self->pause_.async_wait([self](boost::system::error_code waitError) {
                               if (!waitError && self->acceptor_.is_open()) self->accept();
                             });
                           }
                           // With every slot being answered, the connection is closed unread.
                           if (self->takeSlot()) std::make_shared<Scrape>(std::move(socket), self)->start();
                           self->accept();
                         });
}

bool MetricsListener::takeSlot() {
  std::shared_ptr<Scrape> evicted; // let go of after the mutex
  std::lock_guard lock(mutex_);
  if (scrapes_ < maxScrapes) {
    ++scrapes_;
    return true;
  }
  // A scrape being destroyed cannot be locked; its slot comes back soon.
  for (const auto& waiting : waiting_)
    if ((evicted = waiting.lock())) break;
  if (!evicted) return false;
  evicted->evictLocked();
  return true;
}

} // namespace glimor::server
