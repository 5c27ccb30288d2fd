#include "simulator/Unit1.h"

#include <any>
#include <stdexcept>

#include "platform/dialogs.h"
#include "platform/qt/event_loop.h"
#include "simulator/Unit1Connection.h"
#include "simulator/Unit1Message.h"

namespace {

using platform::qt::TComponentBase;
using platform::qt::TCustomWinSocket;
using FormNotify = platform::qt::TNotifyEvent;
using platform::qt::TSocketNotifyEvent;

// What Windows reports for a send on a socket without a connection (WSAENOTCONN),
// in the socket components' own error format.
constexpr std::string_view kNotConnectedError =
    "Socket error: Socket is not connected (10057), on API 'send'";

}  // namespace

TForm1::TForm1(const platform::MonotonicClock* clock, std::function<platform::DateTime()> now)
    : TForm("TForm1"),
      now_(now ? std::move(now) : std::function<platform::DateTime()>(platform::Now)),
      sender_(*this, clock ? *clock : platform::SteadyClock()) {
  RegisterFloatEdit();
  RegisterSerPortComponent();
  RegisterMethods();
  InitializeFromResources();
}

TForm1::~TForm1() {
  // The hook names this window; the components are freed after this body, and an
  // error on the way out (closing the port) must not reach a window that is gone.
  platform::SetExceptionHook(nullptr);
}

void TForm1::RegisterMethods() {
  RegisterMethod("FormCreate", FormNotify([this](TComponentBase*) { FormCreate(); }));
  RegisterMethod("Button1Click", FormNotify([this](TComponentBase*) { Button1Click(); }));
  RegisterMethod("SendClick", FormNotify([this](TComponentBase*) { SendClick(); }));
  RegisterMethod("Timer1Timer", FormNotify([this](TComponentBase*) { Timer1Timer(); }));
  RegisterMethod("Timer2Timer", FormNotify([this](TComponentBase*) { Timer2Timer(); }));
  RegisterMethod("ComSelChange", FormNotify([this](TComponentBase*) { ComSelChange(); }));
  RegisterMethod("ComPortTriggerAvail", TSerPortAvailEvent([this](TComponentBase*, uint16_t count) {
                   ComPortTriggerAvail(count);
                 }));
  RegisterMethod("ClientSocket1Connect",
                 TSocketNotifyEvent([this](TComponentBase*, TCustomWinSocket* socket) {
                   ClientSocket1Connect(socket);
                 }));
  RegisterMethod("ClientSocket1Disconnect",
                 TSocketNotifyEvent([this](TComponentBase*, TCustomWinSocket* socket) {
                   ClientSocket1Disconnect(socket);
                 }));
}

void TForm1::FindComponents() {
  using namespace platform::qt;
  feFIO2 = Required<TFloatEdit>("feFIO2");
  feCa = Required<TFloatEdit>("feCa");
  feCl = Required<TFloatEdit>("feCl");
  feK = Required<TFloatEdit>("feK");
  feNa = Required<TFloatEdit>("feNa");
  fepH = Required<TFloatEdit>("fepH");
  fepO2 = Required<TFloatEdit>("fepO2");
  cboxKSSpecial = Required<TCheckBox>("cboxKSSpecial");
  ComSel = Required<TComboBox>("ComSel");
  SpinEdit1 = Required<TSpinEdit>("SpinEdit1");
  EditPatientID = Required<TEdit>("EditPatientID");
  rgSpecimenType = Required<TRadioGroup>("rgSpecimenType");
  rgSpecimenSource = Required<TRadioGroup>("rgSpecimenSource");
  cbCheckSumError = Required<TCheckBox>("cbCheckSumError");
  Memo1 = Required<TMemo>("Memo1");
  Memo2 = Required<TMemo>("Memo2");
  Button1 = Required<TButton>("Button1");
  Send = Required<TButton>("Send");
  lblError = Required<TLabel>("lblError");
  ComPort = Required<TSerPortComponent>("ComPort");
  ClientSocket1 = Required<TClientSocket>("ClientSocket1");
  Timer1 = Required<TTimer>("Timer1");
  Timer2 = Required<TTimer>("Timer2");
}

void TForm1::FormCreate() {
  FindComponents();
  platform::SetExceptionHook([this](const std::exception& error) { AppException(error); });
  connected_ = false;
  collector_port_ = ClientSocket1->Port();
  const std::vector<std::string> header = Memo1->Lines();
  resource_header_ = header.empty() ? std::string(kBuiltHeaderLine) : header.front();
  Timer1->SetInterval(static_cast<uint32_t>(IntervalMs(SpinEdit1->Value())));
}

// ---- the buttons and the timers ----

void TForm1::Button1Click() {
  if (!sender_.Start(SpinEdit1->Value())) platform::ShowMessage(std::string(kNoLineText));
}

void TForm1::SendClick() {
  sender_.Send();
}

void TForm1::Timer1Timer() {
  sender_.Tick();
}

void TForm1::Timer2Timer() {
  if (ComSel->ItemIndex() == kNetworkEntry && !connected_) ConnectToCollector(false);
}

// ---- the message ----

TMessageForm TForm1::ReadForm() const {
  TMessageForm form;
  form.patient_id = EditPatientID->Text();
  form.fio2 = feFIO2->Text();
  form.ca = feCa->Text();
  form.cl = feCl->Text();
  form.k = feK->Text();
  form.na = feNa->Text();
  form.ph = fepH->Text();
  form.po2 = fepO2->Text();
  form.specimen_type = static_cast<TSpecimenType>(rgSpecimenType->ItemIndex());
  form.specimen_source = static_cast<TSpecimenSource>(rgSpecimenSource->ItemIndex());
  form.ks_special = cboxKSSpecial->Checked();
  return form;
}

void TForm1::BuildMessage() {
  RebuildMessage(sender_.sample_no());
}

std::vector<std::string> TForm1::RebuildMessage(int sample_no) {
  const std::vector<std::string> current = Memo1->Lines();
  const std::string header = current.empty() ? resource_header_ : current.front();
  std::vector<std::string> lines = ::BuildMessage(header, ReadForm(), sample_no, now_());
  Memo1->SetLines(lines);
  return lines;
}

std::vector<std::string> TForm1::CannedLines() {
  return Memo2->Lines();
}

// ---- TSenderHost ----

TSendLine TForm1::CurrentLine() {
  if (ComPort->Port().ComNumber() != 0) return TSendLine::kSerial;
  if (ComSel->ItemIndex() == kNetworkEntry) return TSendLine::kNetwork;
  return TSendLine::kNone;
}

bool TForm1::TakeChecksumError() {
  if (!cbCheckSumError->Checked()) return false;
  cbCheckSumError->SetChecked(false);
  return true;
}

void TForm1::SendSerial(std::string_view bytes) {
  ComPort->Port().PutString(std::string(bytes));
}

void TForm1::SendNetwork(std::string_view bytes) {
  TCustomWinSocket* socket = ClientSocket1->Socket();
  if (!connected_ || !socket || !socket->Connected())
    throw ESocketError(std::string(kNotConnectedError));
  socket->SendText(std::string(bytes));
}

void TForm1::StartTimer(int interval_ms) {
  Timer1->SetInterval(static_cast<uint32_t>(interval_ms));
  Timer1->SetEnabled(true);
}

void TForm1::StopTimer() {
  Timer1->SetEnabled(false);
}

void TForm1::ComPortTriggerAvail(uint16_t count) {
  TSerPortDevice& port = ComPort->Port();
  std::string bytes;
  bytes.reserve(count);
  for (uint16_t i = 0; i < count; ++i)
    bytes += port.GetChar();
  sender_.Receive(bytes);
}

// ---- the line ----

void TForm1::ComSelChange() {
  SelectEntry(ComSel->ItemIndex(), true);
}

void TForm1::SelectEntry(int index, bool ask_host) {
  Disconnect();
  if (index == kNetworkEntry) {
    ComPort->Port().SetOpen(false);
    ComPort->Port().SetComNumber(0);
    ComSel->SetItemIndex(kNetworkEntry);
    ConnectToCollector(ask_host);
    return;
  }
  if (index >= 1 && index <= kLastComEntry) {
    try {
      ComPort->Port().SetComNumber(index);
      ComPort->Port().SetOpen(true);
    } catch (const std::exception&) {
      // A port that cannot be opened falls back to "Disabled", silently.
      ComPort->Port().SetOpen(false);
      ComPort->Port().SetComNumber(0);
    }
  } else {
    ComPort->Port().SetOpen(false);
    ComPort->Port().SetComNumber(0);
  }
  ComSel->SetItemIndex(ComPort->Port().ComNumber());
}

void TForm1::ConnectToCollector(bool ask) {
  if (ask) {
    std::string host = collector_host_;
    if (!platform::InputQuery(std::string(kHostInputCaption), std::string(kHostInputPrompt), host))
      return;
    collector_host_ = host;
  }
  if (collector_host_.empty()) return;
  ClientSocket1->SetActive(false);
  if (IsIPAddress(collector_host_)) {
    ClientSocket1->SetAddress(collector_host_);
  } else {
    ClientSocket1->SetHost(collector_host_);
  }
  ClientSocket1->SetPort(collector_port_);
  ClientSocket1->SetActive(true);
  ComPort->Port().SetOpen(false);
}

void TForm1::Disconnect() {
  ClientSocket1->SetActive(false);
  connected_ = false;
}

void TForm1::ClientSocket1Connect(TCustomWinSocket* socket) {
  connected_ = true;
  SetStatusCaption(ConnectedCaption(socket->RemoteHost(), socket->RemoteAddress()));
  ShowError("", platform::kClBtnFace);
}

void TForm1::ClientSocket1Disconnect(TCustomWinSocket*) {
  connected_ = false;
  SetStatusCaption(std::string(kDisconnectedCaption));
}

// ---- captions and the error line ----

void TForm1::SetStatusCaption(const std::string& caption) {
  SetCaption(caption);
}

void TForm1::ShowError(const std::string& text, platform::Color color) {
  lblError->SetCaption(text);
  lblError->SetColor(color);
}

void TForm1::AppException(const std::exception& error) {
  ShowError(error.what(), platform::kClRed);
}
