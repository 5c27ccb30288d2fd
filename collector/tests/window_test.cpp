// Gasbridge's main window, offscreen: its resource, the start-up with and without
// settings, the data source, the serial receiver through a scripted port, the line
// watch, the transfer log's button and the closing rules.
#include "collector/Unit1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <poll.h>

#include <QTcpServer>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "collector/QORUtils.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/fake_save_file.h"
#include "collector/tests/read_back.h"
#include "datamodel/DataModel.h"
#include "platform/dialogs.h"
#include "platform/program.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/pty_pair.h"
#include "platform/tests/temp_folder.h"

namespace {

using platform_test::RunUntil;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Kind = TDataSource::Kind;

// A serial port that the test drives: what the window sends is kept, bytes are
// delivered by the test, ports in Missing cannot be opened.
struct TPortScript {
  std::string sent;
  std::string incoming;
  int com_number = 0;
  bool open = false;
  bool dsr = true;
  std::set<int> missing;
  std::vector<int> opened;
  TAnalyzerPort::TLineSettings settings;
  TAnalyzerPort* port = nullptr;

  // The line delivers bytes: the port's event tells how many are there.
  void Deliver(const std::string& bytes) {
    incoming += bytes;
    if (port->OnTriggerAvail) port->OnTriggerAvail(static_cast<uint16_t>(incoming.size()));
  }
};

class TScriptedPort : public TAnalyzerPort {
 public:
  explicit TScriptedPort(TPortScript& script) : script_(script) { script_.port = this; }
  void Configure(const TLineSettings& settings) override { script_.settings = settings; }
  int ComNumber() const override { return script_.com_number; }
  void SetComNumber(int number) override { script_.com_number = number; }
  bool Open() const override { return script_.open; }
  void SetOpen(bool open) override {
    if (open && (script_.com_number <= 0 || script_.missing.count(script_.com_number))) {
      throw Exception("Port COM" + std::to_string(script_.com_number) + " does not exist");
    }
    if (open) script_.opened.push_back(script_.com_number);
    script_.open = open;
  }
  char GetChar() override {
    if (script_.incoming.empty()) return '\0';
    const char c = script_.incoming.front();
    script_.incoming.erase(0, 1);
    return c;
  }
  void PutString(const std::string& bytes) override { script_.sent += bytes; }
  bool GetDSR() override { return script_.open && script_.dsr; }

 private:
  TPortScript& script_;
};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { std::filesystem::create_directories(root_ + "DATA"); }
  ~WindowTest() override {
    form_.reset();
    auto_object_.references = 0;
  }

  // The settings store: the data root, and more keys.
  void Store(const std::string& more = "") {
    std::ofstream(store_, std::ios::binary)
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
           "\"ZQTData\"=\""
        << root_ << "ZQTDATA.INI\"\n\n"
        << more;
  }

  TForm1& Start(const std::string& argument = "") {
    TForm1Setup setup;
    setup.argument = argument;
    if (!real_port_) setup.make_port = [this] { return std::make_unique<TScriptedPort>(port_); };
    if (!real_save_) {
      setup.make_save_file = [this] {
        auto save = std::make_unique<TFakeSaveFile>();
        save_ = save.get();
        return save;
      };
    }
    setup.create_auto_object = [this]() -> IVistameterAutoObject* {
      if (!automation_works_) throw Exception("Class not registered");
      return &auto_object_;
    };
    setup.relay_port = relay_port_;
    setup.monotonic_ms = [this] { return clock_ms_; };
    setup.terminate = [this] { ++terminations_; };
    form_ = std::make_unique<TForm1>(std::move(setup));
    return *form_;
  }

  bool RegistryValue(const char* key, const char* name, std::string* text, int* number = nullptr) {
    platform::TRegistry registry(store_);
    if (!registry.OpenKeyReadOnly(key) || !registry.ValueExists(name)) return false;
    if (text) *text = registry.ReadString(name);
    if (number) *number = registry.ReadInteger(name);
    return true;
  }

  // The application first: it installs the dialogs that the scripted ones replace.
  bool app_ = (platform_test::App(), true);
  platform_test::TempFolder folder_{"gasbridge_window"};
  std::string root_ = folder_.path() + "/root/";
  std::string store_ = folder_.path() + "/registry.reg";
  ScopedEnv registry_env_{"QOR_REGISTRY", store_};
  ScopedEnv home_env_{"HOME", folder_.path()};
  ScopedEnv config_env_{"XDG_CONFIG_HOME", folder_.path() + "/config"};
  ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", folder_.path()};
  ScopedEnv drives_env_{"QOR_DRIVES", folder_.path() + "/drives"};
  platform::ScopedScriptedDialogs dialogs_;
  TPortScript port_;
  bool real_port_ = false;  // the serial library's port instead of the scripted one
  bool real_save_ = false;  // the save component instead of the in-memory file
  TFakeSaveFile* save_ = nullptr;
  TRecordingAutoObject auto_object_;
  bool automation_works_ = true;
  std::optional<int> relay_port_ = 0;
  int64_t clock_ms_ = 1000000;
  int terminations_ = 0;
  std::optional<platform::qt::ScopedFakeTimers> timers_;  // outlives the window's timers
  std::unique_ptr<TForm1> form_;
};

TEST_F(WindowTest, TheResourceMakesEveryComponentWithItsTextsAndSettings) {
  Store();
  TForm1& form = Start();
  EXPECT_EQ(form.BitBtn1->Caption(), "&Close");
  EXPECT_EQ(form.BitBtn1->Hint(),
            "Click to close application. N.B. No data will be collected after closing the "
            "application!");
  EXPECT_EQ(form.Button3->Caption(), "Clear log");
  EXPECT_EQ(form.Button3->Hint(), "Click to clear logfile");
  EXPECT_EQ(form.btnComSel->Caption(), "Change data source");
  EXPECT_EQ(form.btnComSel->Hint(), "Change communication port by clicking");
  EXPECT_EQ(form.gbComSel->Hint(), "Select communication port");
  EXPECT_EQ(form.ComSel->Hint(), "Select communication port from the list");
  EXPECT_EQ(form.cbAutoStart->Hint(),
            "Check to start collection automatically when connection has been established");
  EXPECT_EQ(form.cbAutoCreate->Hint(),
            "Check to automatically create all patients registered in the ABL Blood Gas "
            "Analyzer");
  EXPECT_EQ(form.cbParameterGrouping->Hint(),
            "Check to group parameters (e.g. Venous and Arterial)");
  EXPECT_EQ(form.cbPatientIDReductionUseFirstTen->Hint(),
            "Check to use FIRST 10 characters of the ABL Blood Gas Analyzer patient ID\r\n"
            "Uncheck to use LAST 10 characters of the ABL Blood Gas Analyzer patient ID");
  EXPECT_EQ(form.lblDisconnected->Caption(), "Disconnected");
  EXPECT_EQ(form.lblNoNetwork->Caption(), "Network host not found");
  EXPECT_FALSE(form.lblDisconnected->Visible());
  EXPECT_FALSE(form.Memo1->Visible());
  EXPECT_FALSE(form.gbConnectedDataClients->Visible());
  const std::vector<std::string> items = form.ComSel->Items();
  ASSERT_EQ(items.size(), 19u);
  EXPECT_EQ(items[0], "Disabled");
  EXPECT_EQ(items[16], "COM16");
  EXPECT_EQ(items[17], "Network (Wardvorta)");
  EXPECT_EQ(items[18], "Network (ABL)");
  EXPECT_EQ(form.Timer1->Interval(), 500u);
  EXPECT_TRUE(form.Timer1->Enabled());
  EXPECT_EQ(port_.settings.baud, 9600);
  EXPECT_EQ(port_.settings.buffer_full, 3072);
  EXPECT_EQ(port_.settings.buffer_resume, 1024);
  EXPECT_FALSE(form.ComPort->PromptForPort());
  EXPECT_EQ(form.ComPort->TapiMode(), "tmOff");
  EXPECT_EQ(form.SaveIt1->MinimumReservedSpaceForMonitorParameters(), 500);
  EXPECT_EQ(form.ServerSocketABL->Port(), 14000);
  EXPECT_EQ(form.ClientSocket1->Port(), 14001);
}

TEST_F(WindowTest, StartingWithoutAnySettings) {
  // No keys at all: the data root is the working folder.
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(::chdir(folder_.path().c_str()), 0);
  std::filesystem::create_directories(folder_.path() + "/DATA");
  TForm1& form = Start();
  EXPECT_EQ(form.Core().Paths().root, "");
  EXPECT_EQ(form.Core().Paths().log_file, "DATA/ABL 625 Logfile.txt");
  EXPECT_EQ(form.ClientSocketPort, 14001);
  EXPECT_EQ(form.ABLSocketPort, 14000);
  EXPECT_FALSE(form.cbAutoCreate->Checked());
  EXPECT_FALSE(form.cbParameterGrouping->Checked());
  EXPECT_FALSE(form.cbPatientIDReductionUseFirstTen->Checked());
  EXPECT_FALSE(form.CheckForDSR);
  EXPECT_EQ(form.Core().Options().translations.arterial, "");
  EXPECT_TRUE(form.cbAutoStart->Checked());
  EXPECT_EQ(form.DataSource(), TDataSource{});
  EXPECT_EQ(form.Caption(), "ABL Data Input Module (Ver. " QOR_EXPECTED_VERSION ")");
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL Unknown");
  ASSERT_EQ(form.Memo4->Count(), 1);
  EXPECT_THAT(form.Memo4->Lines()[0], HasSubstr(": New logfile"));
  EXPECT_TRUE(form.Core().Automation().AutomationOK());
  // AutoStart was turned on with no source: DoStart only.
  int do_start = -1;
  EXPECT_TRUE(RegistryValue(kAutostartKey, "DoStart", nullptr, &do_start));
  EXPECT_EQ(do_start, 1);
  EXPECT_FALSE(RegistryValue(kAutostartKey, "", nullptr));
  form_.reset();
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
}

TEST_F(WindowTest, StartingWithEverySetting) {
  Store(
      "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External "
      "Collect\\1.0\\ABL]\n"
      "\"ClientSocketPort\"=dword:00003a9b\n"
      "\"ABLSocketPort\"=dword:00003a9a\n"
      "\"AutoCreate\"=dword:00000001\n"
      "\"ParameterGrouping\"=dword:00000001\n"
      "\"UseFirstTen\"=dword:00000001\n"
      "\"CheckForDSR\"=\"text, not a number\"\n"
      "\"ArterialTranslation\"=\"Artery\"\n");
  TForm1& form = Start();
  EXPECT_EQ(form.ClientSocketPort, 15003);
  EXPECT_EQ(form.ABLSocketPort, 15002);
  EXPECT_TRUE(form.cbAutoCreate->Checked());
  EXPECT_TRUE(form.Core().Options().auto_create);
  EXPECT_TRUE(form.Core().Options().grouping);
  EXPECT_TRUE(form.Core().Options().use_first_ten);
  // A value of the wrong type counts as missing, and the start-up goes on.
  EXPECT_TRUE(form.CheckForDSR);
  EXPECT_EQ(form.Core().Options().translations.arterial, "Artery");
  EXPECT_EQ(form.Core().Options().translations.venous, "Venous");
  EXPECT_TRUE(form.Core().Automation().AutomationOK());
}

TEST_F(WindowTest, ACheckBoxWritesItsSetting) {
  Store();
  TForm1& form = Start();
  form.cbParameterGrouping->SetChecked(true);
  int value = -1;
  EXPECT_TRUE(RegistryValue(kSettingsKey, "ParameterGrouping", nullptr, &value));
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(form.Core().Options().grouping);
  form.cbParameterGrouping->SetChecked(false);
  EXPECT_TRUE(RegistryValue(kSettingsKey, "ParameterGrouping", nullptr, &value));
  EXPECT_EQ(value, 0);
}

TEST_F(WindowTest, ASerialPortFromTheCommandLine) {
  Store();
  TForm1& form = Start("com12");
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kSerial, 12, ""}));
  EXPECT_THAT(port_.opened, ElementsAre(12));
  EXPECT_EQ(form.ComSel->ItemIndex(), 12);
  EXPECT_FALSE(form.ComSel->Visible());
  EXPECT_TRUE(form.btnComSel->Visible());
  std::string value;
  EXPECT_TRUE(RegistryValue(kAutostartKey, "", &value));
  EXPECT_EQ(value, platform::ProgramPath() + "|COM12");
}

TEST_F(WindowTest, APortAbove16KeepsItsNumberApartFromTheList) {
  Store(std::string("[HKEY_CURRENT_USER\\") + kAutostartKey +
        "]\n@=\"/opt/COM1/gasbridge|COM20\"\n");
  TForm1& form = Start();
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kSerial, 20, ""}));
  EXPECT_THAT(port_.opened, ElementsAre(20));
  ASSERT_EQ(form.ComSel->Items().size(), 20u);
  EXPECT_EQ(form.ComSel->Items()[19], "COM20");
  EXPECT_EQ(form.ComSel->ItemIndex(), 19);
  // Picking it again from the list opens COM20, not entry 19's "COM19".
  form.ComSel->SetItemIndex(19);
  form.ComSelChange();
  EXPECT_THAT(port_.opened, ElementsAre(20, 20));
}

TEST_F(WindowTest, AFaultyParameterIsShown) {
  Store();
  TForm1& form = Start("COMX");
  EXPECT_EQ(form.lblError->Caption(), "Faulty parameter - COMX");
  EXPECT_EQ(form.DataSource(), TDataSource{});
}

TEST_F(WindowTest, APortThatCannotBeOpenedFallsBackToDisabledAndSaysSo) {
  Store();
  port_.missing = {3};
  TForm1& form = Start();
  form.btnComSelClick();
  form.ComSel->SetItemIndex(3);
  form.ComSelChange();
  EXPECT_EQ(form.DataSource(), TDataSource{});
  EXPECT_EQ(form.ComSel->ItemIndex(), 0);
  EXPECT_TRUE(form.ComSel->Visible());
  EXPECT_EQ(form.lblError->Caption(), "COM3 could not be opened: Port COM3 does not exist");
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("COM3 could not be opened"));
}

TEST_F(WindowTest, ChoosingAPortWithAutoStartWritesTheEntryAndUncheckingStopsIt) {
  Store(
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Gasbridge\"=\"old\"\n");
  TForm1& form = Start();
  form.ComSel->SetItemIndex(3);
  form.ComSelChange();
  std::string value;
  int do_start = -1;
  EXPECT_TRUE(RegistryValue(kAutostartKey, "", &value));
  EXPECT_EQ(value, platform::ProgramPath() + "|COM3");
  EXPECT_TRUE(RegistryValue(kAutostartKey, "DoStart", nullptr, &do_start));
  EXPECT_EQ(do_start, 1);
  form.cbAutoStart->SetChecked(false);
  EXPECT_TRUE(RegistryValue(kAutostartKey, "DoStart", nullptr, &do_start));
  EXPECT_EQ(do_start, 0);
  EXPECT_FALSE(RegistryValue(kRunKey, "Gasbridge", nullptr));
}

TEST_F(WindowTest, ChangingTheSourceClosesThePortAndDropsAHalfMessage) {
  Store();
  TForm1& form = Start("COM2");
  const std::string body = "1H|\\^&\r\x17";
  port_.Deliver("\x05\x02" + body + Checksum(body) + "\r\n");  // ENQ and a first frame
  form.ComSel->SetItemIndex(0);
  form.ComSelChange();
  EXPECT_FALSE(port_.open);
  EXPECT_EQ(form.lblError->Caption(), "Message dropped: the data source changed before its end");
}

TEST_F(WindowTest, AMessageOverTheSerialLineIsAcknowledgedAndFiled) {
  std::filesystem::create_directories(root_ + "DATA/12345678.$90");
  const std::vector<uint8_t> patient = BuildPatientFile("123456-7890", "John", "Doe");
  std::ofstream(root_ + "DATA/12345678.$90/PATIENT", std::ios::binary)
      .write(reinterpret_cast<const char*>(patient.data()), 271);
  Store();
  TForm1& form = Start("COM1");
  const auto frame = [](const std::string& record, char end) {
    const std::string body = record + "\r" + end;
    return "\x02" + body + Checksum(body) + "\r\n";
  };
  port_.Deliver("\x05");
  port_.Deliver(frame("1H|\\^&|||ABL SYSTEM 625^", '\x17'));
  port_.Deliver(frame("2P|1||1234567890||Doe^John", '\x17'));
  port_.Deliver(frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17'));
  port_.Deliver(frame("4R|1|^^^pO2^M|12.02|kPa||||F|||20010119155012", '\x17') +
                frame("5L|1|N", '\x03') + "\x04");
  EXPECT_EQ(port_.sent, std::string(6, '\x06'));
  ASSERT_TRUE(RunUntil([&] { return !save_->files.empty(); }));
  const TFakeFile& file = save_->files.begin()->second;
  ASSERT_EQ(file.points.size(), 1u);
  EXPECT_EQ(file.points[0].value, 12.02);
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL SYSTEM 625");
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("Transferring Doe (123456-7890) to Wardvorta"));
  EXPECT_THAT(auto_object_.calls,
              ElementsAre(StartsWith("AddValue(123456-7890,Arterial pO2,kPa"), "TransferDone()"));
}

TEST_F(WindowTest, ALowDataSetReadyLineShowsTheWindowAndBlinks) {
  Store(std::string("[HKEY_CURRENT_USER") + kSettingsKey + "]\n");
  platform::qt::FakeTimerClock& timers = timers_.emplace().clock();
  TForm1& form = Start("COM1");
  ASSERT_TRUE(form.CheckForDSR);
  form.hide();
  port_.dsr = false;
  timers.Advance(500);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.lblDisconnected->Visible());
  timers.Advance(500);
  EXPECT_FALSE(form.lblDisconnected->Visible());
  timers.Advance(500);
  EXPECT_TRUE(form.lblDisconnected->Visible());
  port_.dsr = true;
  timers.Advance(500);
  EXPECT_FALSE(form.lblDisconnected->Visible());
}

TEST_F(WindowTest, ClosingAnsweredNoKeepsCollectingYesEndsTheProgram) {
  Store();
  TForm1& form = Start();
  int ended = 0;
  form.OnMainWindowClosed = [&] { ++ended; };
  form.show();
  dialogs_->AnswerMessage(platform::mrNo);
  form.BitBtn1Click();
  ASSERT_TRUE(RunUntil([&] { return !form.isVisible() || form.isMinimized(); }));
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(form.Timer1->Enabled());
  ASSERT_EQ(dialogs_->questions().size(), 1u);
  EXPECT_EQ(dialogs_->questions()[0].text,
            "Do You really want to close\rN.B. No more ABL data will be collected!");
  dialogs_->AnswerMessage(platform::mrYes);
  form.BitBtn1Click();
  ASSERT_TRUE(RunUntil([&] { return ended == 1; }));
  EXPECT_FALSE(form.Timer1->Enabled());
}

TEST_F(WindowTest, TheEndOfTheSessionPermitsClosing) {
  Store();
  TForm1& form = Start();
  form.WMEndSession();
  EXPECT_TRUE(form.MayClose());
}

TEST_F(WindowTest, ClearingTheLogAsksFirst) {
  Store();
  TForm1& form = Start();
  form.Core().AddLogEntry("an entry");
  dialogs_->AnswerMessage(platform::mrNo);
  form.Button3Click();
  EXPECT_EQ(form.Memo4->Count(), 2);
  dialogs_->AnswerMessage(platform::mrYes);
  form.Button3Click();
  ASSERT_EQ(form.Memo4->Count(), 1);
  EXPECT_THAT(form.Memo4->Lines()[0], HasSubstr(": New logfile"));
  EXPECT_EQ(dialogs_->questions()[0].text, "Really want to clear logfile");
  EXPECT_EQ(dialogs_->questions()[0].buttons, platform::mb::kYesNoCancel);
}

TEST_F(WindowTest, WithoutTheAutomationObjectTheProgramEnds) {
  Store();
  automation_works_ = false;
  TForm1& form = Start();
  ASSERT_EQ(dialogs_->questions().size(), 1u);
  EXPECT_EQ(dialogs_->questions()[0].text, "Unable to start. Please contact QOR/Fluvantronics AB");
  EXPECT_FALSE(form.Core().Automation().AutomationOK());
  EXPECT_EQ(terminations_, 1);
}

TEST_F(WindowTest, ARelayPortInUseIsReportedAndTheStartGoesOn) {
  Store();
  QTcpServer holder;
  ASSERT_TRUE(holder.listen(QHostAddress::AnyIPv4, 0));
  relay_port_ = holder.serverPort();
  TForm1& form = Start("COM4");
  EXPECT_THAT(form.lblError->Caption(), HasSubstr("Socket error"));
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("Socket error"));
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kSerial, 4, ""}));
  EXPECT_TRUE(form.Core().Automation().AutomationOK());
}

TEST_F(WindowTest, TheLifetickGoesOutAfterAMinuteOfSilence) {
  Store();
  platform::qt::FakeTimerClock& timers = timers_.emplace().clock();
  TForm1& form = Start();
  timers.Advance(500);  // the first tick: due at once
  const int64_t first = form.LastRelaySend;
  EXPECT_EQ(first, clock_ms_);
  clock_ms_ += 60000;
  timers.Advance(500);
  EXPECT_EQ(form.LastRelaySend, first);
  clock_ms_ += 1;
  timers.Advance(500);
  EXPECT_EQ(form.LastRelaySend, clock_ms_);
}

// ---- The serial line: the serial library's port on a pseudo-terminal ----

class SerialWindowTest : public WindowTest {
 protected:
  SerialWindowTest() : line_(ports_.Add(1)) {
    real_port_ = true;
    MakePatient("12345678.$90", "Doe");
  }

  void MakePatient(const std::string& folder_name, const std::string& last_name) {
    const std::string folder = root_ + "DATA/" + folder_name;
    std::filesystem::create_directories(folder);
    const std::vector<uint8_t> bytes = BuildPatientFile("123456-7890", "John", last_name);
    std::ofstream(folder + "/Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 271);
  }

  static std::string Frame(const std::string& record, char end, const char* checksum = nullptr) {
    const std::string body = record + "\r" + end;
    return "\x02" + body + (checksum ? std::string(checksum) : Checksum(body)) + "\r\n";
  }

  // Writes Bytes on the analyzer's side and waits until Count more reply bytes came
  // back; returns them.
  std::string Exchange(const std::string& bytes, size_t count) {
    line_.Write(bytes);
    std::string replies;
    EXPECT_TRUE(RunUntil([&] {
      pollfd p{line_.master(), POLLIN, 0};
      while (replies.size() < count && ::poll(&p, 1, 0) > 0) {
        char c;
        if (::read(line_.master(), &c, 1) != 1) break;
        replies += c;
      }
      return replies.size() >= count;
    })) << "replies so far: "
        << replies.size();
    return replies;
  }

  const TFakeFile* FileOf(const std::string& folder_name, const std::string& save_name = "ABL") {
    const auto it = save_->files.find(root_ + "DATA/" + folder_name + "/" + save_name + ".vor");
    return it == save_->files.end() ? nullptr : &it->second;
  }

  platform_test::ComPorts ports_;
  platform_test::Pty& line_;
};

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');

TEST_F(SerialWindowTest, FramesAreAnsweredAckOrNakAndTheMessageFiledOnce) {
  Store();
  Start("COM1");
  ASSERT_TRUE(port_.opened.empty());  // the real port, not the script
  EXPECT_EQ(Exchange("\x05", 1), kAck);
  EXPECT_EQ(Exchange(Frame("1H|\\^&|||ABL SYSTEM 625^", '\x17'), 1), kAck);
  // A bad checksum, and one in lower case, draw NAK; the frame comes again.
  EXPECT_EQ(Exchange(Frame("2P|1||1234567890||Doe^John", '\x17', "00"), 1), kNak);
  const std::string patient = Frame("2P|1||1234567890||Doe^John", '\x17');
  EXPECT_EQ(Exchange(patient, 1), kAck);
  // Our ACK was lost: the same frame again is acknowledged and stored once.
  EXPECT_EQ(Exchange(patient, 1), kAck);
  // NUL bytes and junk before STX change nothing.
  EXPECT_EQ(Exchange(std::string("\0junk", 5) +
                         Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17'),
                     1),
            kAck);
  const std::string result = Frame("4R|1|^^^pO2^M|12.02|kPa||||F|||20010119155012", '\x17');
  // Its checksum is "F6": written "f6" it draws NAK.
  std::string lower = result;
  lower.replace(lower.size() - 4, 2, "f6");
  ASSERT_NE(lower, result);
  EXPECT_EQ(Exchange(lower, 1), kNak);
  EXPECT_EQ(Exchange(result, 1), kAck);
  EXPECT_EQ(Exchange(Frame("5L|1|N", '\x03'), 1), kAck);
  line_.Write("\x04");
  ASSERT_TRUE(RunUntil([&] {
    return FileOf("12345678.$90") && !auto_object_.calls.empty() &&
           auto_object_.calls.back() == "TransferDone()";
  }));
  const TFakeFile& file = *FileOf("12345678.$90");
  ASSERT_EQ(file.points.size(), 1u);
  EXPECT_EQ(file.points[0].value, 12.02);
  EXPECT_EQ(file.definitions.size(), 1u);
  EXPECT_EQ(auto_object_.calls.size(), 2u);
}

TEST_F(SerialWindowTest, AnEotAndTheNextEnqTogetherLoseNothing) {
  Store();
  TForm1& form = Start("COM1");
  const std::string message_a = Frame("1H|\\^&", '\x17') +
                                Frame("2P|1||1234567890||Doe^John", '\x17') +
                                Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17') +
                                Frame("4R|1|^^^pO2^M|1|kPa", '\x17') + Frame("5L|1|N", '\x03');
  const std::string message_b = Frame("1H|\\^&", '\x17') +
                                Frame("2P|1||1234567890||Doe^John", '\x17') +
                                Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17') +
                                Frame("4R|1|^^^pO2^M|2|kPa", '\x17') + Frame("5L|1|N", '\x03');
  // Both messages in one write, each frame answered in the order it came.
  EXPECT_EQ(Exchange("\x05" + message_a + "\x04\x05" + message_b + "\x04", 12),
            std::string(12, '\x06'));
  ASSERT_TRUE(RunUntil(
      [&] { return FileOf("12345678.$90") && FileOf("12345678.$90")->points.size() == 2; }));
  EXPECT_EQ(FileOf("12345678.$90")->points[0].value, 1);
  EXPECT_EQ(FileOf("12345678.$90")->points[1].value, 2);
  EXPECT_EQ(form.Core().QueuedMessages(), 0u);
}

TEST_F(SerialWindowTest, AnalyzerThatStartsOverDropsTheHalfMessage) {
  Store();
  TForm1& form = Start("COM1");
  // The line goes quiet half-way; the analyzer starts over from ENQ.
  EXPECT_EQ(
      Exchange("\x05" + Frame("1H|\\^&", '\x17') + Frame("2P|1||1234567890||Doe^John", '\x17') +
                   Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17') +
                   Frame("4R|1|^^^pO2^M|1|kPa", '\x17'),
               5),
      std::string(5, '\x06'));
  EXPECT_EQ(
      Exchange("\x05" + Frame("1H|\\^&", '\x17') + Frame("2P|1||1234567890||Doe^John", '\x17') +
                   Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17') +
                   Frame("4R|1|^^^pO2^M|1|kPa", '\x17') + Frame("5L|1|N", '\x03') + "\x04",
               6),
      std::string(6, '\x06'));
  ASSERT_TRUE(RunUntil([&] { return FileOf("12345678.$90") != nullptr; }));
  RunUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(FileOf("12345678.$90")->points.size(), 1u);
  EXPECT_THAT(form.Memo4->Lines(),
              testing::Contains(HasSubstr("the analyzer started it again before its end")));
}

TEST_F(SerialWindowTest, TheAbl80CaptureIsFiledEndToEnd) {
  // The capture has no ENQ or EOT: the analyzer's framing around it is added here.
  std::ifstream in(QOR_COLLECTOR_TESTDATA_DIR "/02_abl80basic_capture_frames.astm",
                   std::ios::binary);
  const std::string capture((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(capture.empty());
  const size_t frames = static_cast<size_t>(std::count(capture.begin(), capture.end(), '\x02'));
  ASSERT_EQ(frames, 37u);
  MakePatient("20000712.$", "anon");
  RegisterDataModel();
  real_save_ = true;
  Store();
  TForm1& form = Start("COM1");
  EXPECT_EQ(Exchange("\x05" + capture + "\x04", frames + 1), std::string(frames + 1, '\x06'));
  ASSERT_TRUE(RunUntil([&] {
    return !auto_object_.calls.empty() && auto_object_.calls.back() == "TransferDone()";
  }));
  const collector_test::TReadFile file =
      collector_test::ReadBack(root_ + "DATA/20000712.$/ABL.vor");
  EXPECT_EQ(file.monitor_name, "Radiometer ABLxxx");
  EXPECT_EQ(file.patient_id, "200007-12");
  EXPECT_EQ(file.patient_name, "anon");
  // The four measured values, at the first result's time; "....." means not
  // measured and is not filed.
  const platform::DateTime time =
      platform::EncodeDate(2023, 12, 12) + platform::EncodeTime(11, 17, 0, 0);
  const std::pair<const char*, double> expected[] = {
      {"Arterial Na+", 132}, {"Arterial K+", 3.60}, {"Arterial Ca++", 1.17}, {"Arterial Cl-", 89}};
  ASSERT_EQ(file.series.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(file.series[i].index, static_cast<int16_t>(i));
    EXPECT_EQ(file.series[i].name, expected[i].first);
    EXPECT_EQ(file.series[i].unit, "mmol/L");
    EXPECT_EQ(file.series[i].points,
              (std::vector<std::pair<double, double>>{{time, expected[i].second}}));
  }
  EXPECT_EQ(auto_object_.calls.size(), 5u);
  EXPECT_EQ(form.lblABLIdentification->Caption(), "ABL80 BASIC - 319053");
  EXPECT_THAT(form.Memo4->Lines().back(),
              HasSubstr("Not a number, not filed for anon (200007-12): Arterial pH \".....\"; "
                        "Arterial pH(T) \".....\""));
  EXPECT_EQ(form.lblError->Caption(), "");
}

}  // namespace
