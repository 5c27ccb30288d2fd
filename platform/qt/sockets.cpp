#include "platform/qt/sockets.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/qt/event_loop.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/timer.h"

namespace platform::qt {
namespace {

// The error number the system gives the condition, and the call that met it.
struct ErrorInfo {
  int code;
  const char* api;
};

ErrorInfo InfoOf(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return {ECONNREFUSED, "connect"};
    case QAbstractSocket::RemoteHostClosedError:
      return {ECONNRESET, "recv"};
    case QAbstractSocket::HostNotFoundError:
      return {EHOSTUNREACH, "gethostbyname"};
    case QAbstractSocket::SocketAccessError:
      return {EACCES, "bind"};
    case QAbstractSocket::SocketTimeoutError:
      return {ETIMEDOUT, "connect"};
    case QAbstractSocket::AddressInUseError:
      return {EADDRINUSE, "bind"};
    case QAbstractSocket::NetworkError:
      return {ENETUNREACH, "connect"};
    default:
      return {EIO, "socket"};
  }
}

std::string DottedAddress(const QHostAddress& address) {
  bool ok = false;
  const quint32 ipv4 = address.toIPv4Address(&ok);
  if (ok) return QHostAddress(ipv4).toString().toStdString();
  return address.toString().toStdString();
}

std::string ErrorText(const std::string& text, int code, const char* api) {
  return "Socket error: " + text + " (" + std::to_string(code) + "), on API '" + api + "'";
}

// To the handler with Code; unless it sets the code to 0, Message to the hook.
void Report(TComponentBase* sender, const TSocketErrorEvent& handler, TCustomWinSocket* socket,
            TErrorEvent event, int code, const std::string& message) {
  int error_code = code;
  if (handler) RunGuarded([&] { handler(sender, socket, event, error_code); });
  if (error_code != 0) ReportException(ESocketError(message));
}

void ReportError(TComponentBase* sender, const TSocketErrorEvent& handler, TCustomWinSocket* socket,
                 TErrorEvent event, int code, const char* api, const std::string& text) {
  Report(sender, handler, socket, event, code, ErrorText(text, code, api));
}

// Whether an accepted connection's descriptor lies among the last
// kReservedDescriptors below the soft limit. Descriptors are handed out lowest
// first, so every one below it is in use.
bool InReserve(int fd) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  return static_cast<rlim_t>(fd) + kReservedDescriptors >= limit.rlim_cur;
}

// An accept error that ends one waiting connection only (it reset, or the network
// failed under it): the next one may be taken.
bool EndsOneConnection(int error) {
  switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case EPERM:
      return true;
    default:
      return false;
  }
}

void Notify(const TSocketNotifyEvent& handler, TComponentBase* sender, TCustomWinSocket* socket) {
  if (handler) RunGuarded([&] { handler(sender, socket); });
}

}  // namespace

// ---- TCustomWinSocket ----

TCustomWinSocket::TCustomWinSocket(QTcpSocket* socket, Events events, std::string fallback_host,
                                   std::string address)
    : socket_(socket),
      events_(std::move(events)),
      remote_address_(std::move(address)),
      fallback_host_(std::move(fallback_host)) {
  socket_->setReadBufferSize(kMaxReadBuffer);
  lookup_limit_.setSingleShot(true);
  QObject::connect(&lookup_limit_, &QTimer::timeout, this, [this] { Announce(); });
  QObject::connect(socket_.get(), &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  QObject::connect(socket_.get(), &QTcpSocket::disconnected, this, [this] { OnDisconnected(); });
}

TCustomWinSocket::~TCustomWinSocket() {
  if (lookup_id_ >= 0) QHostInfo::abortHostLookup(lookup_id_);
  socket_->disconnect(this);
  socket_->abort();
}

void TCustomWinSocket::Start() {
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  if (remote_address_.empty()) remote_address_ = DottedAddress(socket_->peerAddress());
  lookup_id_ =
      QHostInfo::lookupHost(ToQString(remote_address_), this, [this](const QHostInfo& info) {
        lookup_id_ = -1;
        // Without a name the lookup gives the address back.
        if (info.error() == QHostInfo::NoError && info.hostName() != ToQString(remote_address_)) {
          remote_host_ = FromQString(info.hostName());
        }
        Announce();
      });
  lookup_limit_.start(kReverseLookupLimit);
}

void TCustomWinSocket::Announce() {
  if (announced_) return;
  announced_ = true;
  lookup_limit_.stop();
  if (lookup_id_ >= 0) {
    QHostInfo::abortHostLookup(lookup_id_);
    lookup_id_ = -1;
  }
  if (remote_host_.empty()) remote_host_ = fallback_host_;
  QPointer<TCustomWinSocket> alive(this);
  if (events_.connect) events_.connect(this);
  if (alive && socket_->bytesAvailable() > 0 && events_.read) events_.read(this);
  if (alive && gone_ && events_.disconnect) events_.disconnect(this);
}

void TCustomWinSocket::OnReadyRead() {
  if (announced_ && events_.read) events_.read(this);
}

void TCustomWinSocket::OnDisconnected() {
  if (gone_) return;
  gone_ = true;
  if (!announced_) {
    Announce();  // reports the connection, what it sent, and its end
    return;
  }
  if (events_.disconnect) events_.disconnect(this);
}

bool TCustomWinSocket::Connected() const {
  return !gone_ && socket_->state() == QAbstractSocket::ConnectedState;
}

int TCustomWinSocket::RemotePort() const {
  return socket_->peerPort();
}

int TCustomWinSocket::LocalPort() const {
  return socket_->localPort();
}

int TCustomWinSocket::SendText(const std::string& text) {
  if (!Connected()) return 0;
  if (socket_->bytesToWrite() + static_cast<int64_t>(text.size()) > kMaxPendingSend) {
    // The peer has stopped reading; holding ever more for it would grow without end.
    socket_->abort();
    return 0;
  }
  const qint64 queued = socket_->write(text.data(), static_cast<qint64>(text.size()));
  if (queued < 0) return 0;
  // To the system at once, as a socket's send does, not at the next turn of the
  // event loop: a handler that sends and then works on (a walk that relays a
  // message and then files it) must not hold the bytes back meanwhile. What the
  // system cannot take yet waits in the socket.
  socket_->flush();
  return static_cast<int>(queued);
}

std::string TCustomWinSocket::ReceiveText() {
  const QByteArray bytes = socket_->readAll();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int64_t TCustomWinSocket::ReceiveLength() const {
  return socket_->bytesAvailable();
}

void TCustomWinSocket::Close() {
  socket_->disconnectFromHost();
}

// ---- TServerSocket ----

TServerSocket::TServerSocket(TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)),
      refusal_period_(std::make_unique<TTimer>(nullptr, "")),
      accept_pause_(std::make_unique<TTimer>(nullptr, "")) {
  refusal_period_->SetEnabled(false);
  refusal_period_->SetInterval(static_cast<uint32_t>(kRefusalQuiet.count()));
  refusal_period_->OnTimer = [this](TComponentBase*) { RefusalPeriodOver(); };
  accept_pause_->SetEnabled(false);
  accept_pause_->SetInterval(static_cast<uint32_t>(kAcceptPause.count()));
  accept_pause_->OnTimer = [this](TComponentBase*) {
    accept_pause_->SetEnabled(false);
    if (accept_notifier_) accept_notifier_->setEnabled(true);
  };
}

TServerSocket::~TServerSocket() {
  // No events into a window that is being destroyed.
  refusal_period_.reset();
  accept_pause_.reset();
  connections_.clear();
  accept_notifier_.reset();
  server_.reset();
}

void TServerSocket::DefineProperties(PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Active", [this](const FormValue& v) { SetActive(v.AsBoolean()); });
  list.Add("Port", [this](const FormValue& v) { SetPort(v.AsInteger()); });
  list.Add("ServerType", [](const FormValue& v) {
    if (!SameText1252(v.AsIdent(), "stNonBlocking")) throw EReadError("Invalid property value");
  });
  list.Add("OnClientConnect",
           [this](const FormValue& v) { OnClientConnect = Method<TSocketNotifyEvent>(v); });
  list.Add("OnClientDisconnect",
           [this](const FormValue& v) { OnClientDisconnect = Method<TSocketNotifyEvent>(v); });
  list.Add("OnClientRead",
           [this](const FormValue& v) { OnClientRead = Method<TSocketNotifyEvent>(v); });
  list.Add("OnClientError",
           [this](const FormValue& v) { OnClientError = Method<TSocketErrorEvent>(v); });
  list.Add("Left", [](const FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const FormValue& v) { v.AsInteger(); });
}

void TServerSocket::Loaded() {
  TComponentBase::Loaded();
  if (active_wanted_) {
    active_wanted_ = false;
    SetActive(true);
  }
}

void TServerSocket::SetPort(int port) {
  if (Active()) throw ESocketError("Cannot change the port while the server is active");
  port_ = port;
}

bool TServerSocket::Active() const {
  return server_ && server_->isListening();
}

void TServerSocket::SetActive(bool active) {
  if (IsLoading()) {
    active_wanted_ = active;
    return;
  }
  if (active == Active()) return;
  if (!active) {
    accept_pause_->SetEnabled(false);
    pause_reported_ = false;
    ReportRefusals();
    refusal_period_->SetEnabled(false);
    accept_notifier_.reset();
    server_.reset();
    // Each connection reports its end; the list empties as they go.
    std::vector<TCustomWinSocket*> open = Connections();
    for (TCustomWinSocket* connection : open) {
      connection->gone_ = true;
      if (connection->announced_) Notify(OnClientDisconnect, this, connection);
    }
    connections_.clear();
    return;
  }
  server_ = std::make_unique<QTcpServer>();
  server_->setProxy(QNetworkProxy::NoProxy);
  if (port_ < 0 || port_ > kMaxTcpPort || (port_ == 0 && !port_zero_chooses_any_) ||
      !server_->listen(QHostAddress::AnyIPv4, static_cast<quint16>(port_))) {
    const ErrorInfo info = InfoOf(server_->serverError());
    const std::string text = FromQString(server_->errorString());
    server_.reset();
    throw ESocketError(ErrorText(text, info.code, "bind") + ", for " + Where());
  }
  server_->pauseAccepting();
  accept_notifier_ =
      std::make_unique<QSocketNotifier>(server_->socketDescriptor(), QSocketNotifier::Read);
  QObject::connect(accept_notifier_.get(), &QSocketNotifier::activated, this, [this] { Accept(); });
}

int TServerSocket::LocalPort() const {
  return Active() ? server_->serverPort() : 0;
}

std::vector<TCustomWinSocket*> TServerSocket::Connections() const {
  std::vector<TCustomWinSocket*> open;
  for (const auto& connection : connections_) {
    if (!connection->gone_) open.push_back(connection.get());
  }
  return open;
}

std::string TServerSocket::Where() const {
  const int port = server_ ? server_->serverPort() : port_;
  return ComponentName() + " on port " + std::to_string(port);
}

void TServerSocket::Accept() {
  while (server_) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd =
        ::accept4(static_cast<int>(server_->socketDescriptor()), reinterpret_cast<sockaddr*>(&peer),
                  &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      const int error = errno;
      if (error == EAGAIN || error == EWOULDBLOCK) return;  // none left
      if (EndsOneConnection(error)) continue;
      // No descriptor free (EMFILE, ENFILE), no memory: the connection stays
      // queued and the level-triggered notifier would fire again at once.
      PauseAccepting(error);
      return;
    }
    pause_reported_ = false;
    if (Connections().size() >= static_cast<size_t>(kMaxConnections)) {
      Refuse(fd, false);
      continue;
    }
    if (InReserve(fd)) {
      Refuse(fd, true);
      continue;
    }
    auto socket = std::make_unique<QTcpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    if (!socket->setSocketDescriptor(fd)) {
      ::close(fd);
      continue;
    }
    Adopt(socket.release(), DottedAddress(QHostAddress(reinterpret_cast<const sockaddr*>(&peer))));
  }
}

void TServerSocket::Refuse(int fd, bool for_descriptors) {
  ::close(fd);
  ++(for_descriptors ? refused_for_descriptors_ : refused_full_);
  ++refused_in_period_;
  if (!refusal_period_->Enabled()) {
    burst_periods_ = 0;
    refusal_period_->SetEnabled(true);
  }
}

void TServerSocket::RefusalPeriodOver() {
  ++burst_periods_;
  const bool quiet = refused_in_period_ == 0;
  refused_in_period_ = 0;
  if (!quiet && burst_periods_ < kRefusalReportPeriods) return;
  // Reported once the burst is over, and now and then while it goes on.
  ReportRefusals();
  burst_periods_ = 0;
  if (quiet) refusal_period_->SetEnabled(false);
}

void TServerSocket::ReportRefusals() {
  const int64_t total = refused_full_ + refused_for_descriptors_;
  if (total == 0) return;
  const std::string full = "it keeps at most " + std::to_string(kMaxConnections);
  const std::string reserve = "the last " + std::to_string(kReservedDescriptors) +
                              " descriptors are kept for the program's files";
  std::string text = Where() + " closed " + std::to_string(total) +
                     (total == 1 ? " connection" : " connections") + " at once: ";
  if (refused_for_descriptors_ == 0) {
    text += full;
  } else if (refused_full_ == 0) {
    text += reserve;
  } else {
    text += full + " (" + std::to_string(refused_full_) + "), " + reserve + " (" +
            std::to_string(refused_for_descriptors_) + ")";
  }
  refused_full_ = refused_for_descriptors_ = refused_in_period_ = 0;
  Report(this, OnClientError, nullptr, TErrorEvent::eeAccept, ECONNREFUSED, text);
}

void TServerSocket::PauseAccepting(int error) {
  accept_notifier_->setEnabled(false);
  accept_pause_->SetEnabled(true);
  if (pause_reported_) return;
  pause_reported_ = true;
  Report(this, OnClientError, nullptr, TErrorEvent::eeAccept, error,
         ErrorText(std::generic_category().message(error), error, "accept") + ", for " + Where());
}

void TServerSocket::Adopt(QTcpSocket* socket, std::string address) {
  TCustomWinSocket::Events events;
  events.connect = [this](TCustomWinSocket* s) { Notify(OnClientConnect, this, s); };
  events.read = [this](TCustomWinSocket* s) { Notify(OnClientRead, this, s); };
  events.disconnect = [this](TCustomWinSocket* s) {
    Notify(OnClientDisconnect, this, s);
    Drop(s);
  };
  connections_.push_back(std::unique_ptr<TCustomWinSocket>(
      new TCustomWinSocket(socket, std::move(events), "", std::move(address))));
  TCustomWinSocket* connection = connections_.back().get();
  QObject::connect(socket, &QAbstractSocket::errorOccurred, connection,
                   [this, connection](QAbstractSocket::SocketError error) {
                     // A peer closing its end is an ordinary disconnection.
                     if (error == QAbstractSocket::RemoteHostClosedError) return;
                     const ErrorInfo info = InfoOf(error);
                     ReportError(this, OnClientError, connection, TErrorEvent::eeGeneral, info.code,
                                 info.api, FromQString(connection->socket_->errorString()));
                   });
  connection->Start();
}

void TServerSocket::Drop(TCustomWinSocket* connection) {
  // Freed once the event that reported its end is over.
  PostCall(this, [this, connection] {
    std::erase_if(connections_, [connection](const auto& c) { return c.get() == connection; });
  });
}

// ---- TClientSocket ----

TClientSocket::TClientSocket(TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)) {}

TClientSocket::~TClientSocket() {
  connection_.reset();
}

void TClientSocket::DefineProperties(PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Active", [this](const FormValue& v) { SetActive(v.AsBoolean()); });
  list.Add("Address", [this](const FormValue& v) { SetAddress(v.AsString()); });
  list.Add("ClientType", [](const FormValue& v) {
    if (!SameText1252(v.AsIdent(), "ctNonBlocking")) throw EReadError("Invalid property value");
  });
  list.Add("Host", [this](const FormValue& v) { SetHost(v.AsString()); });
  list.Add("Port", [this](const FormValue& v) { SetPort(v.AsInteger()); });
  list.Add("OnConnect", [this](const FormValue& v) { OnConnect = Method<TSocketNotifyEvent>(v); });
  list.Add("OnDisconnect",
           [this](const FormValue& v) { OnDisconnect = Method<TSocketNotifyEvent>(v); });
  list.Add("OnRead", [this](const FormValue& v) { OnRead = Method<TSocketNotifyEvent>(v); });
  list.Add("OnError", [this](const FormValue& v) { OnError = Method<TSocketErrorEvent>(v); });
  list.Add("Left", [](const FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const FormValue& v) { v.AsInteger(); });
}

void TClientSocket::Loaded() {
  TComponentBase::Loaded();
  if (active_wanted_) {
    active_wanted_ = false;
    SetActive(true);
  }
}

void TClientSocket::SetHost(const std::string& host) {
  if (Active()) throw ESocketError("Cannot change the host while the socket is active");
  host_ = host;
  address_.clear();
}

void TClientSocket::SetAddress(const std::string& address) {
  if (Active()) throw ESocketError("Cannot change the address while the socket is active");
  address_ = address;
  host_.clear();
}

void TClientSocket::SetPort(int port) {
  if (Active()) throw ESocketError("Cannot change the port while the socket is active");
  port_ = port;
}

bool TClientSocket::Active() const {
  return connection_ && !connection_->gone_;
}

void TClientSocket::SetActive(bool active) {
  if (IsLoading()) {
    active_wanted_ = active;
    return;
  }
  if (active == Active()) return;
  if (!active) {
    if (connection_) {
      TCustomWinSocket* connection = connection_.get();
      const bool announced = connection->announced_;
      connection->gone_ = true;
      if (announced) Notify(OnDisconnect, this, connection);
      Finish(connection);
    }
    return;
  }
  auto* socket = new QTcpSocket();
  // Straight to the peer: the proxy settings of the system or the application
  // (http_proxy) are for web traffic, and through an HTTP proxy a link between
  // collectors on the ward's network would fail or go elsewhere.
  socket->setProxy(QNetworkProxy::NoProxy);
  TCustomWinSocket::Events events;
  events.connect = [this](TCustomWinSocket* s) { Notify(OnConnect, this, s); };
  events.read = [this](TCustomWinSocket* s) { Notify(OnRead, this, s); };
  events.disconnect = [this](TCustomWinSocket* s) {
    Notify(OnDisconnect, this, s);
    Finish(s);
  };
  connection_.reset(new TCustomWinSocket(socket, std::move(events), host_));
  TCustomWinSocket* connection = connection_.get();
  QObject::connect(socket, &QAbstractSocket::connected, connection,
                   [connection] { connection->Start(); });
  QObject::connect(socket, &QAbstractSocket::errorOccurred, connection,
                   [this, connection](QAbstractSocket::SocketError error) {
                     if (error == QAbstractSocket::RemoteHostClosedError) return;
                     const bool connecting = !connection->announced_;
                     const ErrorInfo info = InfoOf(error);
                     const std::string text = FromQString(connection->socket_->errorString());
                     if (connecting) {
                       // Never connected: no disconnection to report, the socket is just done.
                       connection->gone_ = true;
                       connection->announced_ = true;
                       Finish(connection);
                     }
                     ReportError(this, OnError, connection,
                                 connecting ? TErrorEvent::eeConnect : TErrorEvent::eeGeneral,
                                 info.code, info.api, text);
                   });
  const std::string& target = address_.empty() ? host_ : address_;
  socket->connectToHost(ToQString(target), static_cast<quint16>(std::clamp(port_, 0, kMaxTcpPort)),
                        QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
}

void TClientSocket::Finish(TCustomWinSocket* connection) {
  // Freed once the event that ended it is over, unless a new one took its place.
  PostCall(this, [this, connection] {
    if (connection_.get() == connection) connection_.reset();
  });
}

}  // namespace platform::qt
