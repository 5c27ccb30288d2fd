// The main window's serial-port and save components as its form resource places
// them ("object ComPort: TSerComPort", "object SaveIt1: TSaveItNew"): components
// with the published properties the window's resource sets, over the devices that
// do the work, so that the window can be tested with a scripted port and an
// in-memory save file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "collector/Unit1SaveFile.h"
#include "platform/qt/component.h"

// The serial port as the collector uses it.
class TAnalyzerPort {
 public:
  struct TLineSettings {
    int32_t baud = 9600;
    uint16_t data_bits = 8;
    uint16_t stop_bits = 1;
    bool parity = false;
    uint16_t buffer_full = 3072;
    uint16_t buffer_resume = 1024;
    bool prompt_for_port = false;
  };

  virtual ~TAnalyzerPort() = default;
  virtual void Configure(const TLineSettings& settings) = 0;
  virtual int ComNumber() const = 0;
  virtual void SetComNumber(int number) = 0;
  virtual bool Open() const = 0;
  // Opens or closes the port; raises when it cannot be opened.
  virtual void SetOpen(bool open) = 0;
  // One received byte (the event said how many are there).
  virtual char GetChar() = 0;
  // Queues the bytes for sending; raises when they cannot be queued.
  virtual void PutString(const std::string& bytes) = 0;
  // The data-set-ready line; false while the port is closed.
  virtual bool GetDSR() = 0;

  // Received bytes are available: Count of them.
  std::function<void(uint16_t count)> OnTriggerAvail;
};

// Makes the window's port; the program's is the serial library's.
using TAnalyzerPortFactory = std::function<std::unique_ptr<TAnalyzerPort>()>;

// The serial library's port component (TSerComPort) as the collector's port.
std::unique_ptr<TAnalyzerPort> MakeSerialPort();

using TComPortAvailEvent =
    std::function<void(platform::qt::TComponentBase* sender, uint16_t count)>;

class TComPortComponent : public platform::qt::TComponentBase {
 public:
  TComPortComponent(platform::qt::TForm* owner, std::string name,
                    std::unique_ptr<TAnalyzerPort> port);
  ~TComPortComponent() override;

  std::string FormClassName() const override { return "TSerComPort"; }
  void DefineProperties(platform::PropertyList& list) override;
  void Loaded() override;

  TAnalyzerPort& Port() { return *port_; }
  const TAnalyzerPort::TLineSettings& Settings() const { return settings_; }
  bool PromptForPort() const { return settings_.prompt_for_port; }
  const std::string& TapiMode() const { return tapi_mode_; }
  TComPortAvailEvent OnTriggerAvail;

 private:
  std::unique_ptr<TAnalyzerPort> port_;
  TAnalyzerPort::TLineSettings settings_{9600, 8, 1, false, 0, 0, true};
  std::string tapi_mode_ = "tmAuto";
};

// Makes the window's save file; the program's is the save component.
using TSaveFileFactory = std::function<std::unique_ptr<TSaveFileAccess>()>;

class TSaveItComponent : public platform::qt::TComponentBase {
 public:
  TSaveItComponent(platform::qt::TForm* owner, std::string name,
                   std::unique_ptr<TSaveFileAccess> save);
  ~TSaveItComponent() override;

  std::string FormClassName() const override { return "TSaveItNew"; }
  void DefineProperties(platform::PropertyList& list) override;

  TSaveFileAccess& SaveFile() { return *save_; }
  int32_t MinimumReservedSpaceForMonitorParameters() const { return reserved_space_; }
  bool IsReadOnly() const { return read_only_; }

 private:
  std::unique_ptr<TSaveFileAccess> save_;
  int32_t reserved_space_ = 500;
  bool read_only_ = false;
};
