#include "serial/SerWin32.h"

#include <QCoreApplication>
#include <thread>

#include "platform/qt/event_loop.h"
#include "serial/SerExcept.h"

namespace {

// How long a synchronous call waits for the user-interface thread before it is
// offered again (it is withdrawn unstarted each time, and given up on a close).
constexpr int kSyncCallRetryMs = 3000;

}  // namespace

TSerWin32Dispatcher::TSerWin32Dispatcher(TSerCustomComPort* owner) : TSerBaseDispatcher(owner) {
  no_wait_.Set();
}

TSerWin32Dispatcher::~TSerWin32Dispatcher() {
  StopThreads();
  ReleaseBuffers();
  CloseDevice();
}

int TSerWin32Dispatcher::LineEscape(int func) {
  // As on Windows, a refused line function is not reported.
  if (device_) device_->Escape(func);
  return 0;
}

int TSerWin32Dispatcher::PurgeQueues(int which) {
  if (!device_) return -platform::kErrorInvalidHandle;
  if (which == 0) {
    EmptyRing();
    // Ends a write that waits for room; the output thread needs no answer for it.
    if (stop_output_) stop_output_->Set();
    const int error = device_->Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);
    return error ? -error : 0;
  }
  const int error = device_->Purge(platform::kPurgeRxAbort | platform::kPurgeRxClear);
  return error ? -error : 0;
}

uint32_t TSerWin32Dispatcher::ReadErrorState(TDeviceStatus& status) {
  uint32_t errors = 0;
  platform::CommStatus s;
  const bool ok = device_ && device_->ClearError(&errors, &s);
  status.errors = ok ? errors : 0;
  status.in_queue = ok ? s.in_queue : 0;
  return ok ? errors : 0;
}

int TSerWin32Dispatcher::ReadEventMask(int32_t) {
  return 0;
}

int TSerWin32Dispatcher::ReadDcb(platform::CommState& settings) {
  return device_ && device_->GetState(&settings) == 0 ? 0 : -1;
}

int TSerWin32Dispatcher::ReadDevice(uint8_t* buffer, int count) {
  return device_ ? device_->Read(buffer, count) : 0;
}

int TSerWin32Dispatcher::WriteDcb(const platform::CommState& settings) {
  if (!device_) return -platform::kErrorInvalidHandle;
  const int error = device_->SetState(settings);
  return error ? -error : 0;
}

int TSerWin32Dispatcher::QueueOutput(const uint8_t* buffer, int n) {
  // Bytes for a device that hung up would be dropped by the output thread unseen:
  // refusing them makes the write fail where the caller hears of it.
  if (HungUp()) return 0;
  const int taken = QueueIntoRing(buffer, n);
  if (output_ready_) output_ready_->Set();
  return taken;
}

int TSerWin32Dispatcher::WaitDeviceEvent(uint32_t& mask) {
  if (!device_) return 0;
  return device_->WaitEvent(&mask) == 0 ? 1 : 0;
}

bool TSerWin32Dispatcher::SetQueueSizes(int, int) {
  // The kernel keeps queues of its own size; InSize still bounds the flow limits.
  return device_ != nullptr;
}

void TSerWin32Dispatcher::StartThreads() {
  StartWorkerThreads();
}

void TSerWin32Dispatcher::StopThreads() {
  StopWorkerThreads();
}

int TSerWin32Dispatcher::OpenDevice(const std::string& name, int, int) {
  int error = 0;
  device_ = platform::CommDevice::Open(platform::ResolveComPort(name), &error, &last_error_detail_);
  if (!device_) {
    last_error_ = error;
    return -1;
  }
  return 0;
}

int TSerWin32Dispatcher::CloseDevice() {
  if (!device_) return -1;
  device_->Close();
  device_.reset();
  return 0;
}

int TSerWin32Dispatcher::YieldSlice() {
  std::this_thread::yield();
  return 0;
}

bool TSerWin32Dispatcher::HungUp() {
  return device_ && device_->HungUp();
}

int TSerWin32Dispatcher::WriteBlock(const uint8_t* buffer, int count, int* error) {
  if (!device_) {
    *error = platform::kErrorInvalidHandle;
    return 0;
  }
  return device_->Write(buffer, count, stop_output_.get(), error);
}

int TSerWin32Dispatcher::WriteWithoutWaiting(const uint8_t* buffer, int count, int* error) {
  if (!device_ || !no_wait_.valid()) return -1;
  return device_->Write(buffer, count, &no_wait_, error);
}

void TSerWin32Dispatcher::SetDeviceEventMask(uint32_t mask) {
  if (device_) device_->SetEventMask(mask);
}

uint32_t TSerWin32Dispatcher::ReadModemLines() {
  return device_ ? device_->ModemStatus() : 0;
}

void TSerWin32Dispatcher::SyncCall(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    fn();
    return;
  }
  while (platform::SendCall(app, fn, std::chrono::milliseconds(kSyncCallRetryMs)) ==
             platform::SendResult::kTimedOut &&
         !kill_threads_ && !close_requested_) {
  }
}

std::vector<int> ProbeComPorts() {
  std::vector<int> present;
  for (int n = 1; n <= 50; ++n) {
    // Not through OpenDevice: that open puts the line into raw mode, and the close
    // gives nothing back, so drawing a list of ports would reconfigure every line
    // that a program without a lock file holds, and the serial console.
    const int error =
        platform::CommDevice::Probe(platform::ResolveComPort("\\\\.\\COM" + std::to_string(n)));
    if (error == 0 || error == platform::kErrorAccessDenied) present.push_back(n);
  }
  return present;
}
