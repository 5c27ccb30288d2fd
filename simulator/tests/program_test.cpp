// The gasmimic program as a script runs it: its command line, the canned message
// over a pseudo-terminal to Gasbridge's receiver, the built message over TCP.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/tests/temp_folder.h"
#include "simulator/GasmimicOptions.h"
#include "simulator/Unit1Message.h"
#include "simulator/tests/window_fixture.h"

namespace simulator_test {
namespace {

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    platform_test::App();
    // The toolkit's font cache lives as long as the program: not a leak of ours.
    std::ofstream(suppressions_) << "leak:libfontconfig.so\n";
  }

  // Starts gasmimic with Args on the offscreen platform.
  void Start(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QOR_COMPORTS", QString::fromStdString(ports.path()));
    env.insert("LSAN_OPTIONS", QString::fromStdString("suppressions=" + suppressions_));
    // The toolkit wants a private runtime folder, and says so on the error output.
    const std::string runtime = folder.path() + "/runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    process.setProcessEnvironment(env);
    process.start(QOR_GASMIMIC_PATH, args);
    ASSERT_TRUE(process.waitForStarted());
  }
  bool Finished() const { return process.state() == QProcess::NotRunning; }
  // Hands what the program sends to Collector until the program has ended and the
  // last byte it sent, a message's EOT, has come through; false when that does not
  // happen. The program's end alone is not enough: what it wrote just before may
  // still be on its way through the pseudo-terminal, which passes the bytes on after
  // the write has returned.
  bool PumpUntilEndedAfterEot(CollectorEnd& collector) {
    return platform_test::RunUntil(
        [&] {
          collector.Pump();
          return Finished() && !collector.received.empty() && collector.received.back() == '\x04';
        },
        std::chrono::seconds(90));
  }
  std::string Out() { return process.readAllStandardOutput().toStdString(); }
  std::string Err() { return process.readAllStandardError().toStdString(); }

  platform_test::ComPorts ports;
  platform_test::TempFolder folder{"gasmimic_program"};
  std::string suppressions_ = folder.path() + "/lsan.supp";
  QProcess process;
};

TEST_F(ProgramTest, SendCannedOnceSendsTheCannedMessageAndEnds) {
  platform_test::Pty& pty = ports.Add(2);
  CollectorEnd collector(pty);
  Start({"--com", "2", "--send-canned-once", "--quit-after", "60"});
  ASSERT_TRUE(PumpUntilEndedAfterEot(collector)) << Err();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << Err();
  EXPECT_EQ(Out(), "gasmimic: sent the canned message (44 lines) on COM2\n");
  ASSERT_EQ(collector.messages.size(), 1u);
  EXPECT_EQ(collector.messages[0], CannedMessage());
  EXPECT_EQ(collector.naks, 0);
}

// The time given ends the program between messages only: a message in flight when
// it is up goes out whole first, so the collector never gets half of one.
TEST_F(ProgramTest, TheTimeIsUpOnlyWhenTheMessageInFlightHasEnded) {
  platform_test::Pty& pty = ports.Add(2);
  CollectorEnd collector(pty);
  Start({"--com", "2", "--interval", "1", "--start", "--quit-after", "2"});
  // The first tick sends ENQ; no ACK comes until the time is up.
  std::string out;
  ASSERT_TRUE(platform_test::RunUntil(
      [&] {
        out += Out();
        return out.find('\n') != std::string::npos || Finished();
      },
      std::chrono::seconds(60)));
  EXPECT_EQ(out, "gasmimic: the time is up; the message in flight ends first\n");
  ASSERT_FALSE(Finished()) << Err();
  ASSERT_TRUE(PumpUntilEndedAfterEot(collector)) << Err();
  EXPECT_EQ(process.exitCode(), 0) << Err();
  ASSERT_EQ(collector.messages.size(), 1u);
  ASSERT_EQ(collector.messages[0].size(), 11u);
  EXPECT_EQ(collector.messages[0].back(), "3L|1|N");
  ASSERT_FALSE(collector.received.empty());
  EXPECT_EQ(collector.received.back(), '\x04');
}

TEST_F(ProgramTest, APortThatWillNotOpenEndsTheProgramWithAnError) {
  ports.Link(7, ports.path() + "/absent");
  Start({"--com", "7", "--send-canned-once"});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 1);
  EXPECT_EQ(Err(), "gasmimic: COM7 could not be opened\n");
}

TEST_F(ProgramTest, AWrongCommandLineShowsTheUsage) {
  Start({"--com", "17"});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 2);
  EXPECT_EQ(Err(), "gasmimic: --com takes a port number from 1 to 16\n" + GasmimicUsage());
}

TEST_F(ProgramTest, StartOnTheNetworkSendsTheBuiltMessage) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  std::string received;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::readyRead,
                       [&, socket] { received += socket->readAll().toStdString(); });
    }
  });
  Start({"--network", "127.0.0.1", "--port", QString::number(server.serverPort()), "--interval",
         "1", "--start", "--quit-after", "60"});
  ASSERT_TRUE(platform_test::RunUntil(
      [&] { return received.find('\x04') != std::string::npos || Finished(); },
      std::chrono::seconds(90)));
  EXPECT_FALSE(Finished()) << Err();
  process.kill();
  process.waitForFinished();
  // SOH, the built message's lines without frame digits, each with CR, EOT.
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received.front(), '\x01');
  EXPECT_EQ(received.rfind("H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000\r", 1), 1u);
  EXPECT_NE(received.find("\rP|1||1||Demo^Patient|||M|"), std::string::npos);
  EXPECT_NE(received.find("\rR|7|^^^pO2^M|41.2|mmHg||||F\rL|1|N\r\x04"), std::string::npos);
}

}  // namespace
}  // namespace simulator_test
