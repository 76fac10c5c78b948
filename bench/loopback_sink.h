#pragma once
// A loopback HTTP sink for the benchmarks: takes any request with a Content-Length, reads and
// drops the body, answers a short 200 and closes. One connection at a time, like the client.
// Given a TLS context it speaks https instead.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

class LoopbackSink {
public:
  explicit LoopbackSink(SSL_CTX* tls = nullptr) : tls_(tls) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }

  ~LoopbackSink() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }

  std::string url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
  }
  std::uint64_t bodyBytes() const { return bodyBytes_; }

private:
  void serve() {
    std::vector<char> buffer(1 << 18);
    while (!stopping_) {
      int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      SSL* ssl = nullptr;
      if (tls_) {
        ssl = SSL_new(tls_);
        SSL_set_fd(ssl, client);
        if (SSL_accept(ssl) != 1) {
          SSL_free(ssl);
          ::close(client);
          continue;
        }
      }
      auto recv = [&](char* into, std::size_t size) -> ssize_t {
        return ssl ? SSL_read(ssl, into, static_cast<int>(size)) : ::recv(client, into, size, 0);
      };
      std::string head;
      std::size_t headEnd = std::string::npos;
      ssize_t got = 0;
      while (headEnd == std::string::npos && (got = recv(buffer.data(), buffer.size())) > 0) {
        head.append(buffer.data(), static_cast<std::size_t>(got));
        headEnd = head.find("\r\n\r\n");
      }
      if (headEnd != std::string::npos) {
        std::uint64_t expected = contentLength(head.substr(0, headEnd));
        std::uint64_t received = head.size() - headEnd - 4;
        while (received < expected && (got = recv(buffer.data(), buffer.size())) > 0)
          received += static_cast<std::uint64_t>(got);
        bodyBytes_ += received;
        const char answer[] = "HTTP/1.0 200 OK\r\nContent-Length: 15\r\n\r\nLink: http://x/";
        if (ssl)
          SSL_write(ssl, answer, sizeof answer - 1);
        else
          ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
      }
      if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
      }
      ::close(client);
    }
  }

  static std::uint64_t contentLength(std::string head) {
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t at = head.find("content-length:");
    return at == std::string::npos ? 0 : std::strtoull(head.c_str() + at + 15, nullptr, 10);
  }

  SSL_CTX* tls_;
  int listener_;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> bodyBytes_{0};
};
