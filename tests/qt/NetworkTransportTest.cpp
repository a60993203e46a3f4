// SPDX-License-Identifier: MIT
// The desktop's way to the score server against a server on the loopback that answers at its own
// pace: a request's wait is a deadline for the whole answer, however the bytes come.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

#include "qt/NetworkTransport.h"

namespace {

// Answers every request with a body of `bytes` bytes, one every `everyMs`.
class TricklingServer {
public:
  TricklingServer(int bytes, int everyMs) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this, bytes, everyMs] {
      QTcpSocket* socket = server_.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, bytes, everyMs] {
        socket->readAll();
        if (socket->property("answering").toBool()) return;
        socket->setProperty("answering", true);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(bytes) + "\r\n\r\n");
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, left = bytes]() mutable {
          socket->write(" ");
          if (--left == 0) timer->stop();
        });
        timer->start(everyMs);
      });
    });
  }
  QString url() const { return QString("http://127.0.0.1:%1/").arg(server_.serverPort()); }

private:
  QTcpServer server_;
};

// The answer to one request with a wait of `timeoutMs`, or nothing when none came in 20 s.
std::optional<cabinet::kit::Answer> ask(const QString& server, int timeoutMs) {
  NetworkTransport transport(server);
  std::optional<cabinet::kit::Answer> got;
  QEventLoop loop;
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  transport.send("api/sittings", true, "{}", timeoutMs, [&](const cabinet::kit::Answer& answer) {
    got = answer;
    loop.quit();
  });
  loop.exec();
  return got;
}

}  // namespace

TEST(NetworkTransport, AnAnswerNotWholeInTimeIsNone) {
  // Every byte in time, the whole answer not: a second's wait for two seconds of bytes.
  TricklingServer slow(10, 200);
  const auto late = ask(slow.url(), 1000);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->status, 0);
  EXPECT_EQ(late->body, "");
  // The same answer, whole within the wait.
  TricklingServer quick(10, 1);
  const auto whole = ask(quick.url(), 3000);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->body, std::string(10, ' '));
}
