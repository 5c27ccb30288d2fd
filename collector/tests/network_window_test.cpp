// Gasbridge's main window on real sockets on the loopback interface, on ports the
// system chooses: the TCP analyzer feed, the relay server and its data clients, the
// relay client with its watchdog and reconnection (on fake timers and a fake
// monotonic clock), the caption suffixes and lblNoNetwork.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "collector/tests/abl9_expected.h"
#include "collector/tests/read_back.h"
#include "collector/tests/stream_recorder.h"
#include "collector/tests/window_fixture.h"
#include "datamodel/DataModel.h"
#include "platform/program.h"

namespace {

using collector_test::StreamRecorder;
using collector_test::WindowTest;
using platform::qt::TCustomWinSocket;
using platform_test::RunUntil;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Kind = TDataSource::Kind;

const std::string kBaseCaption = "ABL Data Input Module (Ver. " QOR_EXPECTED_VERSION ")";

// A peer on the loopback interface: an analyzer or data client that connects to
// the window, or the relay server end that the window's relay client reaches.
class Peer {
 public:
  // Connects to Port from the loopback address From.
  Peer(int port, const char* from = "127.0.0.1") : socket_(std::make_unique<QTcpSocket>()) {
    socket_->setProxy(QNetworkProxy::NoProxy);
    socket_->bind(QHostAddress(from), 0);
    socket_->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    EXPECT_TRUE(RunUntil([&] { return socket_->state() == QAbstractSocket::ConnectedState; }));
  }
  // The server end of a connection a server accepted.
  explicit Peer(QTcpSocket* accepted) : socket_(accepted) {}

  void Send(const std::string& bytes) {
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_->flush();
  }
  // Sends each piece on its own, letting the event loop run between them.
  void SendInPieces(const std::vector<std::string>& pieces) {
    for (const std::string& piece : pieces) {
      Send(piece);
      QCoreApplication::processEvents();
    }
  }
  // What has arrived so far (all of it, from the start).
  const std::string& Received() {
    const QByteArray bytes = socket_->readAll();
    received_.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    return received_;
  }
  bool WaitFor(const std::string& bytes) {
    return RunUntil([&] { return Received().find(bytes) != std::string::npos; });
  }
  bool Connected() const { return socket_->state() == QAbstractSocket::ConnectedState; }
  bool WaitClosed() {
    return RunUntil([&] { return !Connected(); });
  }
  void Close() { socket_->disconnectFromHost(); }
  QTcpSocket& socket() { return *socket_; }

 private:
  std::unique_ptr<QTcpSocket> socket_;
  std::string received_;
};

// A connection as the window names it: host and address, or the address alone
// when the reverse lookup gave no name.
std::string Named(const TCustomWinSocket* socket) {
  const std::string& address = socket->RemoteAddress();
  return socket->RemoteHost().empty() ? address : socket->RemoteHost() + " (" + address + ")";
}

// What a data client received, as the relay client reads it.
std::vector<std::vector<std::string>> RelayedMessages(const std::string& bytes) {
  StreamRecorder recorder;
  TRelayLink link(recorder);
  link.Receive(bytes);
  EXPECT_THAT(recorder.notices, IsEmpty());
  return recorder.messages;
}

class NetworkWindowTest : public WindowTest {
 protected:
  // The analyzer server on a port the system chooses (no setting gives one).
  NetworkWindowTest() { analyzer_port_ = 0; }

  // The settings: the relay client's port, and more values.
  void StoreNetwork(int client_port = 14001, const std::string& more = "") {
    char port[16];
    std::snprintf(port, sizeof port, "%08x", client_port);
    Store(std::string("[HKEY_CURRENT_USER") + kSettingsKey +
          "]\n\"ClientSocketPort\"=dword:" + port + "\n" + more);
  }

  int AnalyzerPort() { return form_->ServerSocketABL->LocalPort(); }
  int RelayPort() { return form_->ServerSocket1->LocalPort(); }

  // A data client from From, once the window has listed it.
  std::unique_ptr<Peer> DataClient(const char* from = "127.0.0.1") {
    const int listed = form_->ListBoxConnectedClients->Count();
    auto peer = std::make_unique<Peer>(RelayPort(), from);
    EXPECT_TRUE(RunUntil([&] { return form_->ListBoxConnectedClients->Count() > listed; }));
    return peer;
  }
  // A relay server's end of the window's relay client, once the window is connected.
  std::unique_ptr<Peer> AcceptRelayClient() {
    EXPECT_TRUE(RunUntil([&] { return relay_server_.hasPendingConnections(); }));
    auto peer = std::make_unique<Peer>(relay_server_.nextPendingConnection());
    EXPECT_TRUE(RunUntil([&] { return form_->RelayConnected; }));
    return peer;
  }
  void Tick(int ticks = 1) {
    for (int i = 0; i < ticks; ++i) {
      clock_ms_ += 500;
      timers_->clock().Advance(500);
    }
  }
  std::string LastLogLine() { return form_->Memo4->Lines().back(); }

  QTcpServer relay_server_;
};

// ---- The TCP analyzer feed ----

TEST_F(NetworkWindowTest, AFeedMessageInOneReadIsWalkedAndRelayedOnce) {
  StoreNetwork();
  TForm1& form = Start("ABL");
  ASSERT_TRUE(form.ServerSocketABL->Active());
  std::unique_ptr<Peer> client = DataClient();
  Peer analyzer(AnalyzerPort());
  ASSERT_TRUE(RunUntil([&] { return form.Caption() == kBaseCaption + " - Connected to ABL"; }));
  analyzer.Send("\x01H|\\^&|||ABL SYSTEM 625^\rP|1||42\r\x04");
  // Each line framed, in order, then EOT, written out by hand.
  const std::string expected =
      "\x05\x02"
      "1H|\\^&|||ABL SYSTEM 625^\r\n\x03\x05\x02"
      "1P|1||42\r\n\x03\x04";
  ASSERT_TRUE(client->WaitFor(expected));
  EXPECT_EQ(client->Received(), expected);
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL SYSTEM 625");
}

TEST_F(NetworkWindowTest, TwoAnalyzerConnectionsAtOnceKeepTheirMessagesApart) {
  StoreNetwork();
  TForm1& form = Start("ABL");
  std::unique_ptr<Peer> client = DataClient();
  Peer first(AnalyzerPort());
  Peer second(AnalyzerPort());
  ASSERT_TRUE(RunUntil([&] { return form.Caption() == kBaseCaption + " - Connected to ABL"; }));
  // Both begin a message; the second ends first.
  first.Send("\x01H|a\rP|1\r");
  second.Send("\x01H|b\rP|2\r");
  QCoreApplication::processEvents();
  second.Send("O|2\r\x04");
  ASSERT_TRUE(RunUntil([&] { return RelayedMessages(client->Received()).size() == 1; }));
  first.Send("O|1\r\x04");
  ASSERT_TRUE(RunUntil([&] { return RelayedMessages(client->Received()).size() == 2; }));
  EXPECT_THAT(
      RelayedMessages(client->Received()),
      ElementsAre(ElementsAre("1H|b", "1P|2", "1O|2"), ElementsAre("1H|a", "1P|1", "1O|1")));
  // The caption says "Connected to" while any connection is up.
  first.Close();
  ASSERT_TRUE(RunUntil([&] { return form.ServerSocketABL->Connections().size() == 1; }));
  EXPECT_EQ(form.Caption(), kBaseCaption + " - Connected to ABL");
  second.Close();
  ASSERT_TRUE(RunUntil([&] { return form.Caption() == kBaseCaption; }));
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL Unknown");
}

TEST_F(NetworkWindowTest, AConnectionThatClosesInTheMiddleOfAMessageDropsItAndSaysSo) {
  StoreNetwork();
  TForm1& form = Start("ABL");
  std::unique_ptr<Peer> client = DataClient();
  {
    Peer analyzer(AnalyzerPort());
    analyzer.Send("\x01H|a\rP|1\r\x04\x01H|b\rP|2\r");
    ASSERT_TRUE(RunUntil([&] { return RelayedMessages(client->Received()).size() == 1; }));
  }
  const std::string text = "Message dropped: the connection closed before its end (127.0.0.1)";
  ASSERT_TRUE(RunUntil([&] { return form.lblError->Caption() == text; }));
  EXPECT_THAT(LastLogLine(), HasSubstr(": " + text));
  EXPECT_EQ(form.lblError->GetColor(), kErrorRed);
  EXPECT_THAT(RelayedMessages(client->Received()), ElementsAre(ElementsAre("1H|a", "1P|1")));
}

TEST_F(NetworkWindowTest, APeerThatResetsRightAfterSendingIsNamedByItsAddress) {
  StoreNetwork();
  TForm1& form = Start("ABL");
  // Sent and reset before the window's loop runs again: the window meets the
  // connection only when it is gone.
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, "127.0.0.4", &local.sin_addr);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(AnalyzerPort()));
  ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
  ASSERT_EQ(::send(fd, "\x01H|a\rP|1\r", 10, MSG_NOSIGNAL), 10);
  const linger reset{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(fd);
  const std::string text = "Message dropped: the connection closed before its end (127.0.0.4)";
  ASSERT_TRUE(RunUntil([&] { return form.lblError->Caption() == text; }))
      << form.lblError->Caption();
  EXPECT_THAT(LastLogLine(), HasSubstr(": " + text));
  // The reverse lookup given up with the connection still runs in Qt's lookup
  // thread, which crashes a program that ends under it; a lookup of the same name
  // waits for it.
  bool looked_up = false;
  QHostInfo::lookupHost("127.0.0.4", &relay_server_, [&](const QHostInfo&) { looked_up = true; });
  EXPECT_TRUE(RunUntil([&] { return looked_up; }));
}

// The ABL9 message, filed into the monitor-data file of a patient created for it.
class Abl9NetworkTest : public NetworkWindowTest {
 protected:
  void FeedAndCheck(const std::vector<std::string>& pieces) {
    RegisterDataModel();
    real_save_ = true;
    StoreNetwork(14001, "\"AutoCreate\"=dword:00000001\n");
    TForm1& form = Start("ABL");
    Peer analyzer(AnalyzerPort());
    analyzer.SendInPieces(pieces);
    ASSERT_TRUE(RunUntil([&] {
      return !auto_object_.calls.empty() && auto_object_.calls.back() == "TransferDone()";
    }));
    const std::string folder = root_ + "DATA/" + collector_test::kAbl9Folder;
    EXPECT_TRUE(std::filesystem::exists(folder + "/Patient"));
    collector_test::ExpectAbl9Filed(collector_test::ReadBack(folder + "/ABL.vor"));
    // 32 values handed over, and the end of the message.
    EXPECT_EQ(auto_object_.calls.size(), 33u);
    EXPECT_THAT(form.Memo4->Lines(),
                Contains(HasSubstr("Transferring Anon (100000-001) to Wardvorta")));
  }
  const std::string bytes_ = collector_test::ReadFixture(QOR_COLLECTOR_TESTDATA_DIR "/" +
                                                         std::string(collector_test::kAbl9File));
};

TEST_F(Abl9NetworkTest, FedWhole) {
  FeedAndCheck({bytes_});
}

TEST_F(Abl9NetworkTest, FedByteByByte) {
  std::vector<std::string> bytes;
  for (char c : bytes_)
    bytes.emplace_back(1, c);
  FeedAndCheck(bytes);
}

TEST_F(Abl9NetworkTest, FedInRandomSplits) {
  FeedAndCheck(collector_test::RandomPieces(bytes_, 7, 200));
}

// ---- The relay server ----

TEST_F(NetworkWindowTest, DataClientsAreListedOnePerAddressInTheOrderOfConnection) {
  StoreNetwork();
  TForm1& form = Start();
  EXPECT_FALSE(form.gbConnectedDataClients->Visible());
  std::unique_ptr<Peer> first = DataClient("127.0.0.1");
  EXPECT_TRUE(form.gbConnectedDataClients->Visible());
  std::unique_ptr<Peer> second = DataClient("127.0.0.2");
  ASSERT_EQ(form.DataClients.size(), 2u);
  const std::vector<std::string> lines = form.ListBoxConnectedClients->Items();
  // Remote host (when the reverse lookup names it) and dotted address.
  EXPECT_EQ(form.DataClients[0]->RemoteAddress(), "127.0.0.1");
  EXPECT_EQ(form.DataClients[1]->RemoteAddress(), "127.0.0.2");
  EXPECT_EQ(lines[0], Named(form.DataClients[0]));
  EXPECT_EQ(lines[1], Named(form.DataClients[1]));
  form.RelayToDataClients("1H|x", true);
  form.RelayToDataClients("\x04", false);
  const std::string expected =
      "\x05\x02"
      "1H|x\r\n\x03\x04";
  ASSERT_TRUE(first->WaitFor(expected));
  ASSERT_TRUE(second->WaitFor(expected));
  first->Close();
  ASSERT_TRUE(RunUntil([&] { return form.DataClients.size() == 1; }));
  EXPECT_THAT(form.ListBoxConnectedClients->Items(), ElementsAre(lines[1]));
  EXPECT_TRUE(form.gbConnectedDataClients->Visible());
  second->Close();
  ASSERT_TRUE(RunUntil([&] { return form.DataClients.empty(); }));
  EXPECT_EQ(form.ListBoxConnectedClients->Count(), 0);
  EXPECT_FALSE(form.gbConnectedDataClients->Visible());
}

TEST_F(NetworkWindowTest, ASecondConnectionFromAListedAddressTakesOverAndTheOldOneIsClosed) {
  StoreNetwork();
  TForm1& form = Start();
  std::unique_ptr<Peer> old_link = DataClient();
  TCustomWinSocket* old_connection = form.DataClients[0];
  // The same client again, while its first connection is still listed.
  auto new_link = std::make_unique<Peer>(RelayPort());
  ASSERT_TRUE(RunUntil(
      [&] { return form.DataClients.size() == 1 && form.DataClients[0] != old_connection; }));
  EXPECT_EQ(form.ListBoxConnectedClients->Count(), 1);
  ASSERT_TRUE(old_link->WaitClosed());
  // The old connection's end left the new one listed.
  ASSERT_EQ(form.DataClients.size(), 1u);
  form.RelayToDataClients("1H|x", true);
  ASSERT_TRUE(
      new_link->WaitFor("\x05\x02"
                        "1H|x\r\n\x03"));
  EXPECT_EQ(old_link->Received(), "");
  // The new one's end empties the list.
  new_link->Close();
  ASSERT_TRUE(RunUntil([&] { return form.DataClients.empty(); }));
  EXPECT_FALSE(form.gbConnectedDataClients->Visible());
}

TEST_F(NetworkWindowTest, TheLifetickGoesToTheDataClientsAfterAMinuteOfSilence) {
  StoreNetwork();
  timers_.emplace();
  TForm1& form = Start();
  Tick();  // the first lifetick goes out at once, to no one
  std::unique_ptr<Peer> client = DataClient();
  const int64_t first = form.LastRelaySend;
  clock_ms_ += 59500;
  Tick();  // 60 s since the last send: not more than 60
  EXPECT_EQ(form.LastRelaySend, first);
  Tick();
  ASSERT_TRUE(client->WaitFor("\r"));
  EXPECT_EQ(client->Received(), "\r");
  EXPECT_EQ(form.LastRelaySend, clock_ms_);
  // A message is something sent: the next lifetick is a minute after it.
  clock_ms_ += 30000;
  form.RelayToDataClients("\x04", false);
  const int64_t message = form.LastRelaySend;
  clock_ms_ += 59500;
  Tick();
  EXPECT_EQ(form.LastRelaySend, message);
  ASSERT_TRUE(client->WaitFor("\r\x04"));
  EXPECT_EQ(client->Received(), "\r\x04");
}

TEST_F(NetworkWindowTest, WhatADataClientSendsIsDroppedAndReported) {
  StoreNetwork();
  TForm1& form = Start();
  std::unique_ptr<Peer> client = DataClient();
  const std::string peer = form.ListBoxConnectedClients->Items()[0];
  client->Send("hello");
  const std::string first =
      "Bytes from a data client dropped (the relay link takes none): " + peer + ", 5 bytes";
  ASSERT_TRUE(RunUntil([&] { return form.lblError->Caption() == first; }));
  EXPECT_THAT(LastLogLine(), HasSubstr(first));
  client->Send(std::string(100000, 'x'));
  client->Close();
  ASSERT_TRUE(RunUntil([&] { return form.DataClients.empty(); }));
  EXPECT_THAT(LastLogLine(), HasSubstr(peer + ", 100005 bytes in all"));
}

// A peer the reverse lookup finds no name for is shown by its address alone, with
// no empty name and parentheses before it.
TEST_F(NetworkWindowTest, APeerWithoutANameIsShownByItsAddress) {
  StoreNetwork();
  TForm1& form = Start();
  std::unique_ptr<Peer> client = DataClient("127.0.0.2");
  if (!form.DataClients[0]->RemoteHost().empty()) {
    GTEST_SKIP() << "127.0.0.2 has a name on this machine: " << form.DataClients[0]->RemoteHost();
  }
  EXPECT_THAT(form.ListBoxConnectedClients->Items(), ElementsAre("127.0.0.2"));
  client->Send("hello");
  const std::string text =
      "Bytes from a data client dropped (the relay link takes none): 127.0.0.2, 5 bytes";
  ASSERT_TRUE(RunUntil([&] { return form.lblError->Caption() == text; }))
      << form.lblError->Caption();
}

TEST_F(NetworkWindowTest, ADataClientThatStopsReadingIsCutOffAndReported) {
  StoreNetwork();
  TForm1& form = Start();
  std::unique_ptr<Peer> client = DataClient();
  client->socket().setReadBufferSize(1);
  const std::string peer = form.ListBoxConnectedClients->Items()[0];
  const std::string chunk(64 << 10, 'z');
  // The kernel's buffers fill first; then a megabyte waits in the socket.
  for (int i = 0; i < 2000 && !form.DataClients.empty(); ++i)
    form.RelayToDataClients(chunk, true);
  ASSERT_TRUE(RunUntil([&] { return form.DataClients.empty(); }));
  EXPECT_EQ(form.lblError->Caption(), "Data client disconnected, it stopped reading: " + peer);
  EXPECT_THAT(LastLogLine(), HasSubstr("it stopped reading"));
  EXPECT_FALSE(form.gbConnectedDataClients->Visible());
}

// ---- The relay client ----

TEST_F(NetworkWindowTest, TheRelayClientCollectsRelayedMessagesAndRelaysThemAgain) {
  ASSERT_TRUE(relay_server_.listen(QHostAddress::AnyIPv4, 0));
  StoreNetwork(relay_server_.serverPort());
  timers_.emplace();
  TForm1& form = Start("WARDVORTA127.0.0.1");
  EXPECT_EQ(form.ComSel->ItemIndex(), 17);
  std::unique_ptr<Peer> server = AcceptRelayClient();
  EXPECT_EQ(form.ClientSocket1->Socket()->RemoteAddress(), "127.0.0.1");
  EXPECT_EQ(form.Caption(),
            kBaseCaption + " - Connected to " + Named(form.ClientSocket1->Socket()));
  std::unique_ptr<Peer> client = DataClient();
  // Two framed lines and EOT in one read: one message, lines without the framing.
  server->Send(
      "\x05\x02"
      "1H|\\^&|||ABL SYSTEM 625^\r\n\x03\x05\x02"
      "2P|1||42\r\n\x03\x04");
  const std::string again =
      "\x05\x02"
      "1H|\\^&|||ABL SYSTEM 625^\r\n\x03\x05\x02"
      "2P|1||42\r\n\x03\x04";
  ASSERT_TRUE(client->WaitFor(again));
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL SYSTEM 625");
  // The server closes: disconnected, reconnected 11 ticks later.
  server->Close();
  ASSERT_TRUE(RunUntil([&] { return !form.RelayConnected; }));
  EXPECT_EQ(form.Caption(), kBaseCaption);
  Tick(10);
  EXPECT_TRUE(form.lblNoNetwork->Visible());
  EXPECT_FALSE(form.ClientSocket1->Active());
  Tick();
  std::unique_ptr<Peer> back = AcceptRelayClient();
  Tick();
  EXPECT_FALSE(form.lblNoNetwork->Visible());
}

TEST_F(NetworkWindowTest, ASilentRelayServerTripsTheWatchdogAndTheClientComesBack) {
  ASSERT_TRUE(relay_server_.listen(QHostAddress::AnyIPv4, 0));
  StoreNetwork(relay_server_.serverPort());
  timers_.emplace();
  TForm1& form = Start("WARDVORTA127.0.0.1");
  std::unique_ptr<Peer> server = AcceptRelayClient();
  // Lifeticks keep it alive, whatever the pauses between them up to 126 s.
  clock_ms_ += 100000;
  server->Send("\r");
  ASSERT_TRUE(RunUntil([&] { return form.LastLifetick == clock_ms_; }));
  clock_ms_ += 125500;
  Tick();  // 126 s: not more
  EXPECT_TRUE(form.RelayConnected);
  // A half message, then silence.
  server->Send(
      "\x05\x02"
      "1H|a\r\n\x03");
  ASSERT_TRUE(RunUntil([&] { return form.LastLifetick == clock_ms_; }));
  clock_ms_ += 125501;
  Tick();  // 126.001 s: one past
  EXPECT_FALSE(form.RelayConnected);
  EXPECT_EQ(form.lblError->Caption(), "Expected lifetick is missing");
  EXPECT_EQ(form.lblError->GetColor(), kWarningYellow);
  EXPECT_THAT(LastLogLine(), HasSubstr("Message dropped: the connection closed before its end"));
  ASSERT_TRUE(server->WaitClosed());
  EXPECT_TRUE(form.lblNoNetwork->Visible());
  // Reconnected 5.5 s later; the next sign of life clears the line.
  Tick(10);
  EXPECT_FALSE(form.ClientSocket1->Active());
  Tick();
  std::unique_ptr<Peer> back = AcceptRelayClient();
  EXPECT_EQ(form.lblError->Caption(), "");
  EXPECT_EQ(form.lblError->GetColor(), platform::kClBtnFace);
  // A red failure stays until the client connects again; the yellow warning goes
  // with the next lifetick.
  form.ShowError("Expected lifetick is missing", kWarningYellow);
  back->Send("\r");
  ASSERT_TRUE(RunUntil([&] { return form.lblError->Caption().empty(); }));
  form.ShowError("something else", kErrorRed);
  const int64_t before = form.LastLifetick;
  clock_ms_ += 1;
  back->Send("\r");
  ASSERT_TRUE(RunUntil([&] { return form.LastLifetick != before; }));
  EXPECT_EQ(form.lblError->Caption(), "something else");
}

TEST_F(NetworkWindowTest, ChoosingTheRelayAsksForTheHost) {
  ASSERT_TRUE(relay_server_.listen(QHostAddress::AnyIPv4, 0));
  StoreNetwork(relay_server_.serverPort());
  timers_.emplace();
  TForm1& form = Start();
  form.RelayHost = "10.0.0.9";
  dialogs_->CancelInput();
  form.ComSel->SetItemIndex(17);
  form.ComSelChange();
  ASSERT_EQ(dialogs_->questions().size(), 1u);
  EXPECT_EQ(dialogs_->questions()[0].caption, "IP address or computer name");
  EXPECT_EQ(dialogs_->questions()[0].text, "Enter IP address or computer name");
  EXPECT_EQ(dialogs_->questions()[0].initial, "10.0.0.9");
  EXPECT_EQ(form.ReconnectCountdown, 10);
  EXPECT_FALSE(form.ClientSocket1->Active());
  dialogs_->AnswerInput("127.0.0.1");
  form.ComSelChange();
  EXPECT_EQ(form.RelayHost, "127.0.0.1");
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kRelay, 0, "127.0.0.1"}));
  std::unique_ptr<Peer> server = AcceptRelayClient();
  std::string value;
  EXPECT_TRUE(RegistryValue(kAutostartKey, "", &value));
  EXPECT_EQ(value, platform::ProgramPath() + "|WARDVORTA127.0.0.1");
  // Any other source disconnects it.
  form.ComSel->SetItemIndex(0);
  form.ComSelChange();
  EXPECT_FALSE(form.RelayConnected);
  ASSERT_TRUE(server->WaitClosed());
}

TEST_F(NetworkWindowTest, AnAttemptUnderWayIsNotCutShort) {
  ASSERT_TRUE(relay_server_.listen(QHostAddress::AnyIPv4, 0));
  StoreNetwork(relay_server_.serverPort());
  timers_.emplace();
  TForm1& form = Start("WARDVORTA127.0.0.1");
  // The connection is being made (nothing has run yet to finish it).
  ASSERT_TRUE(form.ClientSocket1->Active());
  Tick(30);
  EXPECT_EQ(form.ReconnectCountdown, 10);
  std::unique_ptr<Peer> server = AcceptRelayClient();
  EXPECT_TRUE(form.RelayConnected);
}

TEST_F(NetworkWindowTest, WithoutAHostNoAttemptIsMade) {
  StoreNetwork();
  timers_.emplace();
  TForm1& form = Start();
  dialogs_->CancelInput();
  form.ComSel->SetItemIndex(17);
  form.ComSelChange();
  Tick(30);
  EXPECT_FALSE(form.ClientSocket1->Active());
  EXPECT_TRUE(form.lblNoNetwork->Visible());
  EXPECT_EQ(form.lblError->Caption(), "");
}

TEST_F(NetworkWindowTest, ARefusedConnectionIsShownAndLoggedOnce) {
  int free_port = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::AnyIPv4, 0));
    free_port = probe.serverPort();
  }
  StoreNetwork(free_port);
  timers_.emplace();
  TForm1& form = Start("WARDVORTA127.0.0.1");
  ASSERT_TRUE(RunUntil([&] { return !form.lblError->Caption().empty(); }));
  EXPECT_THAT(form.lblError->Caption(), HasSubstr("(111), on API 'connect'"));
  EXPECT_EQ(form.lblError->GetColor(), kErrorRed);
  const int logged = form.Memo4->Count();
  form.ShowError("", platform::kClBtnFace);
  Tick(11);
  ASSERT_TRUE(RunUntil([&] { return !form.lblError->Caption().empty(); }));
  EXPECT_EQ(form.Memo4->Count(), logged);
}

TEST(IsIPAddressTest, ThreeDotsAndDigitsOnly) {
  const struct {
    const char* text;
    bool address;
  } cases[] = {
      {"192.168.0.17", true}, {"127.0.0.1", true},
      {"10.0.0", false},      {"ward7.host.example.org", false},
      {"1.2.a.4", false},     {"1..2.3", false},
      {".1.2.3", false},      {"", false},
      {"1.2.3.", true},       {"1.2.3.4.5", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TForm1::IsIPAddress(c.text), c.address) << c.text;
}

}  // namespace
