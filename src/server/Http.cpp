// SPDX-License-Identifier: MIT
// The routes onto the service, the page's files, the per-address limits, the log and the counts.
#include "server/Http.h"

#include <fcntl.h>
#include <httplib.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string_view>

#include "replay/Recording.h"
#include "server/Json.h"

namespace server {

namespace fs = std::filesystem;

namespace {

// Per address, a bucket that fills at `perMinute` and holds a minute's worth.
class RateLimit {
public:
  explicit RateLimit(double perMinute) : perSecond_(perMinute / 60), burst_(perMinute) {}

  bool allow(const std::string& address) {
    const double now = seconds();
    std::lock_guard lock(mutex_);
    if (buckets_.size() > 100'000) forgetFull(now);
    auto [it, fresh] = buckets_.try_emplace(address, Bucket{burst_, now});
    Bucket& b = it->second;
    b.tokens = std::min(burst_, b.tokens + (now - b.at) * perSecond_);
    b.at = now;
    if (b.tokens < 1) return false;
    b.tokens -= 1;
    return true;
  }

private:
  struct Bucket {
    double tokens, at;
  };
  static double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  // Addresses whose bucket has filled again are no different from new ones.
  void forgetFull(double now) {
    std::erase_if(buckets_, [&](const auto& entry) {
      return entry.second.tokens + (now - entry.second.at) * perSecond_ >= burst_;
    });
  }

  double perSecond_, burst_;
  std::mutex mutex_;
  std::map<std::string, Bucket> buckets_;
};

std::string typeOf(const fs::path& file) {
  static const std::map<std::string, std::string> types = {
      {".html", "text/html; charset=utf-8"},
      {".js", "application/javascript"},
      {".mjs", "application/javascript"},
      {".css", "text/css"},
      {".wasm", "application/wasm"},
      {".png", "image/png"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
      {".ttf", "font/ttf"},
      {".otf", "font/otf"},
      {".woff2", "font/woff2"},
      {".webmanifest", "application/manifest+json"},
      {".copyright", "text/plain; charset=utf-8"},
  };
  const auto it = types.find(file.extension().string());
  return it == types.end() ? std::string() : it->second;
}

bool acceptsGzip(const Request& req) {
  return req.header("accept-encoding").find("gzip") != std::string::npos;
}

std::string gzip(const std::string& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END ? out : std::string();
}

// `relative` opened for reading beneath `folder`: no "..", absolute path or link may lead out of
// it; -1 when it cannot be (a pipe is not waited on).
int openBeneath(int folder, const std::string& relative) {
  open_how how{};
  how.flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how));
}

// A file opened beneath the page's folder, closed with this.
class OpenFile {
public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

  std::string read(std::size_t size) const {
    std::string body(size, '\0');
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd_, body.data() + got, size - got, static_cast<off_t>(got));
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    body.resize(got);
    return body;
  }

private:
  int fd_;
};

// The page's files: only regular files of the page's kinds, opened beneath the folder the server
// opened while it could still reach it (started as root, it then serves as a user who may not
// pass the folders above), never a listing of a folder; no path or link leads out of it.
class Files {
public:
  explicit Files(int folder) : folder_(folder) {}
  bool serving() const { return folder_ >= 0; }

  Response answer(const Request& req) {
    Response res;
    std::string path = req.path;
    if (path.empty() || path.front() != '/') return notFound();
    if (path.back() == '/') path += "index.html";
    const std::string type = typeOf(fs::path(path));
    const OpenFile file(openBeneath(folder_, path.substr(1)));
    struct stat st {};
    if (type.empty() || file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode))
      return notFound();
    const std::string tag = "\"" + std::to_string(st.st_size) + "-" +
                            std::to_string(st.st_mtim.tv_sec) + "." +
                            std::to_string(st.st_mtim.tv_nsec) + "\"";
    // The page's names carry no version: every copy is checked again, cheaply, before use.
    res.headers = {{"Cache-Control", "no-cache"},
                   {"ETag", tag},
                   {"Vary", "Accept-Encoding"},
                   {"X-Content-Type-Options", "nosniff"}};
    res.type = type;
    if (req.header("if-none-match") == tag) {
      res.status = 304;
      return res;
    }
    const bool zipped = acceptsGzip(req);
    std::lock_guard lock(mutex_);
    // Each file is read, and compressed, once per version.
    auto& kept = kept_[path];
    if (kept.tag != tag) {
      kept = {tag, file.read(static_cast<std::size_t>(st.st_size)), {}};
      if (type.starts_with("text/html")) markPage(kept.body);
      kept.zipped = gzip(kept.body, 9);
    }
    if (zipped && !kept.zipped.empty()) {
      res.headers.emplace_back("Content-Encoding", "gzip");
      res.body = kept.zipped;
    } else {
      res.body = kept.body;
    }
    return res;
  }

private:
  // The page learns from this mark that a score server serves it, with a table to ask for a
  // sitting on; served by any other server it plays on its own table and asks nobody.
  static void markPage(std::string& html) {
    constexpr std::string_view head = "<head>";
    const auto at = html.find(head);
    if (at != std::string::npos)
      html.insert(at + head.size(), "\n<meta name=\"cavewing-scores\" content=\"api/\">");
  }
  static Response notFound() { return {404, {}, "Not found\n", "text/plain"}; }

  struct Kept {
    std::string tag, body, zipped;
  };
  int folder_;
  std::mutex mutex_;
  std::map<std::string, Kept> kept_;
};

// The values a query gives `name`, percent-decoded ('+' a space), in order.
std::vector<std::string> queryValues(std::string_view query, std::string_view name) {
  std::vector<std::string> values;
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    const auto eq = pair.find('=');
    if (pair.substr(0, eq) != name) continue;
    std::string value(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
    std::replace(value.begin(), value.end(), '+', ' ');
    values.push_back(httplib::detail::decode_url(value, false));
  }
  return values;
}

// A shown score as the label writes it: one plain decimal, no sign, no leading zero, given once.
std::optional<std::string> plainScore(std::string_view query) {
  const auto values = queryValues(query, "score");
  if (values.size() != 1) return std::nullopt;
  const std::string& v = values.front();
  const bool digits = !v.empty() && v.size() <= 18 &&
                      std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || (v.size() > 1 && v.front() == '0')) return std::nullopt;
  return v;
}

Response reply(const Answer& answer) {
  return {answer.status,
          {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}},
          answer.body,
          answer.type};
}

Response refusedWith(int status, std::string_view why) { return reply({status, json::error(why)}); }

// The few kinds of request the log and the counts tell apart (an ID would make every request its
// own kind).
std::string routeOf(const Request& req) {
  static const std::regex game(R"(/api/sittings/[0-9a-f]{1,64}/games)"),
      recording(R"(/api/games/[0-9a-f]{1,64})");
  if (req.path == "/api/sittings" || req.path == "/api/table" || req.path == "/api/health" ||
      req.path == "/metrics")
    return req.path;
  if (std::regex_match(req.path, game)) return "/api/sittings/ID/games";
  if (std::regex_match(req.path, recording)) return "/api/games/ID";
  return req.path.starts_with("/api/") ? "/api/other" : "page";
}

// A refusal's kind, for the counts: one per status the server refuses with.
const char* refusalKind(int status) {
  switch (status) {
    case 400:
      return "unreadable";
    case 403:
      return "not_the_sittings";
    case 405:
      return "wrong_method";
    case 408:
      return "too_slow";
    case 409:
      return "not_a_continuation";
    case 413:
      return "too_large";
    case 422:
      return "wrong_score";
    case 429:
      return "too_many";
    case 431:
      return "head_too_large";
    case 503:
      return "busy";
    default:
      return nullptr;
  }
}

// What an operator reads: counts since the start, in Prometheus' text format.
class Metrics {
public:
  void answered(const std::string& route, int status) {
    std::lock_guard lock(mutex_);
    ++requests_[{route, status}];
    if (const char* kind = refusalKind(status)) ++refusals_[kind];
    if (route == "/api/sittings/ID/games" && status == 200) ++ranked_;
  }
  void verified(double seconds) {
    std::lock_guard lock(mutex_);
    verifySeconds_ += seconds;
    ++verifications_;
  }
  std::string text(std::size_t queue) {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << "# TYPE cavewing_requests_total counter\n";
    for (const auto& [key, n] : requests_)
      out << "cavewing_requests_total{route=\"" << key.first << "\",status=\"" << key.second
          << "\"} " << n << "\n";
    out << "# TYPE cavewing_refusals_total counter\n";
    for (const auto& [kind, n] : refusals_)
      out << "cavewing_refusals_total{reason=\"" << kind << "\"} " << n << "\n";
    out << "# TYPE cavewing_verification_seconds summary\n"
        << "cavewing_verification_seconds_sum " << verifySeconds_ << "\n"
        << "cavewing_verification_seconds_count " << verifications_ << "\n"
        << "# TYPE cavewing_queue_length gauge\ncavewing_queue_length " << queue << "\n"
        << "# TYPE cavewing_games_ranked_total counter\ncavewing_games_ranked_total " << ranked_
        << "\n";
    return out.str();
  }

private:
  std::mutex mutex_;
  std::map<std::pair<std::string, int>, std::uint64_t> requests_;
  std::map<std::string, std::uint64_t> refusals_;
  double verifySeconds_ = 0;
  std::uint64_t verifications_ = 0, ranked_ = 0;
};

// One line per answer on standard error, for journald: time, address, request, status, time
// taken, and a refusal's reason.
void logLine(const std::string& address, const Request& req, const Response& res) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - req.started)
                      .count();
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char when[32];
  std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::string line = std::string(when) + " " + (address.empty() ? "-" : address) + " " +
                     (req.method.empty() ? "-" : req.method) + " " +
                     (req.path.empty() ? "-" : req.path) + " " + std::to_string(res.status) + " " +
                     std::to_string(ms) + " ms";
  if (res.status >= 400) {
    const auto reason = json::stringObject(res.body);
    if (reason && reason->count("error")) line += " refused: " + reason->at("error");
  }
  line += "\n";
  [[maybe_unused]] const auto n = ::write(2, line.data(), line.size());
}

}  // namespace

struct Http::Impl {
  Impl(Service& s, const HttpSettings& settings)
      : service(s),
        sittings(settings.sittingsPerMinute),
        games(settings.gamesPerMinute),
        files(settings.webFolder),
        trustedProxy(settings.trustedProxy),
        verifiersLive(settings.verifiersLive),
        connections(
            limitsOf(settings), [](const Request& req) { return bodyLimit(req); },
            [this](Request& req) { return handle(req); },
            [this](const Request& req, const Response& res) { answered(req, res); }) {}

  static ConnectionLimits limitsOf(const HttpSettings& settings) {
    ConnectionLimits limits = settings.limits;
    limits.workers = settings.threads;
    limits.exempt = settings.trustedProxy;
    return limits;
  }

  static std::size_t bodyLimit(const Request& req) {
    if (req.method != "POST") return 0;
    return req.path == "/api/sittings" ? 64 << 10 : replay::Recording::maxBytes;
  }

  // The player's address: the connection's, or behind the trusted proxy the one it saw, the
  // last in X-Forwarded-For (any earlier ones are only what the client claimed).
  std::string clientOf(const Request& req) const {
    if (trustedProxy.empty() || req.peer != trustedProxy) return req.peer;
    const std::string forwarded = req.header("x-forwarded-for");
    const auto comma = forwarded.rfind(',');
    std::string last = forwarded.substr(comma == std::string::npos ? 0 : comma + 1);
    std::erase(last, ' ');
    return last.empty() ? req.peer : last;
  }

  Response handle(Request& req) {
    try {
      Response res = route(req);
      // The library once compressed text by itself: the answers' text is compressed here.
      if (acceptsGzip(req) && res.body.size() >= 1024 && res.status == 200 &&
          std::none_of(res.headers.begin(), res.headers.end(),
                       [](const auto& h) { return h.first == "Content-Encoding"; })) {
        std::string zipped = gzip(res.body, Z_DEFAULT_COMPRESSION);
        if (!zipped.empty()) {
          res.body = std::move(zipped);
          res.headers.emplace_back("Content-Encoding", "gzip");
          res.headers.emplace_back("Vary", "Accept-Encoding");
        }
      }
      return res;
    } catch (const std::exception& e) {
      return refusedWith(503, std::string("the server cannot answer now: ") + e.what());
    }
  }

  Response route(Request& req) {
    const std::string route = routeOf(req);
    const bool get = req.method == "GET" || req.method == "HEAD";
    if (req.method == "POST" && route == "/api/sittings") {
      const std::string client = clientOf(req);
      if (!sittings.allow(client)) return refusedWith(429, "too many new sittings; wait a minute");
      return reply(service.newSitting(req.body, client));
    }
    if (req.method == "POST" && route == "/api/sittings/ID/games") return submit(req);
    if (get && route == "/api/table") {
      const auto format = queryValues(req.query, "format");
      const auto cave = queryValues(req.query, "cave");
      if (cave.size() > 1) return refusedWith(400, "the cave must be given once");
      return reply(service.table(cave.empty() ? std::string() : cave.front(),
                                 format.size() == 1 && format.front() == "file"));
    }
    if (get && route == "/api/games/ID") return reply(service.game(req.path.substr(11)));
    if (get && route == "/api/health") return health();
    if (get && route == "/metrics")
      return {
          200, {{"Cache-Control", "no-store"}}, metrics.text(queue), "text/plain; version=0.0.4"};
    if (route == "/api/other") return refusedWith(404, "no such thing here");
    if (!get) return refusedWith(405, "no such thing here");
    if (route != "page" || !files.serving()) return refusedWith(404, "no such thing here");
    return files.answer(req);
  }

  Response submit(const Request& req) {
    const std::string client = clientOf(req);
    if (!games.allow(client)) return refusedWith(429, "too many games sent; wait a minute");
    const auto score = plainScore(req.query);
    if (!score) return refusedWith(400, "the score must be given once, as a plain decimal number");
    const std::string sitting = req.path.substr(14, req.path.size() - 14 - 6);
    const auto started = std::chrono::steady_clock::now();
    ++queue;
    const Answer answer = service.submit(sitting, *score, req.body, client);
    --queue;
    metrics.verified(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return reply(answer);
  }

  Response health() {
    const bool database = service.table({}, false).status == 200;
    const bool verifiers = !verifiersLive || verifiersLive();
    const std::string body =
        json::text({{"database", database}, {"verifiers", verifiers}, {"queue", queue.load()}});
    Response res = reply({database && verifiers ? 200 : 503, body});
    return res;
  }

  void answered(const Request& req, const Response& res) {
    metrics.answered(routeOf(req), res.status);
    logLine(clientOf(req), req, res);
  }

  Service& service;
  RateLimit sittings, games;
  Files files;
  std::string trustedProxy;
  std::function<bool()> verifiersLive;
  Metrics metrics;
  std::atomic<std::size_t> queue{0};
  Connections connections;
};

Http::Http(Service& service, HttpSettings settings)
    : impl_(std::make_unique<Impl>(service, settings)) {}

Http::~Http() = default;

int openWebFolder(const std::string& folder) {
  return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

bool pageReadable(int folder) {
  const OpenFile page(openBeneath(folder, "index.html"));
  char byte = 0;
  return page.fd() >= 0 && ::pread(page.fd(), &byte, 1, 0) == 1;
}

int Http::bind(const std::string& address, int port) {
  return impl_->connections.bind(address, port);
}

bool Http::listen() { return impl_->connections.run(); }

void Http::stop() { impl_->connections.stop(); }

}  // namespace server
