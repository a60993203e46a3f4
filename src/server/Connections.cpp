// SPDX-License-Identifier: MIT
// The accepting loop and its workers: HTTP/1.1 read to whole requests under deadlines and bounds.
#include "server/Connections.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "server/Json.h"

namespace server {

namespace {

using Clock = std::chrono::steady_clock;

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// %XX decoded; nothing when a percent is not followed by two hex digits.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const std::string hex(text.substr(i + 1, 2));
    if (!std::isxdigit(static_cast<unsigned char>(hex[0])) ||
        !std::isxdigit(static_cast<unsigned char>(hex[1])))
      return std::nullopt;
    out += static_cast<char>(std::stoi(hex, nullptr, 16));
    i += 2;
  }
  return out;
}

// A length as HTTP writes it: decimal digits only, at most 18 of them; nothing otherwise.
std::optional<std::size_t> decimal(std::string_view text) {
  if (text.empty() || text.size() > 18 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoull(std::string(text));
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 413:
      return "Content Too Large";
    case 422:
      return "Unprocessable Content";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

std::string addressOf(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  else if (address.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
              sizeof text);
  return text;
}

// A request's parts read so far, and where the connection stands.
enum class Stage { Head, Body, Chunked, Working, Writing, Closing, Dead };
enum class Chunk { Size, Data, DataEnd, Trailer };

struct Connection {
  int fd = -1;
  std::uint64_t id = 0;
  std::string peer;
  Stage stage = Stage::Head;
  std::string in;  // bytes read that no request has taken yet
  Request request;
  std::size_t length = 0, limit = 0;  // the body's announced length, and the most it may be
  Chunk chunk = Chunk::Size;
  std::size_t chunkLeft = 0;
  Clock::time_point deadline, bodyStarted;
  bool closeAfter = false;
  std::string out;
  std::size_t written = 0;
  std::size_t handed = 0;  // the size of the body a worker holds
  std::size_t held = 0;    // this connection's bytes counted in flight
};

struct Job {
  std::uint64_t id = 0;
  Request request;
  Response response;
};

}  // namespace

std::string Request::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (key == name) return value;
  return {};
}

struct Connections::Loop {
  ConnectionLimits limits;
  BodyLimit bodyLimit;
  Handle handle;
  Answered answered;
  int listener = -1, epoll = -1, wake = -1;
  std::size_t maxConnections = 1024;
  std::map<int, std::unique_ptr<Connection>> connections;
  std::map<std::uint64_t, int> byId;
  std::map<std::string, std::size_t> perAddress;
  std::vector<int> closed;  // closed this round; their descriptors are let go after it
  std::uint64_t nextId = 1;
  std::size_t inFlight = 0;
  Clock::time_point acceptPausedUntil{};
  std::atomic<bool> stopping{false};

  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Job> jobs, done;
  std::vector<std::thread> workers;

  Loop(ConnectionLimits l, BodyLimit b, Handle h, Answered a)
      : limits(l), bodyLimit(std::move(b)), handle(std::move(h)), answered(std::move(a)) {
    epoll = ::epoll_create1(EPOLL_CLOEXEC);
    wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    watch(wake, EPOLLIN, EPOLL_CTL_ADD);
    // Every connection is a file descriptor: as many as the system lets this process open, less
    // a reserve for the database, the verifying processes and the page's files.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
      files.rlim_cur = files.rlim_max;
      ::setrlimit(RLIMIT_NOFILE, &files);
      ::getrlimit(RLIMIT_NOFILE, &files);
      maxConnections = files.rlim_cur > 512 ? std::min<rlim_t>(files.rlim_cur - 256, 1 << 20) : 256;
    }
  }

  ~Loop() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    ready.notify_all();
    for (auto& t : workers) t.join();
    for (auto& [fd, c] : connections) ::close(fd);
    for (int fd : {listener, epoll, wake})
      if (fd >= 0) ::close(fd);
  }

  void watch(int fd, std::uint32_t events, int op) {
    epoll_event e{};
    e.events = events;
    e.data.fd = fd;
    ::epoll_ctl(epoll, op, fd, &e);
  }

  void signal() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake, &one, sizeof one);
  }

  void work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return stopping || !jobs.empty(); });
        if (stopping) return;
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      job.response = handle(job.request);
      {
        std::lock_guard lock(mutex);
        done.push_back(std::move(job));
      }
      signal();
    }
  }

  bool run() {
    for (std::size_t i = 0; i < std::max<std::size_t>(limits.workers, 1); ++i)
      workers.emplace_back([this] { work(); });
    auto swept = Clock::now();
    epoll_event events[256];
    while (!stopping) {
      const int n = ::epoll_wait(epoll, events, 256, 250);
      if (n < 0 && errno != EINTR) return false;
      for (int i = 0; i < n; ++i) {
        const int fd = events[i].data.fd;
        if (fd == listener)
          acceptAll();
        else if (fd == wake)
          answerDone();
        else
          onEvent(fd, events[i].events);
      }
      const auto now = Clock::now();
      if (acceptPausedUntil != Clock::time_point{} && now >= acceptPausedUntil) {
        acceptPausedUntil = {};
        watch(listener, EPOLLIN, EPOLL_CTL_ADD);
      }
      if (now - swept >= std::chrono::milliseconds(250)) {
        swept = now;
        sweep(now);
      }
      reap();
    }
    return true;
  }

  void acceptAll() {
    for (;;) {
      sockaddr_storage address{};
      socklen_t size = sizeof address;
      const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&address), &size,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        // Out of file descriptors: those open go on; new ones wait in the system's line.
        if (errno == EMFILE || errno == ENFILE) pauseAccepting();
        return;
      }
      const std::string peer = addressOf(address);
      if (connections.size() >= maxConnections) {
        refuseAtOnce(fd, peer, 503, "the server is busy; try again shortly");
        continue;
      }
      if (peer != limits.exempt && perAddress[peer] >= limits.connectionsPerAddress) {
        refuseAtOnce(fd, peer, 429, "too many connections from one address");
        continue;
      }
      ++perAddress[peer];
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      c->id = nextId++;
      c->peer = peer;
      c->deadline = Clock::now() + limits.headDeadline;
      byId[c->id] = fd;
      connections[fd] = std::move(c);
      watch(fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_ADD);
    }
  }

  void pauseAccepting() {
    watch(listener, 0, EPOLL_CTL_DEL);
    acceptPausedUntil = Clock::now() + std::chrono::milliseconds(100);
  }

  // A connection turned away before it is read: a short answer if the socket takes it at once.
  void refuseAtOnce(int fd, const std::string& peer, int status, std::string_view why) {
    Request request;
    request.peer = peer;
    request.started = Clock::now();
    Response res = refusal(status, why);
    const std::string text = serialised(request, res, true);
    [[maybe_unused]] const auto n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    ::close(fd);
    answered(request, res);
  }

  static Response refusal(int status, std::string_view why) {
    Response res;
    res.status = status;
    res.body = json::error(why);
    return res;
  }

  std::string serialised(const Request& request, Response& res, bool close) const {
    if ((res.status == 429 || res.status == 503) &&
        std::none_of(res.headers.begin(), res.headers.end(),
                     [](const auto& h) { return lower(h.first) == "retry-after"; }))
      res.headers.emplace_back("Retry-After", res.status == 429 ? "60" : "5");
    std::string text =
        "HTTP/1.1 " + std::to_string(res.status) + " " + reasonPhrase(res.status) + "\r\n";
    for (const auto& [name, value] : res.headers) text += name + ": " + value + "\r\n";
    if (res.status != 304) {
      if (!res.type.empty()) text += "Content-Type: " + res.type + "\r\n";
      text += "Content-Length: " + std::to_string(res.body.size()) + "\r\n";
    }
    if (close) text += "Connection: close\r\n";
    text += "\r\n";
    if (request.method != "HEAD" && res.status != 304) text += res.body;
    return text;
  }

  void account(Connection& c) {
    const std::size_t now = c.in.size() + c.request.body.size() + c.handed;
    inFlight = inFlight + now - c.held;
    c.held = now;
  }

  // Closed at once, its descriptor let go once this round of events is done with (so that no
  // new connection takes its number while the round may still speak of it).
  void close(Connection& c) {
    if (c.stage == Stage::Dead) return;
    inFlight -= c.held;
    c.held = 0;
    if (auto it = perAddress.find(c.peer); it != perAddress.end() && --it->second == 0)
      perAddress.erase(it);
    byId.erase(c.id);
    c.stage = Stage::Dead;
    watch(c.fd, 0, EPOLL_CTL_DEL);
    closed.push_back(c.fd);
  }

  void reap() {
    for (const int fd : closed) {
      ::close(fd);
      connections.erase(fd);
    }
    closed.clear();
  }

  void onEvent(int fd, std::uint32_t events) {
    const auto it = connections.find(fd);
    if (it == connections.end()) return;
    Connection& c = *it->second;
    if (c.stage == Stage::Dead) return;
    if (c.stage == Stage::Writing && (events & EPOLLOUT)) return flush(c);
    if (c.stage == Stage::Working) return;  // its answer is on the way; a hang-up is seen then
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) readFrom(c);
  }

  void readFrom(Connection& c) {
    char buffer[64 << 10];
    // A few reads at a time, so that one fast sender does not keep the others waiting.
    for (int round = 0; round < 4; ++round) {
      const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return close(c);
      if (n < 0) return;
      if (c.stage == Stage::Closing) continue;  // what comes after the last answer is dropped
      take(c, buffer, static_cast<std::size_t>(n));
      account(c);
      if (inFlight > limits.bytesInFlight)
        return refuse(c, 503, "the server holds too many requests' bytes; try again shortly");
      advance(c);
      if (c.stage != Stage::Head && c.stage != Stage::Body && c.stage != Stage::Chunked) return;
    }
  }

  // Bytes of a body being read go straight to it; the rest waits in `in` to be parsed.
  static void take(Connection& c, const char* data, std::size_t size) {
    if (c.stage == Stage::Body) {
      const std::size_t wanted = std::min(size, c.length - c.request.body.size());
      c.request.body.append(data, wanted);
      data += wanted;
      size -= wanted;
    }
    c.in.append(data, size);
  }

  // Moves the connection on with what it has read.
  void advance(Connection& c) {
    if (c.stage == Stage::Head && !readHead(c)) return;
    if (c.stage == Stage::Chunked)
      readChunks(c);
    else if (c.stage == Stage::Body && c.request.body.size() == c.length)
      dispatch(c);
  }

  // The head, once whole: false while it is not (or when it was refused).
  bool readHead(Connection& c) {
    const auto end = c.in.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (c.in.size() > limits.headBytes) refuse(c, 431, "the request's head is too large");
      return false;
    }
    if (end > limits.headBytes) {
      refuse(c, 431, "the request's head is too large");
      return false;
    }
    c.request = Request{};
    c.request.peer = c.peer;
    c.request.started = Clock::now();
    if (!parseHead(std::string_view(c.in).substr(0, end), c)) {
      refuse(c, 400, "the request does not read as HTTP");
      return false;
    }
    c.in.erase(0, end + 4);
    return frame(c);
  }

  bool parseHead(std::string_view head, Connection& c) {
    auto lineEnd = head.find("\r\n");
    const std::string_view first = head.substr(0, lineEnd);
    const auto a = first.find(' '), b = first.rfind(' ');
    if (a == std::string_view::npos || a == b) return false;
    const std::string_view version = first.substr(b + 1), target = first.substr(a + 1, b - a - 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return false;
    if (target.empty() || target.front() != '/') return false;
    c.request.method = std::string(first.substr(0, a));
    const auto question = target.find('?');
    const auto path = percentDecoded(target.substr(0, question));
    if (!path || path->find('\0') != std::string::npos) return false;
    c.request.path = *path;
    if (question != std::string_view::npos) c.request.query = target.substr(question + 1);
    while (lineEnd != std::string_view::npos) {
      head.remove_prefix(lineEnd + 2);
      lineEnd = head.find("\r\n");
      const std::string_view line = head.substr(0, lineEnd);
      const auto colon = line.find(':');
      if (colon == std::string_view::npos || colon == 0 || line.front() == ' ' ||
          line.front() == '\t')
        return false;
      c.request.headers.emplace_back(lower(line.substr(0, colon)),
                                     std::string(trimmed(line.substr(colon + 1))));
    }
    const std::string connection = lower(c.request.header("connection"));
    c.closeAfter = connection.find("close") != std::string::npos ||
                   (version == "HTTP/1.0" && connection.find("keep-alive") == std::string::npos);
    return true;
  }

  // How the body comes, checked against its bound before a byte of it is read.
  bool frame(Connection& c) {
    const Request& r = c.request;
    const std::string coding = lower(r.header("transfer-encoding"));
    const std::string length = r.header("content-length");
    c.limit = bodyLimit(r);
    c.bodyStarted = Clock::now();
    c.deadline = c.bodyStarted + limits.bodyDeadline;
    if (!coding.empty()) {
      if (coding != "chunked" || !length.empty()) {
        refuse(c, 400, "the only transfer coding taken is chunked, without a length");
        return false;
      }
      c.stage = Stage::Chunked;
      c.chunk = Chunk::Size;
      continueIfAsked(c);
      return true;
    }
    const auto announced = length.empty() ? std::optional<std::size_t>(0) : decimal(length);
    // A negative length or one of more digits than any body is a promise past the bound too.
    const bool huge =
        !announced && !length.empty() &&
        (length.front() == '-' || std::all_of(length.begin(), length.end(), ::isdigit));
    if (huge || (announced && *announced > c.limit)) {
      refuse(c, 413, "the request is too large");
      return false;
    }
    if (!announced) {
      refuse(c, 400, "the request's length does not read");
      return false;
    }
    c.length = *announced;
    c.stage = Stage::Body;
    // Bytes read with the head belong to the body, as far as it goes.
    const std::string early = std::move(c.in);
    c.in.clear();
    take(c, early.data(), early.size());
    if (c.request.body.size() < c.length) continueIfAsked(c);
    return true;
  }

  void continueIfAsked(Connection& c) {
    if (lower(c.request.header("expect")) != "100-continue") return;
    constexpr std::string_view go = "HTTP/1.1 100 Continue\r\n\r\n";
    [[maybe_unused]] const auto n = ::send(c.fd, go.data(), go.size(), MSG_NOSIGNAL);
  }

  // Decodes what has come of a chunked body, and hands it on once whole.
  void readChunks(Connection& c) {
    std::size_t at = 0;
    std::string& in = c.in;
    bool whole = false;
    while (!whole) {
      if (c.chunk == Chunk::Data) {
        const std::size_t n = std::min(c.chunkLeft, in.size() - at);
        c.request.body.append(in, at, n);
        at += n;
        c.chunkLeft -= n;
        if (c.chunkLeft > 0) break;
        c.chunk = Chunk::DataEnd;
        continue;
      }
      const auto eol = in.find("\r\n", at);
      if (eol == std::string::npos) {
        if (in.size() - at > 1024) return refuse(c, 400, "a chunk's line is too long");
        break;
      }
      const std::string_view line(in.data() + at, eol - at);
      at = eol + 2;
      if (c.chunk == Chunk::DataEnd) {
        if (!line.empty()) return refuse(c, 400, "a chunk does not end where it said");
        c.chunk = Chunk::Size;
      } else if (c.chunk == Chunk::Trailer) {
        whole = line.empty();
      } else {
        const std::string_view digits = trimmed(line.substr(0, line.find(';')));
        std::size_t size = 0;
        if (digits.empty() || digits.size() > 15 ||
            !std::all_of(digits.begin(), digits.end(), ::isxdigit))
          return refuse(c, 400, "a chunk's size does not read");
        size = std::stoull(std::string(digits), nullptr, 16);
        if (c.request.body.size() + size > c.limit)
          return refuse(c, 413, "the request is too large");
        c.chunkLeft = size;
        c.chunk = size == 0 ? Chunk::Trailer : Chunk::Data;
      }
    }
    in.erase(0, at);
    account(c);
    if (whole) dispatch(c);
  }

  void dispatch(Connection& c) {
    c.stage = Stage::Working;
    // Nothing is read until the answer is written; a hang-up meanwhile is heard once.
    watch(c.fd, EPOLLONESHOT, EPOLL_CTL_MOD);
    c.handed = c.request.body.size();
    {
      std::lock_guard lock(mutex);
      jobs.push_back({c.id, std::move(c.request), {}});
    }
    c.request = Request{};
    ready.notify_one();
  }

  void answerDone() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto n = ::read(wake, &count, sizeof count);
    std::deque<Job> answers;
    {
      std::lock_guard lock(mutex);
      answers.swap(done);
    }
    for (Job& job : answers) {
      const auto it = byId.find(job.id);
      if (it == byId.end()) continue;
      Connection& c = *connections[it->second];
      job.request.body.clear();
      answer(c, job.request, job.response);
    }
  }

  // The loop's own refusal of what a connection sent: answered, and the connection closed.
  void refuse(Connection& c, int status, std::string_view why) {
    if (c.request.peer.empty()) c.request.peer = c.peer;
    if (c.request.started == Clock::time_point{}) c.request.started = Clock::now();
    c.closeAfter = true;
    Response res = refusal(status, why);
    answer(c, c.request, res);
  }

  void answer(Connection& c, const Request& request, Response& res) {
    c.out = serialised(request, res, c.closeAfter);
    c.written = 0;
    c.stage = Stage::Writing;
    c.request.body.clear();
    c.handed = 0;
    account(c);
    answered(request, res);
    // A second per 16 kB of the answer, beyond the first ten, to take it.
    c.deadline = Clock::now() + std::chrono::seconds(10 + c.out.size() / (16 << 10));
    flush(c);
  }

  void flush(Connection& c) {
    while (c.written < c.out.size()) {
      const ssize_t n =
          ::send(c.fd, c.out.data() + c.written, c.out.size() - c.written, MSG_NOSIGNAL);
      if (n < 0 && errno == EAGAIN) return watch(c.fd, EPOLLOUT | EPOLLRDHUP, EPOLL_CTL_MOD);
      if (n <= 0) return close(c);
      c.written += static_cast<std::size_t>(n);
    }
    c.out.clear();
    c.out.shrink_to_fit();
    if (c.closeAfter) {
      // What the client still sends is read and dropped a moment, so that the answer is not
      // lost to a reset.
      ::shutdown(c.fd, SHUT_WR);
      c.stage = Stage::Closing;
      c.in.clear();
      account(c);
      c.deadline = Clock::now() + std::chrono::seconds(2);
      return watch(c.fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
    }
    c.stage = Stage::Head;
    c.request = Request{};
    c.deadline = Clock::now() + limits.headDeadline;
    watch(c.fd, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
    if (!c.in.empty()) advance(c);
  }

  // Connections past their deadline: one that sent nothing since its last answer is closed
  // quietly, one in the middle of a request is told so.
  void sweep(Clock::time_point now) {
    std::vector<int> late;
    for (const auto& [fd, c] : connections) {
      Clock::time_point due = c->deadline;
      if (c->stage == Stage::Body || c->stage == Stage::Chunked)
        due += std::chrono::seconds(c->request.body.size() /
                                    std::max<std::size_t>(limits.bodyBytesPerSecond, 1));
      if (c->stage != Stage::Working && c->stage != Stage::Dead && now > due) late.push_back(fd);
    }
    for (const int fd : late) {
      Connection& c = *connections[fd];
      if (c.stage == Stage::Dead) continue;
      const bool quiet = c.stage == Stage::Writing || c.stage == Stage::Closing ||
                         (c.stage == Stage::Head && c.in.empty());
      if (quiet)
        close(c);
      else
        refuse(c, 408, "the request came too slowly");
    }
  }
};

Connections::Connections(ConnectionLimits limits, BodyLimit bodyLimit, Handle handle,
                         Answered answered)
    : loop_(std::make_unique<Loop>(limits, std::move(bodyLimit), std::move(handle),
                                   std::move(answered))) {}

Connections::~Connections() = default;

int Connections::bind(const std::string& address, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  const bool bound =
      fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0;
  ::freeaddrinfo(found);
  sockaddr_storage local{};
  socklen_t size = sizeof local;
  if (!bound || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  loop_->listener = fd;
  loop_->watch(fd, EPOLLIN, EPOLL_CTL_ADD);
  return ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(local).sin6_port
                                           : reinterpret_cast<sockaddr_in&>(local).sin_port);
}

bool Connections::run() { return loop_->listener >= 0 && loop_->run(); }

void Connections::stop() {
  loop_->stopping = true;
  loop_->signal();
}

}  // namespace server
