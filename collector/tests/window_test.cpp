// Gasbridge's main window, offscreen: its resource, the start-up with and without
// settings, the data source, the serial receiver through a scripted port, the line
// watch, the transfer log's button and the closing rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTcpServer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collector/tests/window_fixture.h"
#include "platform/program.h"

namespace {

using collector_test::WindowTest;
using platform_test::RunUntil;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Kind = TDataSource::Kind;

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
  EXPECT_FALSE(port_.settings.prompt_for_port);
  EXPECT_EQ(port_.settings.tapi_mode, tmOff);
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

TEST_F(WindowTest, TheNetworkSourcesFromTheCommandLine) {
  // The analyzer server on a port the system chooses, not the fixed 14000.
  Store();
  analyzer_port_ = 0;
  {
    TForm1& form = Start("wardvorta-ward7.example");
    EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kRelay, 0, "-WARD7.EXAMPLE"}));
    EXPECT_EQ(form.RelayHost, "-WARD7.EXAMPLE");
    EXPECT_EQ(form.ComSel->ItemIndex(), 17);
    EXPECT_TRUE(port_.opened.empty());
  }
  form_.reset();
  TForm1& form = Start("ABL");
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kAnalyzerServer, 0, ""}));
  EXPECT_EQ(form.ComSel->ItemIndex(), 18);
  EXPECT_TRUE(form.ServerSocketABL->Active());
  // Choosing a serial port stops the analyzer server.
  form.ComSel->SetItemIndex(2);
  form.ComSelChange();
  EXPECT_FALSE(form.ServerSocketABL->Active());
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kSerial, 2, ""}));
}

// A setting of 0 would have the system pick a port no analyzer knows: it is
// refused as the ports outside the range are, with their error, and nothing listens.
TEST_F(WindowTest, AnAnalyzerPortSettingOfZeroIsRefusedAsOnesOutOfRangeAre) {
  const std::pair<const char*, const char*> settings[] = {
      {"ffffffff", "-1"}, {"00010000", "65536"}, {"00000000", "0"}};
  for (const auto& [dword, port] : settings) {
    SCOPED_TRACE(dword);
    form_.reset();
    Store(std::string("[HKEY_CURRENT_USER") + kSettingsKey + "]\n\"ABLSocketPort\"=dword:" + dword +
          "\n");
    TForm1& form = Start("ABL");
    EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kAnalyzerServer, 0, ""}));
    EXPECT_FALSE(form.ServerSocketABL->Active());
    EXPECT_EQ(
        form.lblError->Caption(),
        std::string("Socket error:  (5), on API 'bind', for ServerSocketABL on port ") + port);
    EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr(": " + form.lblError->Caption()));
  }
}

// The program's start refused a language module before any window existed: the
// window says so as soon as it can, in the error line and the transfer log.
TEST_F(WindowTest, ALanguageModuleRefusedAtTheStartIsShownAndLogged) {
  Store();
  refused_module_ = TModuleRefusal{"/opt/qor/gasbridge.SVE", "Class TBogusClass not found"};
  TForm1& form = Start("COM4");
  const std::string text =
      "Language module not used: /opt/qor/gasbridge.SVE (Class TBogusClass not found)";
  EXPECT_EQ(form.lblError->Caption(), text);
  EXPECT_EQ(form.lblError->GetColor(), kErrorRed);
  EXPECT_THAT(form.Memo4->Lines(), ::testing::Contains(HasSubstr(": " + text)));
  EXPECT_EQ(form.DataSource(), (TDataSource{Kind::kSerial, 4, ""}));
}

// The trial a language module gets: the program's windows are made from the
// resources in use and dropped, with nothing of a start done (no setting written, no
// port taken) and no window left; a form that cannot be read raises its error.
TEST_F(WindowTest, TheWindowsOnTrialAreReadAndDroppedWithNothingElseDone) {
  Store();
  const size_t windows = platform::ScreenForms().size();
  EXPECT_NO_THROW(TryCollectorWindows());
  EXPECT_EQ(platform::ScreenForms().size(), windows);
  EXPECT_FALSE(RegistryValue(kAutostartKey, "DoStart", nullptr));

  class Module : public platform::ResourceModule {
   public:
    Module(std::string name, std::string form) : name_(std::move(name)), form_(std::move(form)) {}
    std::optional<std::string> FindString(std::string_view) const override { return std::nullopt; }
    std::optional<std::string> FindData(std::string_view name) const override {
      if (name == name_) return form_;
      return std::nullopt;
    }

   private:
    std::string name_;
    std::string form_;
  };
  const struct {
    const char* name;
    const char* form;
    const char* error;
  } cases[] = {
      {"TForm1", "object Form1: TForm1\n  Caption = 'ABL", "Unterminated string on line 2"},
      {"TForm1", "object Form1: TForm1\n  object Bogus1: TBogusClass\n  end\nend\n",
       "Class TBogusClass not found"},
      {"TForm1", "object Form1: TForm1\n  object Timer1: TTimer\n    Interval = -500\n  end\nend\n",
       "Invalid property value"},
      // Readable, but without what the window's code needs.
      {"TForm1", "object Form1: TForm1\nend\n", "Component Memo1 not found"},
      {"TfrmNewPatient", "object frmNewPatient: TfrmNewPatient\n  Caption = 12\nend\n",
       "Invalid property value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    platform::SetResourceModule(std::make_unique<Module>(c.name, c.form));
    try {
      TryCollectorWindows();
      ADD_FAILURE() << "the trial passed";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
    EXPECT_EQ(platform::ScreenForms().size(), windows);
  }
  platform::SetResourceModule(nullptr);
  EXPECT_FALSE(RegistryValue(kAutostartKey, "DoStart", nullptr));
}

TEST_F(WindowTest, AFaultyParameterIsShown) {
  Store();
  TForm1& form = Start("COMX");
  EXPECT_EQ(form.lblError->Caption(), "Faulty parameter - COMX");
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr(": Faulty parameter - COMX"));
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

TEST_F(WindowTest, AHungUpPortIsTriedAgainASecondAfterTheHangUpAndAfterEachFailedAttempt) {
  Store();
  platform::qt::FakeTimerClock& timers = timers_.emplace().clock();
  TForm1& form = Start("COM1");
  ASSERT_TRUE(port_.open);
  // Timer1 runs every 500 ms of the timers' clock; the window's own clock says how
  // long it has been.
  const auto tick_after = [&](int64_t ms) {
    clock_ms_ += ms;
    timers.Advance(500);
  };
  port_.hung_up = true;
  port_.missing = {1};  // the device is gone
  tick_after(0);
  EXPECT_FALSE(port_.open);
  const int requests = port_.open_requests;
  tick_after(999);
  EXPECT_EQ(port_.open_requests, requests);
  tick_after(1);
  EXPECT_EQ(port_.open_requests, requests + 1);
  EXPECT_FALSE(port_.open);
  port_.missing.clear();  // the device is back
  tick_after(999);
  EXPECT_EQ(port_.open_requests, requests + 1);
  tick_after(1);
  EXPECT_EQ(port_.open_requests, requests + 2);
  EXPECT_TRUE(port_.open);
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("COM1 is back and open again"));
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

TEST_F(WindowTest, TheLogViewShowsTheLastLineFromItsStartWithAVerticalBarOnly) {
  Store();
  TForm1& form = Start();
  auto* edit = qobject_cast<QPlainTextEdit*>(form.Memo4->Widget());
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  for (int i = 0; i < 50; ++i)
    form.Core().AddLogEntry("entry " + std::to_string(i));
  // A long last line ("Not a number" with a long text, say).
  form.Core().AddLogEntry("2024-03-01 10:00:00: " + std::string(900, 'x'));
  QCoreApplication::processEvents();
  EXPECT_EQ(edit->horizontalScrollBar()->value(), 0);
  EXPECT_GT(edit->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(edit->verticalScrollBar()->value(), edit->verticalScrollBar()->maximum());
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

}  // namespace
