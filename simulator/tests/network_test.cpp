// Gasmimic's window on the TCP feed, against a local server standing in for
// Gasbridge's analyzer server on an ephemeral port: the host input box, the
// captions, the sending interval's stall rule, the reconnection and the error line.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "simulator/Unit1Connection.h"
#include "simulator/tests/first_built_message.h"
#include "simulator/tests/window_fixture.h"

namespace simulator_test {
namespace {

using Lines = std::vector<std::string>;
using platform::ScriptedDialogs;

// Gasbridge's analyzer server, as far as Gasmimic can tell: it accepts connections
// and keeps what they send.
class CollectorServer {
 public:
  CollectorServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        ++accepted;
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
          const QByteArray bytes = socket->readAll();
          received.append(bytes.constData(), static_cast<size_t>(bytes.size()));
        });
        last = socket;
      }
    });
  }
  int port() const { return server_.serverPort(); }
  size_t Count(char c) const {
    return static_cast<size_t>(std::count(received.begin(), received.end(), c));
  }

  int accepted = 0;
  std::string received;
  QTcpSocket* last = nullptr;

 private:
  QTcpServer server_;
};

// The feed's bytes of a message, written out by hand: SOH, each line without its
// frame digit and with CR, EOT.
std::string FeedBytes(const Lines& lines) {
  std::string bytes = "\x01";
  for (const std::string& line : lines)
    bytes += line.substr(1) + "\r";
  return bytes + "\x04";
}

class NetworkTest : public WindowTest {
 protected:
  // Picks "Network", answering the input box with the server's address.
  void ConnectToServer() {
    form->SetCollectorPort(server.port());
    dialogs->AnswerInput("127.0.0.1");
    PickEntry(kNetworkEntry);
    ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  }

  CollectorServer server;
};

TEST_F(NetworkTest, TheHostIsAskedForAndTheCaptionShowsTheConnection) {
  ConnectToServer();
  ASSERT_EQ(dialogs->questions().size(), 1u);
  const ScriptedDialogs::Question& question = dialogs->questions()[0];
  EXPECT_EQ(question.kind, ScriptedDialogs::Kind::kInputQuery);
  EXPECT_EQ(question.caption, "IP address or Host name");
  EXPECT_EQ(question.text, "Enter IP address or Host name");
  EXPECT_EQ(question.initial, "");
  EXPECT_EQ(form->CollectorHost(), "127.0.0.1");
  EXPECT_EQ(form->ClientSocket1->Address(), "127.0.0.1");
  const std::string caption = form->Caption();
  EXPECT_EQ(caption.rfind("Connected to ", 0), 0u) << caption;
  EXPECT_TRUE(caption.ends_with(" (127.0.0.1)")) << caption;
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClBtnFace);
  EXPECT_FALSE(form->ComPort->Port().Open());
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 0);

  // Asked again, the box offers the host given before; a name is no address.
  dialogs->AnswerInput("localhost");
  PickEntry(kNetworkEntry);
  EXPECT_EQ(dialogs->questions()[1].initial, "127.0.0.1");
  EXPECT_EQ(form->ClientSocket1->Host(), "localhost");
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
}

TEST_F(NetworkTest, AtAFourSecondIntervalAMessageGoesEverySixteenSeconds) {
  ConnectToServer();
  form->SpinEdit1->SetValue(4);
  form->Button1->Click();
  EXPECT_EQ(form->Timer1->Interval(), 4000u);

  timers->Advance(4000);  // the first tick sends at once
  ASSERT_TRUE(RunUntil([&] { return server.Count('\x04') == 1; }));
  EXPECT_EQ(server.received, FeedBytes(FirstBuiltMessage(1, "20240305070813")));

  // Ticks at 8, 12 and 16 s come within 15 s of the send; the one at 20 s sends.
  // Had any of them sent, its message would arrive first and carry its own time.
  timers->Advance(16000);
  ASSERT_TRUE(RunUntil([&] { return server.Count('\x04') == 2; }));
  EXPECT_EQ(server.received, FeedBytes(FirstBuiltMessage(1, "20240305070813")) +
                                 FeedBytes(FirstBuiltMessage(1, "20240305070829")));
  EXPECT_EQ(form->Sender().sample_no(), 1);  // only a serial message counts
}

TEST_F(NetworkTest, ALostConnectionIsTriedAgainEveryThreeSeconds) {
  ConnectToServer();
  ASSERT_NE(server.last, nullptr);
  server.last->close();
  ASSERT_TRUE(RunUntil([&] { return !form->Connected(); }));
  EXPECT_EQ(form->Caption(), "Disconnected");

  // Timer2 runs from the start: its first tick comes at kReconnectMs, not before.
  ASSERT_EQ(form->Timer2->Interval(), static_cast<uint32_t>(kReconnectMs));
  timers->Advance(kReconnectMs - 1);
  EXPECT_FALSE(form->ClientSocket1->Active());
  timers->Advance(1);
  EXPECT_TRUE(form->ClientSocket1->Active());
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  EXPECT_EQ(server.accepted, 2);
  EXPECT_EQ(dialogs->questions().size(), 1u);  // not asked again

  // Picking another entry disconnects, and nothing reconnects.
  PickEntry(0);
  EXPECT_FALSE(form->Connected());
  EXPECT_EQ(form->Caption(), "Disconnected");
  timers->Advance(3000);
  EXPECT_FALSE(form->ClientSocket1->Active());
}

TEST_F(NetworkTest, ACancelledInputBoxConnectsNothing) {
  dialogs->CancelInput();
  PickEntry(kNetworkEntry);
  EXPECT_EQ(form->ComSel->ItemIndex(), kNetworkEntry);
  EXPECT_FALSE(form->ClientSocket1->Active());
  timers->Advance(9000);  // no host to try again either
  EXPECT_FALSE(form->ClientSocket1->Active());
  EXPECT_EQ(form->lblError->Caption(), "");
}

TEST_F(NetworkTest, SendingWithoutAConnectionShowsASocketError) {
  dialogs->CancelInput();
  PickEntry(kNetworkEntry);
  form->SpinEdit1->SetValue(1);
  form->Button1->Click();
  EXPECT_TRUE(dialogs->questions().size() == 1u);  // a line is chosen: no message box
  timers->Advance(1000);
  EXPECT_EQ(form->lblError->Caption(),
            "Socket error: Socket is not connected (10057), on API 'send'");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClRed);
}

TEST_F(NetworkTest, ARefusedConnectionShowsInRedAndAConnectionClearsIt) {
  int closed_port = 0;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    closed_port = probe.serverPort();
  }
  form->SetCollectorPort(closed_port);
  dialogs->AnswerInput("127.0.0.1");
  PickEntry(kNetworkEntry);
  ASSERT_TRUE(RunUntil([&] { return !form->lblError->Caption().empty(); }));
  EXPECT_EQ(form->lblError->Caption().rfind("Socket error: ", 0), 0u) << form->lblError->Caption();
  EXPECT_EQ(form->lblError->GetColor(), platform::kClRed);
  EXPECT_FALSE(form->Connected());

  // The server comes up on the port; the next try connects and clears the line.
  form->SetCollectorPort(server.port());
  timers->Advance(3000);
  ASSERT_TRUE(RunUntil([&] { return form->Connected(); }));
  EXPECT_EQ(form->lblError->Caption(), "");
  EXPECT_EQ(form->lblError->GetColor(), platform::kClBtnFace);
}

}  // namespace
}  // namespace simulator_test
