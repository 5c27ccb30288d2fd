// Gasbridge's main window with the serial library's port on a pseudo-terminal:
// ACK and NAK, lost ACKs, NUL and junk, an EOT and the next ENQ together, restarts,
// and the ABL80 capture filed end to end into a monitor-data file read back with
// the save component.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "collector/tests/read_back.h"
#include "collector/tests/window_fixture.h"
#include "datamodel/DataModel.h"
#include "platform/tests/pty_pair.h"

namespace {

using collector_test::WindowTest;
using platform_test::RunUntil;
using ::testing::HasSubstr;

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
    return Exchange(line_, bytes, count);
  }
  static std::string Exchange(platform_test::Pty& line, const std::string& bytes, size_t count) {
    line.Write(bytes);
    std::string replies;
    EXPECT_TRUE(RunUntil([&] {
      pollfd p{line.master(), POLLIN, 0};
      while (replies.size() < count && ::poll(&p, 1, 0) > 0) {
        char c;
        if (::read(line.master(), &c, 1) != 1) break;
        replies += c;
      }
      return replies.size() >= count;
    })) << "replies so far: "
        << replies.size();
    return replies;
  }

  // ENQ and a message's first four frames (no L record, no EOT): five ACKs.
  static std::string HalfMessage() {
    return "\x05" + Frame("1H|\\^&", '\x17') + Frame("2P|1||1234567890||Doe^John", '\x17') +
           Frame("3O|1||S^1||||200101191500||||||||Blood^Arterial", '\x17') +
           Frame("4R|1|^^^pO2^M|1|kPa", '\x17');
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
  EXPECT_EQ(Exchange(HalfMessage(), 5), std::string(5, '\x06'));
  EXPECT_EQ(Exchange(HalfMessage() + Frame("5L|1|N", '\x03') + "\x04", 6), std::string(6, '\x06'));
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

TEST_F(SerialWindowTest, ALineThatDropsMidMessageFilesNothingOfIt) {
  Store();
  TForm1& form = Start("COM1");
  EXPECT_EQ(Exchange(HalfMessage(), 5), std::string(5, '\x06'));
  // The cable is pulled: the far end hangs up.
  line_.HangUp();
  RunUntil([] { return false; }, std::chrono::milliseconds(300));
  // Choosing the port again (or another source) drops what was half received.
  form.ComSel->SetItemIndex(1);
  form.ComSelChange();
  RunUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(FileOf("12345678.$90"), nullptr);
  EXPECT_TRUE(auto_object_.calls.empty());
  EXPECT_THAT(form.Memo4->Lines(),
              testing::Contains(HasSubstr("the data source changed before its end")));
}

TEST_F(SerialWindowTest, AHungUpLineIsReportedOnceAndOpenedAgainWhenTheDeviceIsBack) {
  Store();
  TForm1& form = Start("COM1");
  TSerPortDevice& port = form.ComPort->Port();
  EXPECT_EQ(Exchange("\x05", 1), kAck);
  line_.HangUp();  // the adapter is pulled out
  const auto hung_up = [&] {
    const std::vector<std::string> lines = form.Memo4->Lines();
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.find("COM1 hung up") != l.npos; });
  };
  // Timer1 every 500 ms: the hang-up is seen, then the port is tried once a second.
  form.Timer1Timer();
  EXPECT_EQ(hung_up(), 1);
  EXPECT_THAT(form.lblError->Caption(), HasSubstr("COM1 hung up"));
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.GetDSR());  // so "Disconnected" blinks where the line is watched
  for (int tick = 0; tick < 2; ++tick) {
    clock_ms_ += 500;
    form.Timer1Timer();  // the second one tries, and fails: the device is gone
  }
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(form.DataSource().port, 1);
  // The device is back, under a new name behind the same COM1.
  platform_test::Pty& back = ports_.Replace(1);
  clock_ms_ += 500;
  form.Timer1Timer();
  EXPECT_FALSE(port.Open()) << "tried again before a second had passed";
  clock_ms_ += 500;
  form.Timer1Timer();
  EXPECT_TRUE(port.Open());
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("COM1 is back and open again"));
  EXPECT_EQ(form.lblError->Caption(), "");
  EXPECT_EQ(hung_up(), 1);
  EXPECT_EQ(Exchange(back, "\x05", 1), kAck);
}

TEST_F(SerialWindowTest, AHungUpLineWhoseLinkWentIsOpenedAgainOnlyOnceTheLinkIsBack) {
  Store();
  ports_.KeepOutFallback(1);
  TForm1& form = Start("COM1");
  TSerPortDevice& port = form.ComPort->Port();
  EXPECT_EQ(Exchange("\x05", 1), kAck);
  // The cable goes, and its link with it, as a USB adapter's udev link goes.
  line_.HangUp();
  ports_.Unlink(1);
  form.Timer1Timer();
  ASSERT_FALSE(port.Open());
  for (int second = 1; second <= 12; ++second) {
    clock_ms_ += 1000;
    form.Timer1Timer();
    ASSERT_FALSE(port.Open()) << "opened " << second << " s after its link went";
  }
  EXPECT_THAT(form.Memo4->Lines(),
              testing::Not(testing::Contains(HasSubstr("is back and open again"))));
  EXPECT_THAT(form.lblError->Caption(), HasSubstr("COM1 hung up"));
  platform_test::Pty& back = ports_.Add(1);
  clock_ms_ += 1000;
  form.Timer1Timer();
  EXPECT_TRUE(port.Open());
  EXPECT_THAT(form.Memo4->Lines().back(), HasSubstr("COM1 is back and open again"));
  EXPECT_EQ(Exchange(back, "\x05", 1), kAck);
}

}  // namespace
