// SPDX-License-Identifier: MIT
// The desktop's way to the score server: Qt's network module, asynchronous, each request with a
// time limit. The rules of the server's client are the kit's (cabinet/kit/ScoreServer.h).
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>

#include "cabinet/kit/ScoreServer.h"

class NetworkTransport : public QObject, public cabinet::kit::Transport {
  Q_OBJECT
public:
  // `server`: the server's address, http or https; requests go to paths below it.
  explicit NetworkTransport(const QString& server, QObject* parent = nullptr);

  void send(const std::string& path, bool post, const std::string& body, int timeoutMs,
            std::function<void(const cabinet::kit::Answer&)> answered) override;

private:
  QUrl base_;
  QNetworkAccessManager manager_;
};
