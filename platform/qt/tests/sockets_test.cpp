#include "platform/qt/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/event_loop.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/qt/timer.h"
#include "platform/tests/raw_peer.h"

namespace platform::qt {
namespace {

using platform_test::RunUntil;

class SocketsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetExceptionHook([this](const std::exception& e) { hooked_.push_back(e.what()); });
    server_.OnClientConnect = [this](TComponentBase*, TCustomWinSocket* s) {
      journal_.push_back("connect " + s->RemoteAddress() + " " + s->RemoteHost());
    };
    server_.OnClientRead = [this](TComponentBase*, TCustomWinSocket* s) {
      received_ += s->ReceiveText();
    };
    server_.OnClientDisconnect = [this](TComponentBase*, TCustomWinSocket* s) {
      journal_.push_back("disconnect " + s->RemoteAddress());
    };
    server_.SetPort(0);  // the system chooses a free port
    server_.Open();
    ASSERT_TRUE(server_.Active());
  }
  void TearDown() override { SetExceptionHook(nullptr); }

  TServerSocket server_{nullptr, "ServerSocket1"};
  std::vector<std::string> journal_;
  std::vector<std::string> hooked_;
  std::string received_;
};

TEST_F(SocketsTest, ConnectReadAndDisconnectWithDottedAddressAndHost) {
  TClientSocket client(nullptr, "ClientSocket1");
  std::vector<std::string> client_journal;
  client.OnConnect = [&](TComponentBase*, TCustomWinSocket* s) {
    client_journal.push_back("connect " + s->RemoteAddress());
  };
  client.OnDisconnect = [&](TComponentBase*, TCustomWinSocket*) {
    client_journal.push_back("disconnect");
  };
  client.SetAddress("127.0.0.1");
  client.SetPort(server_.LocalPort());
  client.Open();
  ASSERT_TRUE(RunUntil([&] { return !client_journal.empty() && !journal_.empty(); }));
  EXPECT_EQ(client_journal[0], "connect 127.0.0.1");
  // The reverse lookup of the loopback address names it (or gives "" in time).
  EXPECT_TRUE(journal_[0] == "connect 127.0.0.1 localhost" || journal_[0] == "connect 127.0.0.1 ")
      << journal_[0];
  const std::string message = std::string("\x01H|\\^&\r", 7) + std::string(5000, 'x') + "\x04";
  EXPECT_EQ(client.Socket()->SendText(message), static_cast<int>(message.size()));
  ASSERT_TRUE(RunUntil([&] { return received_.size() == message.size(); }));
  EXPECT_EQ(received_, message);
  client.Close();
  EXPECT_EQ(client_journal.back(), "disconnect");
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 2; }));
  EXPECT_EQ(journal_[1], "disconnect 127.0.0.1");
  EXPECT_TRUE(RunUntil([&] { return server_.Connections().empty(); }));
  EXPECT_TRUE(hooked_.empty());
}

TEST_F(SocketsTest, TheServerSendsToItsClientsAndClosingReportsEachEnd) {
  QTcpSocket peer;
  peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return server_.Connections().size() == 1 && !journal_.empty(); }));
  TCustomWinSocket* connection = server_.Connections()[0];
  EXPECT_EQ(connection->SendText(std::string("\x05\x02"
                                             "1H|\r\n\x03",
                                             8)),
            8);
  ASSERT_TRUE(RunUntil([&] { return peer.bytesAvailable() >= 8; }));
  EXPECT_EQ(peer.readAll(), QByteArray("\x05\x02"
                                       "1H|\r\n\x03",
                                       8));
  server_.Close();
  EXPECT_EQ(journal_.back(), "disconnect 127.0.0.1");
  EXPECT_TRUE(server_.Connections().empty());
}

TEST_F(SocketsTest, APeerThatStopsReadingIsDisconnectedNotBuffered) {
  QTcpSocket peer;
  peer.setReadBufferSize(1);
  peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return server_.Connections().size() == 1 && !journal_.empty(); }));
  TCustomWinSocket* connection = server_.Connections()[0];
  const std::string chunk(64 << 10, 'z');
  bool cut = false;
  for (int i = 0; i < 1000 && !cut; ++i) {
    if (connection->SendText(chunk) == 0) cut = true;
  }
  EXPECT_TRUE(cut);
  EXPECT_TRUE(RunUntil([&] { return journal_.size() == 2; }));
}

// A text that fills the backlog exactly is queued; one byte more cuts the peer off,
// whatever it reads.
TEST_F(SocketsTest, ATextUpToTheBacklogLimitIsQueuedAndOnePastCutsThePeerOff) {
  const struct {
    int64_t size;
    int sent;
    bool connected;
  } cases[] = {{kMaxPendingSend, static_cast<int>(kMaxPendingSend), true},
               {kMaxPendingSend + 1, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    journal_.clear();
    QTcpSocket peer;
    peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
    ASSERT_TRUE(RunUntil([&] { return server_.Connections().size() == 1 && !journal_.empty(); }));
    TCustomWinSocket* connection = server_.Connections()[0];
    EXPECT_EQ(connection->SendText(std::string(static_cast<size_t>(c.size), 'b')), c.sent);
    EXPECT_EQ(journal_.size(), c.connected ? 1u : 2u);
    EXPECT_EQ(server_.Connections().size(), c.connected ? 1u : 0u);
    peer.abort();
    ASSERT_TRUE(RunUntil([&] { return server_.Connections().empty(); }));
  }
}

// At most kMaxReadBuffer received bytes wait for the program; a byte past them
// stays with the system until the program takes what it holds.
TEST_F(SocketsTest, ReceivedBytesAreHeldUpToTheReadLimit) {
  server_.OnClientRead = [](TComponentBase*, TCustomWinSocket*) {};  // leaves them unread
  QTcpSocket peer;
  peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return server_.Connections().size() == 1 && !journal_.empty(); }));
  TCustomWinSocket* connection = server_.Connections()[0];
  peer.write(QByteArray(static_cast<qsizetype>(kMaxReadBuffer + 1), 'r'));
  ASSERT_TRUE(RunUntil([&] { return connection->ReceiveLength() == kMaxReadBuffer; }));
  // Time enough for the last byte to come, were it taken.
  RunUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(connection->ReceiveLength(), kMaxReadBuffer);
  EXPECT_EQ(connection->ReceiveText(), std::string(static_cast<size_t>(kMaxReadBuffer), 'r'));
  ASSERT_TRUE(RunUntil([&] { return connection->ReceiveLength() == 1; }));
  EXPECT_EQ(connection->ReceiveText(), "r");
}

// The collector lists data clients by address and feeds one per address: every
// address reads as dotted IPv4, never in the "::ffff:" form of a dual-stack
// socket, from any loopback address and whether the client gave an address or a
// host name.
TEST_F(SocketsTest, AddressesAreDottedIPv4) {
  QTcpSocket peer;
  ASSERT_TRUE(peer.bind(QHostAddress("127.0.0.2"), 0));
  peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 1; }));
  EXPECT_EQ(server_.Connections()[0]->RemoteAddress(), "127.0.0.2");
  TClientSocket client(nullptr, "ClientSocket1");
  std::string address;
  client.OnConnect = [&](TComponentBase*, TCustomWinSocket* s) { address = s->RemoteAddress(); };
  client.SetHost("localhost");
  client.SetPort(server_.LocalPort());
  client.Open();
  ASSERT_TRUE(RunUntil([&] { return !address.empty(); }));
  EXPECT_EQ(address, "127.0.0.1");
  EXPECT_EQ(client.Socket()->RemoteHost(), "localhost");
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 2; }));
  EXPECT_EQ(server_.Connections()[1]->RemoteAddress(), "127.0.0.1");
  // The server listens on IPv4 alone, so no IPv6 peer can reach it.
  QTcpSocket ipv6;
  ipv6.connectToHost(QHostAddress::LocalHostIPv6, static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return ipv6.state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(server_.Connections().size(), 2u);
}

// A peer that sends and resets its connection before the server accepts it: the
// system no longer tells that connection's peer (getpeername fails), but the accept
// does, and the server keeps it from there.
TEST_F(SocketsTest, APeerThatResetsAtOnceStillHasItsAddress) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, "127.0.0.3", &local.sin_addr);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(server_.LocalPort()));
  ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
  ASSERT_EQ(::send(fd, "bytes", 5, MSG_NOSIGNAL), 5);
  const linger reset{1, 0};  // closing sends RST
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(fd);
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 2; }));
  EXPECT_EQ(journal_[0], "connect 127.0.0.3 ");
  EXPECT_EQ(journal_[1], "disconnect 127.0.0.3");
  // The server's reverse lookup, given up with the connection, still runs in Qt's
  // lookup thread, which crashes a program that ends under it. A lookup of the same
  // name waits for the one under way.
  bool looked_up = false;
  QHostInfo::lookupHost("127.0.0.3", &server_, [&](const QHostInfo&) { looked_up = true; });
  EXPECT_TRUE(RunUntil([&] { return looked_up; }));
}

// No proxy stands between the sockets and their peers, whatever the proxy settings
// (here the application's, which would send every connection to a proxy that is
// not there). Qt never proxies the loopback interface, so the client goes to one of
// the machine's other addresses.
TEST_F(SocketsTest, ConnectionsGoStraightToThePeer) {
  std::string address;
  for (const QHostAddress& candidate : QNetworkInterface::allAddresses()) {
    if (candidate.protocol() == QAbstractSocket::IPv4Protocol && !candidate.isLoopback()) {
      address = candidate.toString().toStdString();
      break;
    }
  }
  if (address.empty()) GTEST_SKIP() << "no address but the loopback interface's";
  QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", 1));
  TClientSocket client(nullptr, "ClientSocket1");
  bool connected = false;
  client.OnConnect = [&](TComponentBase*, TCustomWinSocket*) { connected = true; };
  client.SetAddress(address);
  client.SetPort(server_.LocalPort());
  client.Open();
  const bool reached = RunUntil([&] { return connected || !hooked_.empty(); });
  QNetworkProxy::setApplicationProxy(QNetworkProxy::DefaultProxy);
  ASSERT_TRUE(reached);
  EXPECT_TRUE(connected);
  EXPECT_TRUE(hooked_.empty()) << hooked_[0];
}

// A text sent goes to the system within SendText: the peer has it without the
// event loop turning (a handler that sends and works on holds nothing back).
TEST_F(SocketsTest, SentTextLeavesAtOnce) {
  const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(server_.LocalPort()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 1; }));
  EXPECT_EQ(server_.Connections()[0]->SendText("\x05\x02"
                                               "1H|\r\n\x03"),
            8);
  pollfd ready{peer, POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 10000), 1);
  char bytes[16];
  EXPECT_EQ(::recv(peer, bytes, sizeof bytes, 0), 8);
  ::close(peer);
}

// Closing a connection that has nothing left to send, like cutting off a peer that
// stopped reading, reports its end at once, inside the call: a caller going through
// a list of connections must expect it to change under it.
TEST_F(SocketsTest, ClosingReportsTheEndAtOnce) {
  QTcpSocket peer;
  peer.connectToHost("127.0.0.1", static_cast<quint16>(server_.LocalPort()));
  ASSERT_TRUE(RunUntil([&] { return journal_.size() == 1; }));
  server_.Connections()[0]->Close();
  EXPECT_EQ(journal_.size(), 2u);
  EXPECT_EQ(journal_.back(), "disconnect 127.0.0.1");
  EXPECT_TRUE(server_.Connections().empty());
}

TEST_F(SocketsTest, TcpPortsEndAt65535) {
  static_assert(kMaxTcpPort == 65535);
  TServerSocket last(nullptr, "last");
  int accepted = 0;
  last.OnClientConnect = [&](TComponentBase*, TCustomWinSocket*) { ++accepted; };
  last.SetPort(65535);
  try {
    last.Open();
  } catch (const ESocketError& e) {
    GTEST_SKIP() << "port 65535 is taken on this machine: " << e.what();
  }
  EXPECT_EQ(last.LocalPort(), 65535);
  // A server one past it is refused before it listens.
  TServerSocket past(nullptr, "past");
  past.SetPort(65536);
  try {
    past.Open();
    ADD_FAILURE() << "a server on port 65536 listens";
  } catch (const ESocketError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Socket error: ", 0), 0u) << e.what();
    EXPECT_NE(std::string(e.what()).find("on API 'bind'"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(past.Active());
  // A client's port is held to the range: one past the last reaches the last.
  for (const int port : {65535, 65536}) {
    const int before = accepted;
    TClientSocket client(nullptr, "ClientSocket1");
    bool connected = false;
    client.OnConnect = [&](TComponentBase*, TCustomWinSocket*) { connected = true; };
    client.SetAddress("127.0.0.1");
    client.SetPort(port);
    client.Open();
    EXPECT_TRUE(RunUntil([&] { return connected && accepted == before + 1; })) << port;
    client.Close();
  }
  EXPECT_TRUE(hooked_.empty());
}

TEST_F(SocketsTest, ErrorsGoToTheHandlerOrTheHook) {
  // A port nothing listens on: take one and free it again.
  int free_port = 0;
  {
    TServerSocket probe(nullptr, "probe");
    probe.SetPort(0);
    probe.Open();
    free_port = probe.LocalPort();
  }
  TClientSocket client(nullptr, "ClientSocket1");
  client.SetAddress("127.0.0.1");
  client.SetPort(free_port);
  client.Open();
  ASSERT_TRUE(RunUntil([&] { return !hooked_.empty(); }));
  EXPECT_EQ(hooked_[0].rfind("Socket error: ", 0), 0u) << hooked_[0];
  EXPECT_NE(hooked_[0].find("(111), on API 'connect'"), std::string::npos) << hooked_[0];
  EXPECT_TRUE(RunUntil([&] { return !client.Active(); }));
  // A handler that sets the code to 0 keeps it from the hook.
  int seen = 0;
  client.OnError = [&](TComponentBase*, TCustomWinSocket*, TErrorEvent event, int& code) {
    EXPECT_EQ(event, TErrorEvent::eeConnect);
    seen = code;
    code = 0;
  };
  client.Open();
  ASSERT_TRUE(RunUntil([&] { return seen != 0; }));
  EXPECT_EQ(hooked_.size(), 1u);
  // A port already in use cannot be listened on; the error names the server and
  // the port.
  TServerSocket second(nullptr, "second");
  second.SetPort(server_.LocalPort());
  try {
    second.Open();
    ADD_FAILURE() << "two servers listen on one port";
  } catch (const ESocketError& e) {
    EXPECT_THAT(e.what(), ::testing::EndsWith("(98), on API 'bind', for second on port " +
                                              std::to_string(server_.LocalPort())));
  }
}

// ---- The bounds on what a server keeps ----

using platform_test::RawPeer;

// Count peers more for Server, once it has accepted and kept them all.
bool AddPeers(std::vector<RawPeer>& peers, TServerSocket& server, size_t count) {
  // In rounds below the system's queue of waiting connections (50 for Qt's servers).
  while (count > 0) {
    const size_t round = std::min<size_t>(count, 32);
    for (size_t i = 0; i < round; ++i)
      peers.emplace_back(server.LocalPort());
    count -= round;
    if (!RunUntil([&] { return server.Connections().size() == peers.size(); })) return false;
  }
  return true;
}

std::string PortText(const TServerSocket& server) {
  return std::to_string(server.LocalPort());
}

class ServerBoundTest : public ::testing::Test {
 protected:
  ServerBoundTest() {
    SetExceptionHook([this](const std::exception& e) { hooked_.push_back(e.what()); });
    server_.SetPort(0);
    server_.Open();
  }
  ~ServerBoundTest() override {
    server_.Close();
    SetExceptionHook(nullptr);
  }
  // Advances the fake clock one period of the refusals' report.
  void Period() { timers_->Advance(kRefusalQuiet.count()); }

  ScopedFakeTimers timers_;  // before the server, whose timers run on it
  TServerSocket server_{nullptr, "ServerSocket1"};
  std::vector<RawPeer> peers_;
  std::vector<std::string> hooked_;
};

// The server keeps kMaxConnections connections. The next ones are accepted and
// closed at once, and reported together with their count once a period has gone
// by without one.
TEST_F(ServerBoundTest, ConnectionsUpToTheBoundAreKeptAndOnePastAreClosedAtOnce) {
  static_assert(kMaxConnections == 256);
  ASSERT_TRUE(AddPeers(peers_, server_, kMaxConnections));
  RawPeer past(server_.LocalPort());
  RawPeer second_past(server_.LocalPort());
  EXPECT_TRUE(RunUntil([&] { return past.Closed() && second_past.Closed(); }));
  EXPECT_EQ(server_.Connections().size(), static_cast<size_t>(kMaxConnections));
  EXPECT_TRUE(hooked_.empty());
  Period();  // the one they came in
  EXPECT_TRUE(hooked_.empty());
  Period();  // a quiet one: the burst is over
  EXPECT_THAT(hooked_, ::testing::ElementsAre("ServerSocket1 on port " + PortText(server_) +
                                              " closed 2 connections at once: it keeps at most "
                                              "256"));
  // Below the bound again, a new connection is kept.
  peers_.pop_back();
  ASSERT_TRUE(RunUntil([&] { return server_.Connections().size() == kMaxConnections - 1; }));
  ASSERT_TRUE(AddPeers(peers_, server_, 1));
  Period();
  Period();
  EXPECT_EQ(hooked_.size(), 1u);
}

// A flood that goes on is reported every kRefusalReportPeriods, not only once it
// stops.
TEST_F(ServerBoundTest, ABurstThatGoesOnIsReportedEveryMinute) {
  static_assert(kRefusalReportPeriods * kRefusalQuiet.count() == 60000);
  ASSERT_TRUE(AddPeers(peers_, server_, kMaxConnections));
  const std::string where = "ServerSocket1 on port " + PortText(server_) + " closed ";
  for (int period = 1; period <= kRefusalReportPeriods; ++period) {
    RawPeer past(server_.LocalPort());
    ASSERT_TRUE(RunUntil([&] { return past.Closed(); }));
    EXPECT_TRUE(hooked_.empty()) << period;
    Period();
  }
  EXPECT_THAT(hooked_,
              ::testing::ElementsAre(where + "60 connections at once: it keeps at most 256"));
  RawPeer last(server_.LocalPort());
  ASSERT_TRUE(RunUntil([&] { return last.Closed(); }));
  Period();
  Period();
  EXPECT_THAT(hooked_, ::testing::ElementsAre(
                           ::testing::_, where + "1 connection at once: it keeps at most 256"));
}

// CPU seconds this process has used.
[[maybe_unused]] double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for Ms of the real clock: the window over which CPU is
// measured, not a wait for something to happen.
[[maybe_unused]] void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// With the process's descriptors lowered to 256: the last kReservedDescriptors are
// never taken for a connection, and with none free at all the server waits instead
// of spinning on its queue, and takes the waiting connections once there are again.
// Returns the bits of what went wrong.
int DescriptorsRunOut() {
  int failed = 0;
  std::vector<std::string> hooked;
  SetExceptionHook([&](const std::exception& e) { hooked.push_back(e.what()); });
  constexpr rlim_t kLimit = 256;
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = kLimit;
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 128;
  TServerSocket server(nullptr, "ServerSocket1");
  server.SetPort(0);
  server.Open();
  const std::string where = "ServerSocket1 on port " + PortText(server);
  // Two peers whose connections the system has made and the server not yet taken.
  RawPeer first(server.LocalPort());
  RawPeer second(server.LocalPort());
  if (!first.WaitConnected() || !second.WaitConnected()) return 128;
  const int last_kept = static_cast<int>(kLimit) - kReservedDescriptors - 1;
  std::vector<int> fillers;
#if defined(__SANITIZE_ADDRESS__)
  // Under the sanitizers (address and undefined behaviour together here) the
  // check of a virtual call probes memory through a pipe, which it cannot make
  // with no descriptor free: here the descriptors are used up to the last one
  // below the reserve only, and the optimised build tries the server with none.
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
    fillers.push_back(fd);
    if (fd >= last_kept) break;
  }
#else
  // Every descriptor in use.
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
    fillers.push_back(fd);
  const double before = CpuSeconds();
  RunFor(1000);
  // Waiting costs next to nothing; spinning on the queue, most of the second.
  const double used = CpuSeconds() - before;
  if (used > 0.2) {
    std::fprintf(stderr, "%.2f s of CPU in 1 s without a descriptor free\n", used);
    failed |= 1;
  }
  if (hooked != std::vector<std::string>{"Socket error: Too many open files (24), on API 'accept', "
                                         "for " +
                                         where}) {
    for (const std::string& text : hooked)
      std::fprintf(stderr, "reported: %s\n", text.c_str());
    failed |= 2;
  }
  hooked.clear();
#endif
  // The descriptors free from the last one below the reserve: the first peer gets
  // that one and is kept, the second would take a reserved one and is closed.
  std::erase_if(fillers, [&](int fd) { return fd >= last_kept && ::close(fd) == 0; });
  if (!RunUntil([&] { return server.Connections().size() == 1 && second.Closed(); })) {
    std::fprintf(stderr, "%zu connections kept\n", server.Connections().size());
    failed |= 4;
  }
  if (first.Closed()) failed |= 4;
  if (!RunUntil([&] { return !hooked.empty(); }) ||
      hooked !=
          std::vector<std::string>{where + " closed 1 connection at once: the last 64 descriptors "
                                           "are kept for the program's files"}) {
    for (const std::string& text : hooked)
      std::fprintf(stderr, "reported: %s\n", text.c_str());
    failed |= 8;
  }
  // Descriptors free again: a new connection is served.
  for (const int fd : fillers)
    ::close(fd);
  RawPeer third(server.LocalPort());
  if (!RunUntil([&] { return server.Connections().size() == 2; })) failed |= 16;
  server.Close();
  SetExceptionHook(nullptr);
  return failed;
}

TEST(ServerDescriptorsTest, TheLastDescriptorsAreLeftAndNoneFreeMakesTheServerWaitNotSpin) {
  static_assert(kReservedDescriptors == 64);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(DescriptorsRunOut()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace platform::qt
