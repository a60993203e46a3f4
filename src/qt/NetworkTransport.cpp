// SPDX-License-Identifier: MIT
// Requests to the score server through QNetworkAccessManager; an answer that is not whole in
// time is given up (status 0), as one from a server that cannot be reached.
#include "qt/NetworkTransport.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

NetworkTransport::NetworkTransport(const QString& server, QObject* parent)
    : QObject(parent), base_(server.endsWith('/') ? server : server + '/') {}

void NetworkTransport::send(const std::string& path, bool post, const std::string& body,
                            int timeoutMs,
                            std::function<void(const cabinet::kit::Answer&)> answered) {
  QNetworkRequest request(base_.resolved(QUrl(QString::fromStdString(path))));
  QNetworkReply* reply = nullptr;
  if (post) {
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      body.rfind('{', 0) == 0 ? "application/json" : "text/plain; charset=utf-8");
    reply = manager_.post(request, QByteArray::fromStdString(body));
  } else {
    reply = manager_.get(request);
  }
  // The wait is a deadline for the whole answer: a server that trickles its bytes is given up as
  // one that sends none (a transfer timeout would wait on while each byte came in time).
  QTimer::singleShot(timeoutMs, reply, &QNetworkReply::abort);
  // Answered on this thread, once the reply is done (or given up); never after the transport.
  connect(reply, &QNetworkReply::finished, this, [reply, answered = std::move(answered)] {
    cabinet::kit::Answer answer;
    if (reply->error() != QNetworkReply::OperationCanceledError) {
      answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
      answer.body = reply->readAll().toStdString();
    }
    reply->deleteLater();
    answered(answer);
  });
}
