// Server and client socket components over Qt Network, non-blocking, with the
// events the programs use.
//
// - Addresses are IPv4: servers listen on IPv4, and RemoteAddress is dotted
//   decimal (a mapped IPv6 address is turned back).
// - Connections go straight to the peer, never through a proxy (the system's, from
//   http_proxy and the like, or the application's), as the system's sockets do.
// - RemoteAddress is taken when the connection is accepted (made, for a client),
//   so a peer that resets at once still has one.
// - RemoteHost is found by a reverse lookup that never blocks: it runs when the
//   connection is made, and the connect event waits for it at most
//   kReverseLookupLimit; "" when no name is found in time. Bytes that arrive
//   meanwhile are held and reported after the connect event.
// - Every connection sends without delay (no Nagle): the links carry small units.
// - SendText hands the text to the system at once, as far as the system takes it
//   (not at the event loop's next turn), and queues the rest, never sending a
//   part of a text and dropping the rest. A peer that stops reading while
//   more than kMaxPendingSend bytes wait for it is disconnected, so nothing grows
//   without bound; and at most kMaxReadBuffer received bytes are held for the
//   program: beyond that the peer waits (TCP's own flow control).
// - Cutting off such a peer, or closing a connection with nothing left to send,
//   reports the disconnection at once, within SendText or Close.
// - Errors go to OnError / OnClientError with a code; unless the handler sets the
//   code to 0, ESocketError "Socket error: <text> (<code>), on API '<api>'" goes to
//   the application-wide exception hook. Activating a server whose port cannot be
//   bound raises ESocketError to the caller, naming the server and the port
//   ("..., on API 'bind', for ServerSocket1 on port 14001").
// - A server keeps at most kMaxConnections connections, and none on the last
//   kReservedDescriptors descriptors below the process's soft RLIMIT_NOFILE: those
//   stay for the program's own files and the toolkit's threads, so that a flood of
//   connections never makes the program's other work fail for want of one. A
//   connection past either bound is accepted and closed at once. The closed ones
//   of a burst are reported together, with their count (OnClientError with
//   eeAccept and ECONNREFUSED, no socket), once kRefusalQuiet has passed without
//   one, or every kRefusalReportPeriods of it while they keep coming.
// - When the system has no descriptor to give (or no memory) for the next
//   connection, the server stops accepting for kAcceptPause, so that it never
//   spins on a queue it cannot take from; the connections wait in the system's
//   queue meanwhile. Reported once (eeAccept, the error's code) until it accepts
//   again.
// - TCP ports end at kMaxTcpPort: a server on a larger (or negative) port cannot be
//   bound; a client's port is held to 0..kMaxTcpPort when it connects.
// - Every handler runs through the exception hook.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/qt/component.h"

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

class ESocketError : public Exception {
 public:
  using Exception::Exception;
};

namespace platform::qt {

constexpr std::chrono::milliseconds kReverseLookupLimit{1000};
constexpr int64_t kMaxPendingSend = 1 << 20;
constexpr int64_t kMaxReadBuffer = 64 << 10;
constexpr int kMaxTcpPort = 65535;
constexpr int kMaxConnections = 256;
constexpr int kReservedDescriptors = 64;
constexpr std::chrono::milliseconds kAcceptPause{500};
constexpr std::chrono::milliseconds kRefusalQuiet{1000};
constexpr int kRefusalReportPeriods = 60;

enum class TErrorEvent : uint8_t {
  eeGeneral,
  eeSend,
  eeReceive,
  eeConnect,
  eeDisconnect,
  eeAccept,
  eeLookup
};

class TCustomWinSocket;
class TTimer;
using TSocketNotifyEvent = std::function<void(TComponentBase* sender, TCustomWinSocket* socket)>;
using TSocketErrorEvent = std::function<void(TComponentBase* sender, TCustomWinSocket* socket,
                                             TErrorEvent event, int& error_code)>;

// One connection.
class TCustomWinSocket : public QObject {
  Q_OBJECT

 public:
  ~TCustomWinSocket() override;

  bool Connected() const;
  std::string RemoteAddress() const { return remote_address_; }
  std::string RemoteHost() const { return remote_host_; }
  int RemotePort() const;
  int LocalPort() const;

  // Queues the whole text; its length, or 0 when nothing can be sent (not
  // connected, or the peer stopped reading and is disconnected now).
  int SendText(const std::string& text);
  // All bytes received and not yet taken (at most kMaxReadBuffer).
  std::string ReceiveText();
  int64_t ReceiveLength() const;
  void Close();

  // Free for the program's use.
  void* Data = nullptr;

 private:
  friend class TServerSocket;
  friend class TClientSocket;
  struct Events {
    std::function<void(TCustomWinSocket*)> connect, read, disconnect;
    std::function<void(TCustomWinSocket*, TErrorEvent, int, const char* api, const std::string&)>
        error;
  };
  // Address: the peer's, as the accept told it ("" to ask the connection).
  TCustomWinSocket(QTcpSocket* socket, Events events, std::string fallback_host,
                   std::string address = "");
  void Start();  // the connection is made: look the host up, then announce it
  void Announce();
  void OnReadyRead();
  void OnDisconnected();

  std::unique_ptr<QTcpSocket> socket_;
  Events events_;
  std::string remote_address_;
  std::string remote_host_;
  std::string fallback_host_;
  int lookup_id_ = -1;
  QTimer lookup_limit_;
  bool announced_ = false;
  bool gone_ = false;
};

class TServerSocket : public QObject, public TComponentBase {
  Q_OBJECT

 public:
  TServerSocket(TForm* owner, std::string name);
  ~TServerSocket() override;

  std::string FormClassName() const override { return "TServerSocket"; }
  void DefineProperties(PropertyList& list) override;
  void Loaded() override;

  int Port() const { return port_; }
  void SetPort(int port);
  // Whether port 0 has the system choose a free port (the default, which tests
  // use). A server whose port comes from a setting refuses 0 as it refuses a port
  // outside the range: no peer could know the port the system chose.
  void SetPortZeroChoosesAny(bool chooses) { port_zero_chooses_any_ = chooses; }
  bool Active() const;
  // Listens on the port (IPv4, any address) or stops listening and closes every
  // connection (with OnClientDisconnect for each).
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  // The port listened on (the one the system chose for port 0).
  int LocalPort() const;
  // The open connections, in the order they were accepted.
  std::vector<TCustomWinSocket*> Connections() const;

  TSocketNotifyEvent OnClientConnect;
  TSocketNotifyEvent OnClientDisconnect;
  TSocketNotifyEvent OnClientRead;
  TSocketErrorEvent OnClientError;

 private:
  void Accept();
  // The connection on Fd is one past a bound: closed, and counted for the report.
  void Refuse(int fd, bool for_descriptors);
  void RefusalPeriodOver();
  void ReportRefusals();
  // No connection can be taken now (Error says why): the notifier would fire again
  // at once, so accepting waits.
  void PauseAccepting(int error);
  void Adopt(QTcpSocket* socket, std::string address);
  void Drop(TCustomWinSocket* connection);
  // "<name> on port <port>": which server a report is about.
  std::string Where() const;

  int port_ = 0;
  bool port_zero_chooses_any_ = true;
  bool active_wanted_ = false;
  std::unique_ptr<QTcpServer> server_;
  // The server's own accepting is paused: connections are accepted here, where the
  // accept tells the peer's address. A connection that the peer has reset already
  // no longer tells it afterwards.
  std::unique_ptr<QSocketNotifier> accept_notifier_;
  std::vector<std::unique_ptr<TCustomWinSocket>> connections_;
  // The burst of connections closed at once that is not reported yet: how many for
  // each bound, how many in the running period, and the periods it has lasted.
  int64_t refused_full_ = 0;
  int64_t refused_for_descriptors_ = 0;
  int64_t refused_in_period_ = 0;
  int burst_periods_ = 0;
  std::unique_ptr<TTimer> refusal_period_;
  std::unique_ptr<TTimer> accept_pause_;
  bool pause_reported_ = false;
};

class TClientSocket : public QObject, public TComponentBase {
  Q_OBJECT

 public:
  TClientSocket(TForm* owner, std::string name);
  ~TClientSocket() override;

  std::string FormClassName() const override { return "TClientSocket"; }
  void DefineProperties(PropertyList& list) override;
  void Loaded() override;

  // Where to connect: a host name (Host) or a dotted address (Address); setting
  // one clears the other, as the toolkit's component does.
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& host);
  const std::string& Address() const { return address_; }
  void SetAddress(const std::string& address);
  int Port() const { return port_; }
  void SetPort(int port);
  bool Active() const;
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  // The connection while one is made or open; nothing otherwise.
  TCustomWinSocket* Socket() const { return connection_.get(); }

  TSocketNotifyEvent OnConnect;
  TSocketNotifyEvent OnDisconnect;
  TSocketNotifyEvent OnRead;
  TSocketErrorEvent OnError;

 private:
  void Finish(TCustomWinSocket* connection);

  std::string host_;
  std::string address_;
  int port_ = 0;
  bool active_wanted_ = false;
  std::unique_ptr<TCustomWinSocket> connection_;
};

}  // namespace platform::qt
