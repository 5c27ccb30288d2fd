#include "serial/component/SerPortComponent.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/qt/event_loop.h"
#include "platform/qt/forms.h"

namespace {

// A port that records what the component does with it.
struct Script {
  std::vector<std::string> calls;
  TSerPortSettings settings;
  int com_number = 0;
  bool open = false;
  bool refuse_open = false;
};

class ScriptedPort : public TSerPortDevice {
 public:
  explicit ScriptedPort(Script& script) : script_(script) {}
  void Configure(const TSerPortSettings& settings) override {
    script_.calls.push_back("Configure");
    script_.settings = settings;
  }
  int ComNumber() const override { return script_.com_number; }
  void SetComNumber(int number) override {
    script_.calls.push_back("SetComNumber " + std::to_string(number));
    script_.com_number = number;
  }
  bool Open() const override { return script_.open; }
  void SetOpen(bool open) override {
    script_.calls.push_back(open ? "SetOpen true" : "SetOpen false");
    if (open && script_.refuse_open) throw Exception("The port COM7 does not exist");
    script_.open = open;
  }
  char GetChar() override { return 'x'; }
  void PutString(const std::string&) override {}
  bool GetDSR() override { return script_.open; }
  size_t OutputPending() override { return 0; }

 private:
  Script& script_;
};

// A window whose code places its port with a scripted device, as Gasbridge's does.
class PortWindow : public platform::qt::TForm {
 public:
  explicit PortWindow(Script& script) : TForm("TPortWindow") {
    Adopt(std::make_unique<TSerPortComponent>(this, "ComPort",
                                              std::make_unique<ScriptedPort>(script)));
    RegisterMethod("ComPortTriggerAvail",
                   TSerPortAvailEvent([this](platform::qt::TComponentBase* sender, uint16_t count) {
                     senders.push_back(sender);
                     counts.push_back(count);
                     if (count == 0) throw Exception("nothing to read");
                   }));
  }
  void Read(const std::string& text) { platform::TReader(text).ReadRootComponent(*this); }
  TSerPortComponent& Port() { return *Required<TSerPortComponent>("ComPort"); }

  std::vector<platform::qt::TComponentBase*> senders;
  std::vector<uint16_t> counts;
};

// Collects what reaches the exception hook while it lives.
struct HookedErrors {
  HookedErrors() {
    platform::SetExceptionHook([this](const std::exception& e) { messages.push_back(e.what()); });
  }
  ~HookedErrors() { platform::SetExceptionHook(nullptr); }
  std::vector<std::string> messages;
};

TEST(SerPortComponentTest, TheResourcesSettingsReachThePortWhenItHasBeenRead) {
  Script script;
  PortWindow window(script);
  window.Read(
      "object PortWindow: TPortWindow\n"
      "  object ComPort: TSerComPort\n"
      "    Open = True\n"  // before the port number in the text; applied after it
      "    Baud = 9600\n"
      "    ComNumber = 7\n"
      "    Parity = PEVEN\n"
      "    PromptForPort = False\n"
      "    BufferFull = 3072\n"
      "    BufferResume = 1024\n"
      "    TraceName = 'SER.TRC'\n"
      "    LogName = 'SER.LOG'\n"
      "    TapiMode = tmOff\n"
      "    Left = 16\n"
      "    Top = 480\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(script.calls,
            (std::vector<std::string>{"Configure", "SetComNumber 7", "SetOpen true"}));
  const TSerPortSettings& s = script.settings;
  EXPECT_EQ(s.baud, 9600);
  EXPECT_EQ(s.parity, pEven);
  EXPECT_FALSE(s.prompt_for_port);
  EXPECT_EQ(s.buffer_full, 3072);
  EXPECT_EQ(s.buffer_resume, 1024);
  EXPECT_EQ(s.tapi_mode, tmOff);
  EXPECT_EQ(s.trace_name, "SER.TRC");
  EXPECT_EQ(s.log_name, "SER.LOG");
  // What the resource leaves out keeps the port's defaults.
  EXPECT_EQ(s.data_bits, 8);
  EXPECT_EQ(s.stop_bits, 1);
  EXPECT_EQ(s.in_size, 4096);
  EXPECT_EQ(window.Port().Settings().baud, 9600);
  EXPECT_TRUE(window.Port().Port().Open());
}

TEST(SerPortComponentTest, WithoutNumberOrOpenThePortIsOnlyConfigured) {
  Script script;
  PortWindow window(script);
  window.Read("object PortWindow: TPortWindow\n  object ComPort: TSerComPort\n  end\nend\n");
  EXPECT_EQ(script.calls, (std::vector<std::string>{"Configure"}));
  EXPECT_EQ(script.settings.baud, 19200);
  EXPECT_TRUE(script.settings.prompt_for_port);
  EXPECT_EQ(script.settings.tapi_mode, tmAuto);
}

TEST(SerPortComponentTest, AFailedOpenGoesToTheExceptionHook) {
  Script script;
  script.refuse_open = true;
  HookedErrors errors;
  PortWindow window(script);
  window.Read(
      "object PortWindow: TPortWindow\n"
      "  object ComPort: TSerComPort\n"
      "    ComNumber = 7\n"
      "    Open = True\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(errors.messages, (std::vector<std::string>{"The port COM7 does not exist"}));
  EXPECT_FALSE(window.Port().Port().Open());
}

TEST(SerPortComponentTest, ValuesThatDoNotFitAreRefused) {
  for (const char* property :
       {"Parity = pBogus", "TapiMode = 3", "DataBits = -1", "InSize = 65536", "Baud = 'fast'"}) {
    SCOPED_TRACE(property);
    Script script;
    PortWindow window(script);
    try {
      window.Read(
          std::string("object PortWindow: TPortWindow\n  object ComPort: TSerComPort\n    ") +
          property + "\n  end\nend\n");
      ADD_FAILURE();
    } catch (const EReadError& error) {
      EXPECT_EQ(error.Message(), "Invalid property value");
    }
    EXPECT_TRUE(script.calls.empty());  // never Loaded
  }
}

TEST(SerPortComponentTest, ReceivedBytesReachTheBoundMethodThroughTheHook) {
  Script script;
  HookedErrors errors;
  PortWindow window(script);
  window.Read(
      "object PortWindow: TPortWindow\n"
      "  object ComPort: TSerComPort\n"
      "    OnTriggerAvail = ComPortTriggerAvail\n"
      "  end\n"
      "end\n");
  TSerPortComponent& component = window.Port();
  component.Port().OnTriggerAvail(3);
  component.Port().OnTriggerAvail(0);  // the handler raises
  EXPECT_EQ(window.counts, (std::vector<uint16_t>{3, 0}));
  EXPECT_EQ(window.senders, (std::vector<platform::qt::TComponentBase*>{&component, &component}));
  EXPECT_EQ(errors.messages, (std::vector<std::string>{"nothing to read"}));
}

TEST(SerPortComponentTest, AWindowThatDoesNotPlaceItsPortGetsTheSerialLibrarysPort) {
  RegisterSerPortComponent();
  RegisterSerPortComponent();  // once is enough; again changes nothing
  platform::qt::TForm window("TPlainWindow");
  platform::TReader(
      "object PlainWindow: TPlainWindow\n"
      "  object ComPort: TSerComPort\n"
      "    Baud = 9600\n"
      "    PromptForPort = False\n"
      "  end\n"
      "end\n")
      .ReadRootComponent(window);
  TSerPortComponent* component = window.Required<TSerPortComponent>("ComPort");
  EXPECT_EQ(component->Settings().baud, 9600);
  TSerPortDevice& port = component->Port();
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.GetDSR());
  EXPECT_EQ(port.OutputPending(), 0u);
  // No port chosen and no prompt: the serial library's refusal.
  EXPECT_THROW(port.SetOpen(true), std::exception);
  EXPECT_FALSE(port.Open());
}

}  // namespace
