#include "simulator/GasmimicDriver.h"

#include "simulator/Unit1Connection.h"

namespace {

// How often the driver looks whether the canned message is out.
constexpr int kPollMs = 10;

}  // namespace

TGasmimicDriver::TGasmimicDriver(TForm1& form, TGasmimicOptions options,
                                 std::function<void(int)> quit, std::ostream& out,
                                 std::ostream& err)
    : form_(form), options_(std::move(options)), quit_(std::move(quit)), out_(out), err_(err) {
  poll_.setInterval(kPollMs);
  QObject::connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
  quit_timer_.setSingleShot(true);
  QObject::connect(&quit_timer_, &QTimer::timeout, this, [this] { QuitAfterTime(); });
}

std::optional<int> TGasmimicDriver::Apply() {
  const TGasmimicOptions& o = options_;
  if (o.port) form_.SetCollectorPort(*o.port);
  if (o.interval_seconds) form_.SpinEdit1->SetValue(*o.interval_seconds);
  if (o.com) {
    form_.ComSel->SetItemIndex(*o.com);
    form_.SelectEntry(*o.com, false);
    if (form_.ComPort->Port().ComNumber() != *o.com) {
      err_ << "gasmimic: COM" << *o.com << " could not be opened\n";
      if (o.start || o.send_canned_once) return 1;
    }
  } else if (o.network_host) {
    form_.SetCollectorHost(*o.network_host);
    form_.SelectEntry(kNetworkEntry, false);
  }
  if (o.checksum_error) form_.cbCheckSumError->SetChecked(true);
  if (o.start) form_.Button1->Click();
  if (o.send_canned_once) {
    sample_before_send_ = form_.Sender().sample_no();
    sending_ = true;
    form_.Send->Click();
    poll_.start();
  }
  if (o.quit_after_seconds) quit_timer_.start(*o.quit_after_seconds * 1000);
  return std::nullopt;
}

bool TGasmimicDriver::CannedMessageSent() const {
  const TMessageSender& sender = form_.Sender();
  if (sender.sample_no() == sample_before_send_ || form_.Timer1->Enabled()) return false;
  return LineQuiet();
}

bool TGasmimicDriver::LineQuiet() const {
  if (form_.Sender().in_flight()) return false;
  return form_.ComPort->Port().OutputPending() == 0;
}

void TGasmimicDriver::Poll() {
  if (quit_deadline_) {
    if (LineQuiet() || std::chrono::steady_clock::now() >= *quit_deadline_) {
      poll_.stop();
      quit_(0);
    }
    return;
  }
  if (!sending_ || !CannedMessageSent()) return;
  sending_ = false;
  poll_.stop();
  out_ << "gasmimic: sent the canned message (" << form_.Memo2->Count() << " lines) on COM"
       << form_.ComPort->Port().ComNumber() << "\n";
  out_.flush();
  quit_(0);
}

void TGasmimicDriver::QuitAfterTime() {
  if (sending_) {
    err_ << "gasmimic: the canned message did not go out within " << *options_.quit_after_seconds
         << " s\n";
    quit_(1);
    return;
  }
  if (LineQuiet()) {
    quit_(0);
    return;
  }
  // No new message starts; the one in flight ends with its EOT, or is given up as
  // the stall rule would give it up.
  form_.Timer1->SetEnabled(false);
  out_ << "gasmimic: the time is up; the message in flight ends first\n";
  out_.flush();
  quit_deadline_ = std::chrono::steady_clock::now() + kStallTime;
  poll_.start();
}
