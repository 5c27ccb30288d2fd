// What the tests of the real gasbridge program share: waiting for what the program
// does, and an analyzer that sends one message over the TCP feed.
#pragma once

#include <QNetworkProxy>
#include <QTcpSocket>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace collector_test {

// The analyzer feed's fixed port.
inline constexpr int kAnalyzerFeedPort = 14000;

// Polls Done until it holds; false after Limit (a safety net, never a measure).
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Sends Bytes to the analyzer port, as an analyzer does, and closes.
inline bool Feed(const std::string& bytes) {
  QTcpSocket socket;
  socket.setProxy(QNetworkProxy::NoProxy);
  socket.connectToHost("127.0.0.1", kAnalyzerFeedPort);
  if (!socket.waitForConnected(10000)) return false;
  socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(10000)) return false;
  }
  socket.disconnectFromHost();
  if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(10000);
  return true;
}

}  // namespace collector_test
