// The serial-port component TSerComPort as form resources place it on a window of
// either program:
//
//   object ComPort: TSerComPort
//     Baud = 9600
//     PromptForPort = False
//     BufferFull = 3072
//     BufferResume = 1024
//     TapiMode = tmOff
//     OnTriggerAvail = ComPortTriggerAvail
//   end
//
// The component keeps the published properties and hands them to the port behind
// it once the resource has been read (Loaded): the settings in one Configure, then
// the port number, then the open when Open was set (a failure to open goes to the
// exception hook, as a port opened from its resource has it). The window owns the
// component like any other.
//
// The port behind it is the serial library's TSerComPort (MakeSerComPortDevice), or
// whatever a test puts in its place: a window that makes the component itself
// (Adopt, before its resources are read) can hand it a scripted port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/qt/component.h"
#include "serial/SerPort.h"

// The line settings the resource gives; the defaults are TSerComPort's.
struct TSerPortSettings {
  int32_t baud = 19200;
  uint16_t data_bits = 8;
  uint16_t stop_bits = 1;
  TParity parity = pNone;
  bool prompt_for_port = true;
  uint16_t in_size = 4096;
  uint16_t out_size = 4096;
  uint16_t buffer_full = 0;
  uint16_t buffer_resume = 0;
  TTapiMode tapi_mode = tmAuto;
  std::string trace_name = "SERLIB.TRC";
  std::string log_name = "SERLIB.LOG";
};

// What a window does with its serial port.
class TSerPortDevice {
 public:
  virtual ~TSerPortDevice() = default;
  virtual void Configure(const TSerPortSettings& settings) = 0;
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
  // Whether the open port's device hung up; it stays so until the port is closed.
  virtual bool HungUp() { return false; }
  // Bytes queued that have not gone out on the line yet; 0 while the port is closed.
  virtual size_t OutputPending() = 0;

  // Received bytes are available: Count of them. Runs on the user-interface thread.
  std::function<void(uint16_t count)> OnTriggerAvail;
};

// The serial library's port (TSerComPort) behind a component.
std::unique_ptr<TSerPortDevice> MakeSerComPortDevice();

using TSerPortAvailEvent =
    std::function<void(platform::qt::TComponentBase* sender, uint16_t count)>;

class TSerPortComponent : public platform::qt::TComponentBase {
 public:
  TSerPortComponent(platform::qt::TForm* owner, std::string name,
                    std::unique_ptr<TSerPortDevice> port = MakeSerComPortDevice());
  ~TSerPortComponent() override;

  std::string FormClassName() const override { return "TSerComPort"; }
  void DefineProperties(platform::PropertyList& list) override;
  void Loaded() override;

  TSerPortDevice& Port() { return *port_; }
  const TSerPortSettings& Settings() const { return settings_; }
  // Runs through the exception hook.
  TSerPortAvailEvent OnTriggerAvail;

 private:
  std::unique_ptr<TSerPortDevice> port_;
  TSerPortSettings settings_;
  std::optional<uint16_t> com_number_;
  bool open_ = false;
};

// Makes "TSerComPort" known to form resources, over the serial library's port, for
// windows that do not make the component themselves (idempotent).
void RegisterSerPortComponent();
