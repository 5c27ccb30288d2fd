// A scripted device under the dispatcher, without threads: the test puts bytes into
// the device, sets its line errors and modem lines, and reads what was written and
// how long the dispatcher slept.
#pragma once

#include <string>
#include <vector>

#include "serial/SerUser.h"

namespace serial_test {

class FakeDispatcher : public TSerBaseDispatcher {
 public:
  FakeDispatcher() : TSerBaseDispatcher(nullptr) {}
  ~FakeDispatcher() override { ReleaseBuffers(); }

  // The device's side.
  std::string input;         // bytes waiting in the device
  uint32_t errors = 0;       // line errors the next status read reports
  uint32_t modem_lines = 0;  // kMs... bits
  std::string written;       // bytes the output "thread" wrote
  std::vector<int> escapes;  // line functions performed
  std::vector<int> delays;   // sleeps asked for, in ms
  std::vector<int> purges;
  platform::CommState dcb;
  int dcb_writes = 0;
  int open_error = 0;      // a Windows error OpenDevice fails with, when set
  int write_error = 0;     // an error WriteBlock reports
  int max_read = 1 << 30;  // the device hands out at most this much a read
  bool hung_up = false;    // the device is gone
  // When set, each OpenDevice adds the device its name leads to (a COMn resolved as
  // the device layer resolves it).
  std::vector<std::string>* reached = nullptr;

  int LineEscape(int func) override {
    escapes.push_back(func);
    return 0;
  }
  int PurgeQueues(int which) override {
    purges.push_back(which);
    if (which == 0) {
      EmptyRing();
    } else {
      input.clear();
    }
    return 0;
  }
  uint32_t ReadErrorState(TDeviceStatus& status) override {
    status.errors = errors;
    status.in_queue = static_cast<uint32_t>(input.size());
    const uint32_t e = errors;
    errors = 0;
    return e;
  }
  int ReadEventMask(int32_t) override { return 0; }
  int ReadDcb(platform::CommState& settings) override {
    settings = dcb;
    return 0;
  }
  int ReadDevice(uint8_t* buffer, int count) override {
    const int n = std::min({count, static_cast<int>(input.size()), max_read});
    std::copy(input.begin(), input.begin() + n, buffer);
    input.erase(0, static_cast<size_t>(n));
    return n;
  }
  int WriteDcb(const platform::CommState& settings) override {
    dcb = settings;
    ++dcb_writes;
    return 0;
  }
  int QueueOutput(const uint8_t* buffer, int count) override REQUIRES(out_.mutex()) {
    return QueueIntoRing(buffer, count);
  }
  int WaitDeviceEvent(uint32_t&) override { return 0; }
  bool SetQueueSizes(int, int) override { return true; }
  void StartThreads() override {}
  void StopThreads() override {}
  int OpenDevice(const std::string& name, int, int) override {
    if (reached) reached->push_back(platform::ResolveComPort(name));
    if (open_error) {
      last_error_ = open_error;
      return -1;
    }
    return 0;
  }
  int CloseDevice() override { return 0; }
  int YieldSlice() override { return 0; }
  bool HungUp() override { return hung_up; }

  // Runs what one round of the dispatch thread does.
  void Round() {
    ProcessComEvent();
    ProcessStatusAndTimers();
  }
  // Opens with the forms' settings (9600 baud, 8 data bits, no parity, one stop bit).
  int Open(int in_size = 4096, int out_size = 4096) {
    return InitPort("\\\\.\\COM1", 9600, 0, 8, 1, in_size, out_size, 3);
  }
  void Drain() { WriteOutRingToDevice(); }

 protected:
  int WriteBlock(const uint8_t* buffer, int count, int* error) override {
    *error = write_error;
    if (write_error) return 0;
    written.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
  }
  void SetDeviceEventMask(uint32_t) override {}
  uint32_t ReadModemLines() override { return modem_lines; }
  void Delay(int ms) override { delays.push_back(ms); }
};

// A window handler that runs the "user-interface thread's" handler at once.
class DirectWindow : public TSerTriggerWindow {
 public:
  std::function<void(uint16_t, uint32_t, uint32_t)> handler;
  bool deliver = true;  // false: as if the time-out passed before the handler ran
  int cancels = 0;
  TDeliveryOutcome SendTriggerMessage(uint16_t msg, uint32_t first, uint32_t second, uint64_t,
                                      uint64_t) override {
    if (!deliver) return TDeliveryOutcome::kWithdrawn;
    if (handler) handler(msg, first, second);
    return TDeliveryOutcome::kDone;
  }
  void CancelPendingDeliveries() override { ++cancels; }
};

}  // namespace serial_test
