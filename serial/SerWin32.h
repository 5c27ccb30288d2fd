// TSerWin32Dispatcher: the device layer of the dispatcher, on the platform's comm
// layer (termios). The name is the system's; the device is a Linux serial device or
// pseudo-terminal reached through the com-port folder (platform/comm.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/comm.h"
#include "serial/SerUser.h"

class TSerWin32Dispatcher : public TSerBaseDispatcher {
 public:
  explicit TSerWin32Dispatcher(TSerCustomComPort* owner);
  // Stops the threads, releases the buffers and closes the device.
  ~TSerWin32Dispatcher() override;

  int LineEscape(int func) override;
  int PurgeQueues(int which) override;
  uint32_t ReadErrorState(TDeviceStatus& status) override;
  int ReadEventMask(int32_t mask) override;
  int ReadDcb(platform::CommState& settings) override;
  int ReadDevice(uint8_t* buffer, int count) override;
  int WriteDcb(const platform::CommState& settings) override;
  int QueueOutput(const uint8_t* buffer, int count) override REQUIRES(out_.mutex());
  int WaitDeviceEvent(uint32_t& mask) override;
  bool SetQueueSizes(int in_size, int out_size) override;
  void StartThreads() override;
  void StopThreads() override;
  int OpenDevice(const std::string& name, int in_size, int out_size) override;
  int CloseDevice() override;
  int YieldSlice() override;
  bool HungUp() override;

 protected:
  int WriteBlock(const uint8_t* buffer, int count, int* error) override;
  int WriteWithoutWaiting(const uint8_t* buffer, int count, int* error) override;
  void SetDeviceEventMask(uint32_t mask) override;
  uint32_t ReadModemLines() override;
  void SyncCall(const std::function<void()>& fn) override;

 private:
  std::unique_ptr<platform::CommDevice> device_;
  // Always set: a write given it as its stop event takes what the device takes
  // now and returns.
  platform::CommEvent no_wait_{true};
};

// Port numbers 1 to 50 that count as present: the device opens, or exists but is
// held by another program (access denied). Each is only opened and closed again
// (platform::CommDevice::Probe): its line stays as its holder set it, and a locked
// one is not opened at all.
std::vector<int> ProbeComPorts();
