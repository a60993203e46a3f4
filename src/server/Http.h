// SPDX-License-Identifier: MIT
// The server's HTTP face: the API routes onto the service, per-address limits on new sittings and
// submissions, the page's files from one folder, a log line per request, /api/health and
// /metrics.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "server/Connections.h"
#include "server/Service.h"

namespace server {

struct HttpSettings {
  int webFolder = -1;  // the page's folder (openWebFolder), or -1 to serve the API only
  double sittingsPerMinute = 30, gamesPerMinute = 120;
  std::size_t threads = 16;
  // The reverse proxy whose X-Forwarded-For names the player, or empty.
  std::string trustedProxy;
  ConnectionLimits limits;
  // Whether a verifying process answers, for /api/health.
  std::function<bool()> verifiersLive;
};

// The page's folder, opened for every later request; to be called before the server gives up root,
// which may leave it a user who cannot pass the folders above. -1 when it cannot be opened.
int openWebFolder(const std::string& folder);
// Whether the page's first file can be read in `folder` by the user the server is now.
bool pageReadable(int folder);

class Http {
public:
  Http(Service& service, HttpSettings settings);
  ~Http();
  Http(const Http&) = delete;
  Http& operator=(const Http&) = delete;

  // Binds `address`:`port` (0 for any free port); the port bound, or -1.
  int bind(const std::string& address, int port);
  // Serves until stop().
  bool listen();
  void stop();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace server
