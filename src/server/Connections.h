// SPDX-License-Identifier: MIT
// The server's connections: one thread waits on every socket (epoll) and reads each request whole,
// within deadlines and byte bounds, before a worker sees it; the workers only answer complete
// requests, and the same thread writes the answers back. A client that sends slowly, or nothing,
// holds a few bytes and a file descriptor, never a thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server {

struct Request {
  std::string method, path, query;  // the path percent-decoded, the query as sent
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  std::string peer;  // the address the connection came from
  std::chrono::steady_clock::time_point started;

  std::string header(std::string_view name) const;
};

struct Response {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string type = "application/json";
};

struct ConnectionLimits {
  // The whole of a request's head, from its first byte to its empty line (or, between requests,
  // from the last answer), and a request's body: `bodySeconds` plus a second for every
  // `bodyBytesPerSecond` it holds.
  std::chrono::milliseconds headDeadline{10'000}, bodyDeadline{10'000};
  std::size_t bodyBytesPerSecond = 32 << 10;
  std::size_t headBytes = 16 << 10;
  std::size_t connectionsPerAddress = 32;
  std::string exempt;  // an address the cap does not hold (a trusted proxy)
  // Bytes of requests held at once, all connections together; past it, 503.
  std::size_t bytesInFlight = 64u << 20;
  std::size_t workers = 16;
};

class Connections {
public:
  // `bodyLimit` says, from a request's head, the largest body it may have (beyond, 413 at once);
  // `handle` answers a whole request on a worker; `answered` hears of every answer, the loop's
  // own refusals too.
  using BodyLimit = std::function<std::size_t(const Request&)>;
  using Handle = std::function<Response(Request&)>;
  using Answered = std::function<void(const Request&, const Response&)>;
  Connections(ConnectionLimits limits, BodyLimit bodyLimit, Handle handle, Answered answered);
  ~Connections();
  Connections(const Connections&) = delete;
  Connections& operator=(const Connections&) = delete;

  // Binds `address`:`port` (0 for any free port); the port bound, or -1.
  int bind(const std::string& address, int port);
  // Serves until stop().
  bool run();
  void stop();

private:
  struct Loop;
  std::unique_ptr<Loop> loop_;
};

}  // namespace server
