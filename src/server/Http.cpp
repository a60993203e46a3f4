// SPDX-License-Identifier: MIT
#include "server/Http.h"

#include <httplib.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

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

std::string gzip(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
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

// The page's files: only regular files of the page's kinds, inside the folder (after every
// link is followed), never a listing of a folder.
class Files {
public:
  explicit Files(const std::string& folder) {
    std::error_code ec;
    if (!folder.empty()) root_ = fs::canonical(folder, ec);
    if (ec) root_.clear();
  }
  bool serving() const { return !root_.empty(); }

  void answer(const httplib::Request& req, httplib::Response& res) {
    std::string path = req.path;
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
      return notFound(res);
    if (path.back() == '/') path += "index.html";
    std::error_code ec;
    const fs::path file = fs::weakly_canonical(root_ / fs::path(path).relative_path(), ec);
    const auto [end, _] = std::mismatch(root_.begin(), root_.end(), file.begin(), file.end());
    const std::string type = typeOf(file);
    if (ec || end != root_.end() || type.empty() || !fs::is_regular_file(file, ec))
      return notFound(res);
    const auto size = fs::file_size(file, ec);
    const auto time = fs::last_write_time(file, ec).time_since_epoch().count();
    if (ec) return notFound(res);
    const std::string tag = "\"" + std::to_string(size) + "-" + std::to_string(time) + "\"";
    // The page's names carry no version: every copy is checked again, cheaply, before use.
    res.set_header("Cache-Control", "no-cache");
    res.set_header("ETag", tag);
    res.set_header("Vary", "Accept-Encoding");
    res.set_header("X-Content-Type-Options", "nosniff");
    if (req.get_header_value("If-None-Match") == tag) {
      res.status = 304;
      return;
    }
    std::string body;
    {
      std::ifstream in(file, std::ios::binary);
      body.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (type.starts_with("text/html")) markPage(body);
    // The library compresses text by itself; the program is compressed here, once per version.
    if (type == "application/wasm" &&
        req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos) {
      std::lock_guard lock(mutex_);
      auto& kept = compressed_[file.string()];
      if (kept.first != tag) kept = {tag, gzip(body)};
      if (!kept.second.empty()) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(kept.second, type.c_str());
        return;
      }
    }
    res.set_content(body, type.c_str());
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
  static void notFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("Not found\n", "text/plain");
  }

  fs::path root_;
  std::mutex mutex_;
  std::map<std::string, std::pair<std::string, std::string>> compressed_;
};

// The library's server, with a line of waiting connections as long as the system allows: the
// library's own line of 5 dropped new connections whenever a few players arrived at once, each
// then waiting a second for its retry.
class Server : public httplib::Server {
public:
  void lengthenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

// The threads that serve connections. A thread that took a large recording has lowered its own
// priority for it (a thread cannot raise it again), so it ends with that connection, and the next
// connection to arrive starts a fresh one in its place: a large recording's reading and handing
// on take only the processors the others leave, as its replay does.
class Workers : public httplib::TaskQueue {
public:
  explicit Workers(std::size_t count) : count_(std::max<std::size_t>(count, 1)) {
    std::lock_guard lock(mutex_);
    topUp();
  }
  ~Workers() override { shutdown(); }

  void enqueue(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      topUp();
    }
    ready_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (auto& [thread, done] : threads_)
      if (thread.joinable()) thread.join();
    threads_.clear();
  }

  // Called by a worker for the task it runs: from now on the thread serves at the lowest
  // priority, and ends when the task does.
  static void lowerThisThread() {
    if (lowered_) return;
    lowered_ = true;
    setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
  }

private:
  struct Thread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  // With the lock held: the threads that ended are joined, and as many started as are missing.
  void topUp() {
    std::erase_if(threads_, [](Thread& t) {
      if (!*t.done) return false;
      t.thread.join();
      return true;
    });
    while (threads_.size() < count_ && !stopping_) {
      auto done = std::make_shared<std::atomic<bool>>(false);
      threads_.push_back({std::thread([this, done] { serve(*done); }), done});
    }
  }

  void serve(std::atomic<bool>& done) {
    while (!lowered_) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) break;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    done = true;
  }

  const std::size_t count_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  std::list<Thread> threads_;
  bool stopping_ = false;
  static thread_local bool lowered_;
};

thread_local bool Workers::lowered_ = false;

// Memory not touched yet is given pages of 2 MiB where the system allows: a large recording's
// thousands of 4 kB pages each cost a fault when first written.
void inLargePages(char* data, std::size_t size) {
  constexpr std::uintptr_t Large = 2u << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = (start + Large - 1) & ~(Large - 1),
                       to = (start + size) & ~(Large - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// A submission's body, read as it comes into one block of the size it announced; one larger than
// `largeBytes` is read on, and then verified, at the lowest priority. None when it did not arrive
// whole, or was larger than any recording.
std::optional<std::string> submittedBody(const httplib::Request& req,
                                         const httplib::ContentReader& read,
                                         std::size_t largeBytes) {
  std::string body;
  const std::size_t announced = std::min<std::size_t>(
      std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10),
      replay::Recording::maxBytes);
  body.reserve(announced);
  if (announced > largeBytes) inLargePages(body.data(), body.capacity());
  const bool whole = read([&](const char* data, std::size_t size) {
    body.append(data, size);
    if (body.size() > largeBytes) Workers::lowerThisThread();
    return true;
  });
  if (!whole) return std::nullopt;
  return body;
}

void reply(httplib::Response& res, const Answer& answer) {
  res.status = answer.status;
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_content(answer.body, answer.type.c_str());
}

}  // namespace

struct Http::Impl {
  Impl(Service& s, const HttpSettings& settings)
      : service(s),
        sittings(settings.sittingsPerMinute),
        games(settings.gamesPerMinute),
        files(settings.web) {}

  Service& service;
  RateLimit sittings, games;
  Files files;
  Server http;
};

Http::Http(Service& service, HttpSettings settings)
    : impl_(std::make_unique<Impl>(service, settings)) {
  auto& http = impl_->http;
  Impl& self = *impl_;
  const std::size_t threads = settings.threads;
  http.new_task_queue = [threads] { return new Workers(threads); };
  // A request is no larger than the largest recording the game reads.
  http.set_payload_max_length(replay::Recording::maxBytes);
  http.set_read_timeout(30, 0);

  auto guarded = [&self](auto&& handler) {
    return [&self, handler](const httplib::Request& req, httplib::Response& res) {
      try {
        handler(req, res);
      } catch (const std::exception& e) {
        reply(res, {503, json::error(std::string("the server cannot answer now: ") + e.what())});
      }
    };
  };
  http.Post("/api/sittings", guarded([&self](const httplib::Request& req, httplib::Response& res) {
              if (!self.sittings.allow(req.remote_addr))
                return reply(res, {429, json::error("too many new sittings; wait a minute")});
              if (req.body.size() > 64 * 1024)
                return reply(res, {413, json::error("the request is too large")});
              reply(res, self.service.newSitting(req.body, req.remote_addr));
            }));
  http.Post(R"(/api/sittings/([0-9a-f]{1,64})/games)",
            [&self, guarded](const httplib::Request& req, httplib::Response& res,
                             const httplib::ContentReader& read) {
              guarded([&](const httplib::Request&, httplib::Response&) {
                if (!self.games.allow(req.remote_addr))
                  return reply(res, {429, json::error("too many games sent; wait a minute")});
                const auto body = submittedBody(req, read, self.service.largeBytes());
                if (!body) return reply(res, {413, json::error("the request is too large")});
                reply(res, self.service.submit(req.matches[1], req.get_param_value("score"), *body,
                                               req.remote_addr));
              })(req, res);
            });
  http.Get("/api/table", guarded([&self](const httplib::Request& req, httplib::Response& res) {
             reply(res, self.service.table(req.get_param_value("cave"),
                                           req.get_param_value("format") == "file"));
           }));
  http.Get(R"(/api/games/([0-9a-f]{1,64}))",
           guarded([&self](const httplib::Request& req, httplib::Response& res) {
             reply(res, self.service.game(req.matches[1]));
           }));
  http.Get(".*", [&self](const httplib::Request& req, httplib::Response& res) {
    if (req.path.rfind("/api/", 0) == 0 || !self.files.serving())
      return reply(res, {404, json::error("no such thing here")});
    self.files.answer(req, res);
  });
  http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty() || req.path.rfind("/api/", 0) != 0) return;
    const char* why = res.status == 413 ? "the request is too large" : "no such thing here";
    reply(res, {res.status, json::error(why)});
  });
}

Http::~Http() = default;

int Http::bind(const std::string& address, int port) {
  auto& http = impl_->http;
  const int bound =
      port == 0 ? http.bind_to_any_port(address) : (http.bind_to_port(address, port) ? port : -1);
  if (bound >= 0) http.lengthenBacklog();
  return bound;
}

bool Http::listen() { return impl_->http.listen_after_bind(); }

void Http::stop() { impl_->http.stop(); }

}  // namespace server
