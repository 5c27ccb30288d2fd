#include "collector/Unit1.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSessionManager>
#include <exception>
#include <limits>

#include "collector/NewPatient.h"
#include "collector/OnlyOne.h"
#include "collector/QORUtils.h"
#include "collector/UnitStatus.h"
#include "platform/date_time_format.h"
#include "platform/dialogs.h"
#include "platform/program.h"
#include "platform/qt/application.h"
#include "platform/qt/event_loop.h"

namespace {

using platform::qt::TComponentBase;
using platform::qt::TCustomWinSocket;
using platform::qt::TSocketNotifyEvent;
using Kind = TDataSource::Kind;

constexpr int kRelayEntry = 17;
constexpr int kAnalyzerServerEntry = 18;
constexpr int kFirstExtraEntry = 19;
constexpr int64_t kLifetickPeriodMs = 60000;
// How often a port whose device hung up is tried again: a missing device costs a
// failed open, once a second.
constexpr int64_t kReopenPeriodMs = 1000;

inline constexpr platform::ResourceString SPortNotOpened{"Unit1.SPortNotOpened",
                                                         " could not be opened: "};
inline constexpr platform::ResourceString SPortHungUp{
    "Unit1.SPortHungUp", " hung up (the device is gone); it is opened again when it is back"};
inline constexpr platform::ResourceString SPortReopened{"Unit1.SPortReopened",
                                                        " is back and open again"};

// The notification icon's image: a drop of blood.
QIcon DropIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath drop;
  drop.moveTo(16, 2);
  drop.cubicTo(22, 12, 27, 17, 27, 21);
  drop.arcTo(5, 10, 22, 21, 0, -180);
  drop.cubicTo(5, 17, 10, 12, 16, 2);
  painter.fillPath(drop, QColor(0xB0, 0x10, 0x20));
  return QIcon(pixmap);
}

}  // namespace

TForm1::TForm1(TForm1Setup setup) : TForm("TForm1"), setup_(std::move(setup)) {
  clock_ = setup_.clock ? setup_.clock : &platform::SteadyClock();
  // The components that no resource can make: the window's code places them.
  ComPort = static_cast<TSerPortComponent*>(Adopt(std::make_unique<TSerPortComponent>(
      this, "ComPort", setup_.make_port ? setup_.make_port() : MakeSerComPortDevice())));
  SaveIt1 = static_cast<TSaveItComponent*>(Adopt(std::make_unique<TSaveItComponent>(
      this, "SaveIt1", setup_.make_save_file ? setup_.make_save_file() : MakeSaveItNewFile())));
  TaskbarIconControler1 = static_cast<TTaskbarIconControler*>(
      Adopt(std::make_unique<TTaskbarIconControler>(this, "TaskbarIconControler1")));
  FileVersion = static_cast<TFileVersionScanner*>(
      Adopt(std::make_unique<TFileVersionScanner>(this, "FileVersion")));
  OnlyOne1 = static_cast<TOnlyOne*>(Adopt(std::make_unique<TOnlyOne>(this, "OnlyOne1")));
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    QObject::connect(gui, &QGuiApplication::commitDataRequest, this,
                     [this](QSessionManager&) { WMEndSession(); });
  }
  RegisterMethods();
  InitializeFromResources(setup_.making);
  // The components the code cannot do without are part of what the resource must
  // give; for use, FormCreate looks for them first.
  if (setup_.making == platform::qt::FormMaking::kOnTrial) FindComponents();
}

TForm1::~TForm1() {
  // The window's destructor would call OnDestroy when this part of the object is
  // gone already: run it here, while everything of the window is still alive.
  OnDestroy = nullptr;
  if (setup_.making == platform::qt::FormMaking::kForUse) FormDestroy();
}

void TryCollectorWindows() {
  TForm1Setup setup;
  setup.making = platform::qt::FormMaking::kOnTrial;
  { const TForm1 main_window(std::move(setup)); }
  { const TfrmStatus status(nullptr, platform::qt::FormMaking::kOnTrial); }
  { const TfrmNewPatient notice(nullptr, platform::qt::FormMaking::kOnTrial); }
}

void TForm1::RegisterMethods() {
  const auto notify = [this](const char* name, void (TForm1::*method)()) {
    RegisterMethod(
        name, platform::qt::TNotifyEvent([this, method](TComponentBase*) { (this->*method)(); }));
  };
  const auto socket = [this](const char* name, void (TForm1::*method)(TCustomWinSocket*)) {
    RegisterMethod(name, TSocketNotifyEvent([this, method](TComponentBase*, TCustomWinSocket* s) {
                     (this->*method)(s);
                   }));
  };
  notify("FormCreate", &TForm1::FormCreate);
  notify("FormShow", &TForm1::FormShow);
  notify("FormDestroy", &TForm1::FormDestroy);
  RegisterMethod("FormCloseQuery",
                 platform::qt::TCloseQueryEvent(
                     [this](TComponentBase*, bool& can_close) { FormCloseQuery(can_close); }));
  notify("BitBtn1Click", &TForm1::BitBtn1Click);
  notify("Button3Click", &TForm1::Button3Click);
  notify("cbAutoStartClick", &TForm1::cbAutoStartClick);
  notify("cbAutoCreateClick", &TForm1::cbAutoCreateClick);
  notify("cbParameterGroupingClick", &TForm1::cbParameterGroupingClick);
  notify("cbPatientIDReductionUseFirstTenClick", &TForm1::cbPatientIDReductionUseFirstTenClick);
  notify("ComSelChange", &TForm1::ComSelChange);
  notify("btnComSelClick", &TForm1::btnComSelClick);
  notify("gbComSelClick", &TForm1::gbComSelClick);
  notify("TaskbarIconControler1Click", &TForm1::TaskbarIconControler1Click);
  notify("Timer1Timer", &TForm1::Timer1Timer);
  RegisterMethod("ComPortTriggerAvail", TSerPortAvailEvent([this](TComponentBase*, uint16_t count) {
                   ComPortTriggerAvail(count);
                 }));
  socket("ServerSocket1ClientConnect", &TForm1::ServerSocket1ClientConnect);
  socket("ServerSocket1ClientDisconnect", &TForm1::ServerSocket1ClientDisconnect);
  socket("ServerSocket1ClientRead", &TForm1::ServerSocket1ClientRead);
  socket("ServerSocketABLClientConnect", &TForm1::ServerSocketABLClientConnect);
  socket("ServerSocketABLClientDisconnect", &TForm1::ServerSocketABLClientDisconnect);
  socket("ServerSocketABLClientRead", &TForm1::ServerSocketABLClientRead);
  socket("ClientSocket1Connect", &TForm1::ClientSocket1Connect);
  socket("ClientSocket1Disconnect", &TForm1::ClientSocket1Disconnect);
  socket("ClientSocket1Read", &TForm1::ClientSocket1Read);
}

void TForm1::FindComponents() {
  using namespace platform::qt;
  Memo1 = Required<TMemo>("Memo1");
  Memo4 = Required<TMemo>("Memo4");
  lblError = Required<TLabel>("lblError");
  lblDisconnected = Required<TLabel>("lblDisconnected");
  lblNoNetwork = Required<TLabel>("lblNoNetwork");
  lblABLIdentification = Required<TLabel>("lblABLIdentification");
  gbComSel = Required<TGroupBox>("gbComSel");
  ComSel = Required<TComboBox>("ComSel");
  btnComSel = Required<TButton>("btnComSel");
  BitBtn1 = Required<TButton>("BitBtn1");
  Button3 = Required<TButton>("Button3");
  cbAutoStart = Required<TCheckBox>("cbAutoStart");
  cbAutoCreate = Required<TCheckBox>("cbAutoCreate");
  cbPatientIDReductionUseFirstTen = Required<TCheckBox>("cbPatientIDReductionUseFirstTen");
  cbParameterGrouping = Required<TCheckBox>("cbParameterGrouping");
  gbConnectedDataClients = Required<TGroupBox>("gbConnectedDataClients");
  ListBoxConnectedClients = Required<TListBox>("ListBoxConnectedClients");
  Timer1 = Required<TTimer>("Timer1");
  ServerSocket1 = Required<TServerSocket>("ServerSocket1");
  ServerSocketABL = Required<TServerSocket>("ServerSocketABL");
  ClientSocket1 = Required<TClientSocket>("ClientSocket1");
}

// ---- Start-up ----

void TForm1::StartStep(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& error) {
    AppException(error);
  }
}

void TForm1::FormCreate() {
  FindComponents();
  // A second instance only brings the first forward (OnlyOne1, read with the
  // resource): it takes no port, writes no settings and ends.
  if (auto* app = platform::qt::TApplication::Instance(); app && app->Terminated()) return;

  // 1-2: the files, and long ago for the relay's clocks, so the first lifetick goes
  // out at once.
  TCollectorView& view = *this;
  core_ = std::make_unique<TCollectorCore>(view, TCollectorPaths::FromRoot(GetDataRoot()),
                                           SaveIt1->SaveFile());
  LastRelaySend = LastLifetick = MonotonicMs() - 2 * kLifetickPeriodMs;
  // 3-4
  ReadSpecimenTranslations();
  platform::SetExceptionHook([this](const std::exception& error) { AppException(error); });
  // What went wrong before the window existed.
  if (setup_.refused_module) {
    core_->ReportFailure(platform::LoadResString(SModuleRefused) + setup_.refused_module->path +
                         " (" + setup_.refused_module->reason + ")");
  }
  // 5: the relay server listens for the whole run.
  DataClients.clear();
  StartStep([this] {
    if (setup_.relay_port) ServerSocket1->SetPort(*setup_.relay_port);
    ServerSocket1->SetActive(true);
  });
  // 6-9
  RelayConnected = false;
  ReconnectCountdown = kReconnectTicks;
  cbPatientIDReductionUseFirstTen->SetHint(platform::LoadResString(SUseFirstTenHint));
  UpdateCaption("");
  may_close_ = false;
  hide_on_show_ = true;
  // 10: no data source yet, so only "DoStart" is written.
  if (cbAutoStart->Checked()) {
    cbAutoStartClick();
  } else {
    cbAutoStart->SetChecked(true);  // runs its click action
  }
  // 11-12
  ClientSocketPort = ReadRegInteger("ClientSocketPort", kDefaultClientSocketPort);
  ABLSocketPort = ReadRegInteger("ABLSocketPort", kDefaultABLSocketPort);
  cbAutoCreate->SetChecked(ReadRegBool("AutoCreate"));
  cbParameterGrouping->SetChecked(ReadRegBool("ParameterGrouping"));
  cbPatientIDReductionUseFirstTen->SetChecked(ReadRegBool("UseFirstTen"));
  core_->Options().auto_create = cbAutoCreate->Checked();
  core_->Options().grouping = cbParameterGrouping->Checked();
  core_->Options().use_first_ten = cbPatientIDReductionUseFirstTen->Checked();
  // 13: the data source from the command line or the autostart entry.
  StartStep([this] {
    const TStartSource start = DataSourceAtStart(setup_.argument, ReadAutostartValue(registry_));
    if (!start.error.empty()) core_->ReportFailure(start.error);
    if (!start.source) return;
    switch (start.source->kind) {
      case Kind::kRelay:
        RelayHost = start.source->host;
        source_ = *start.source;
        SelectComSelEntry();
        ConnectToRelayServer(false);
        break;
      case Kind::kAnalyzerServer:
        RelayHost = start.source->host;
        source_ = *start.source;
        SelectComSelEntry();
        StartABLServer();
        break;
      case Kind::kSerial:
      case Kind::kDisabled:
        SelectDataSource(*start.source, false);
        break;
    }
  });
  // 14-15
  ReadSettings();
  core_->LoadTransferLog();
  // 16: the main application's automation object, for the whole run.
  try {
    core_->Automation().SetAutoObject(setup_.create_auto_object ? setup_.create_auto_object()
                                                                : CoVistameterAutoObject::Create());
  } catch (const std::exception&) {
    platform::ShowMessage(platform::LoadResString(SUnableToStart));
    core_->Automation().SetAutoObject(nullptr);
    if (setup_.terminate) {
      setup_.terminate();
    } else if (auto* app = platform::qt::TApplication::Instance()) {
      app->Terminate();
    }
    return;
  }
  // 17: the icon, and the window out of sight. Without a notification area the
  // window stays in reach.
  TaskbarIconControler1->SetIcon(DropIcon());
  TaskbarIconControler1->SetActive(true);
  hide_on_show_ = IconActive();
  if (hide_on_show_) hide();
}

bool TForm1::IconActive() const {
  return TaskbarIconControler1 && TaskbarIconControler1->Active();
}

void TForm1::FormShow() {
  platform::PostCall(this, [this] { WMHideOnStart(); });
}

void TForm1::WMHideOnStart() {
  if (hide_on_show_) hide();
  hide_on_show_ = false;
}

// ---- Closing ----

void TForm1::BitBtn1Click() {
  const platform::ModalResult answer = platform::MessageDlg(
      platform::LoadResString(SReallyClose) + "\r" + platform::LoadResString(SNoMoreData),
      platform::MsgDlgType::kConfirmation, platform::mb::kYes | platform::mb::kNo);
  may_close_ = answer == platform::mrYes;
  platform::PostCall(this, [this] { close(); });
}

void TForm1::FormCloseQuery(bool& can_close) {
  can_close = may_close_;
  if (can_close) {
    Timer1->SetEnabled(false);
    if (OnMainWindowClosed) platform::PostCall(this, OnMainWindowClosed);
    return;
  }
  // Collecting goes on out of sight; without an icon to bring it back, minimised.
  if (IconActive()) {
    hide();
  } else {
    showMinimized();
  }
}

void TForm1::WMEndSession() {
  may_close_ = true;
}

void TForm1::FormDestroy() {
  platform::SetExceptionHook(nullptr);
  if (ServerSocket1) ServerSocket1->SetActive(false);
  if (ClientSocket1) ClientSocket1->SetActive(false);
  // The analyzer connections end here too, while the window can still log what
  // they leave unfinished.
  if (ServerSocketABL) ServerSocketABL->SetActive(false);
  ClearClientList();
}

// ---- The transfer log, the error line and the caption ----

void TForm1::Button3Click() {
  if (platform::MessageDlg(platform::LoadResString(SReallyClearLog),
                           platform::MsgDlgType::kConfirmation,
                           platform::mb::kYesNoCancel) != platform::mrYes) {
    return;
  }
  std::string error;
  if (!core_->NewTransferLog(&error)) ShowError(error, kErrorRed);
}

void TForm1::UpdateCaption(const std::string& suffix) {
  SetCaption(platform::LoadResString(SCaption) + FileVersion->GetFileVersion() + ")" + suffix);
  if (suffix.empty()) lblABLIdentification->SetCaption(platform::LoadResString(SABLUnknown));
}

void TForm1::AppException(const std::exception& error) {
  const std::string text = error.what();
  ShowError(text, kErrorRed);
  // The same failure again and again (a port that keeps failing) is logged once.
  if (text == last_hook_failure_) return;
  last_hook_failure_ = text;
  // Before the transfer log is loaded the core keeps the entry for it.
  if (core_) core_->AddLogEntry(platform::DateTimeToStr(platform::Now()) + ": " + text);
}

void TForm1::ShowError(const std::string& text, platform::Color color) {
  lblError->SetCaption(OneLine(text));
  lblError->SetColor(color);
}

// ---- Settings ----

std::string TForm1::GetDataRoot() {
  return ::GetDataRoot(registry_);
}

bool TForm1::ReadRegBool(const std::string& name) {
  return ::ReadRegBool(registry_, name);
}

int32_t TForm1::ReadRegInteger(const std::string& name, int32_t default_value) {
  return ::ReadRegInteger(registry_, name, default_value);
}

void TForm1::WriteRegBool(const std::string& name, bool value) {
  try {
    ::WriteRegBool(registry_, name, value);
  } catch (const std::exception&) {
    // As the readers do: a store that cannot be written keeps its old value.
  }
}

void TForm1::ReadSettings() {
  CheckForDSR = ReadCheckForDSR(registry_);
}

void TForm1::ReadSpecimenTranslations() {
  core_->Options().translations = ::ReadSpecimenTranslations(registry_);
}

void TForm1::cbAutoStartClick() {
  WriteAutostart(registry_, cbAutoStart->Checked(), platform::ProgramPath(), source_);
}

void TForm1::cbAutoCreateClick() {
  WriteRegBool("AutoCreate", cbAutoCreate->Checked());
  if (core_) core_->Options().auto_create = cbAutoCreate->Checked();
}

void TForm1::cbParameterGroupingClick() {
  WriteRegBool("ParameterGrouping", cbParameterGrouping->Checked());
  if (core_) core_->Options().grouping = cbParameterGrouping->Checked();
}

void TForm1::cbPatientIDReductionUseFirstTenClick() {
  WriteRegBool("UseFirstTen", cbPatientIDReductionUseFirstTen->Checked());
  if (core_) core_->Options().use_first_ten = cbPatientIDReductionUseFirstTen->Checked();
}

// ---- The data source ----

TDataSource TForm1::SourceOfComSelIndex(int index) const {
  if (index <= 0) return TDataSource{};
  if (index == kRelayEntry) return TDataSource{Kind::kRelay, 0, RelayHost};
  if (index == kAnalyzerServerEntry) return TDataSource{Kind::kAnalyzerServer, 0, RelayHost};
  if (index < kRelayEntry) return TDataSource{Kind::kSerial, index, ""};
  // A port above 16, listed after the network sources as "COMn".
  const std::vector<std::string> items = ComSel->Items();
  if (index >= static_cast<int>(items.size())) return TDataSource{};
  return TDataSource{Kind::kSerial, std::atoi(items[static_cast<size_t>(index)].c_str() + 3), ""};
}

int TForm1::ComSelIndexOf(const TDataSource& source) {
  switch (source.kind) {
    case Kind::kDisabled:
      return 0;
    case Kind::kRelay:
      return kRelayEntry;
    case Kind::kAnalyzerServer:
      return kAnalyzerServerEntry;
    case Kind::kSerial:
      break;
  }
  if (source.port < kRelayEntry) return source.port;
  std::vector<std::string> items = ComSel->Items();
  const std::string name = "COM" + std::to_string(source.port);
  for (size_t i = kFirstExtraEntry; i < items.size(); ++i) {
    if (items[i] == name) return static_cast<int>(i);
  }
  items.push_back(name);
  const int selected = ComSel->ItemIndex();
  ComSel->SetItems(items);
  ComSel->SetItemIndex(selected);
  return static_cast<int>(items.size()) - 1;
}

void TForm1::SelectComSelEntry() {
  ComSel->SetItemIndex(ComSelIndexOf(source_));
}

void TForm1::ComSelChange() {
  SelectDataSource(SourceOfComSelIndex(ComSel->ItemIndex()), true);
}

void TForm1::SelectDataSource(const TDataSource& source, bool ask) {
  // A half message of the serial line goes now; the network receivers drop theirs
  // as their connections close.
  core_->DataSourceChanging();
  line_lost_ = false;
  DisconnectFromRelayServer();
  switch (source.kind) {
    case Kind::kRelay:
      StopABLServer();
      source_ = TDataSource{Kind::kRelay, 0, RelayHost};
      ConnectToRelayServer(ask);
      // The host the user gave, for the autostart entry.
      source_.host = RelayHost;
      CloseSerialPort();
      break;
    case Kind::kAnalyzerServer:
      source_ = TDataSource{Kind::kAnalyzerServer, 0, RelayHost};
      StartStep([this] { StartABLServer(); });
      CloseSerialPort();
      break;
    case Kind::kSerial:
    case Kind::kDisabled:
      StopABLServer();
      UpdateCaption("");
      OpenSerialPort(source.kind == Kind::kSerial ? source.port : 0);
      source_ = ComPort->Port().ComNumber() > 0
                    ? TDataSource{Kind::kSerial, ComPort->Port().ComNumber(), ""}
                    : TDataSource{};
      break;
  }
  SelectComSelEntry();
  if (source_.kind != Kind::kDisabled) {
    ComSel->Hide();
    btnComSel->Show();
    StartStep([this] { cbAutoStartClick(); });
  }
}

void TForm1::OpenSerialPort(int number) {
  TSerPortDevice& port = ComPort->Port();
  CloseSerialPort();
  if (number <= 0) return;
  try {
    port.SetComNumber(number);
    port.SetOpen(true);
  } catch (const std::exception& error) {
    try {
      port.SetOpen(false);
    } catch (const std::exception&) {
    }
    port.SetComNumber(0);
    // Falling back to "Disabled" unseen would leave no one collecting and no one
    // knowing.
    core_->ReportFailure("COM" + std::to_string(number) + platform::LoadResString(SPortNotOpened) +
                         error.what());
  }
}

void TForm1::CloseSerialPort() {
  TSerPortDevice& port = ComPort->Port();
  if (port.Open()) port.SetOpen(false);
  port.SetComNumber(0);
}

void TForm1::btnComSelClick() {
  btnComSel->Hide();
  ComSel->Show();
}

void TForm1::gbComSelClick() {
  ComSel->Hide();
  btnComSel->Show();
}

void TForm1::TaskbarIconControler1Click() {
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
}

// ---- The 500 ms timer ----

void TForm1::Timer1Timer() {
  if (MonotonicMs() - LastRelaySend > kLifetickPeriodMs) SendLifetick();
  switch (source_.kind) {
    case Kind::kRelay:
      RelayWatchdog();
      lblDisconnected->Hide();
      lblNoNetwork->SetVisible(!RelayConnected);
      return;
    case Kind::kAnalyzerServer:
      lblDisconnected->Hide();
      lblNoNetwork->Hide();
      return;
    case Kind::kSerial:
    case Kind::kDisabled:
      break;
  }
  lblNoNetwork->Hide();
  WatchSerialLine();
  if (!CheckForDSR) {
    lblDisconnected->Hide();
    return;
  }
  TSerPortDevice& port = ComPort->Port();
  if (port.Open() && port.GetDSR()) {
    lblDisconnected->Hide();
    return;
  }
  if (source_.kind == Kind::kSerial) {
    if (!isVisible()) {
      show();
    } else if (!isActiveWindow()) {
      if (isMinimized()) showNormal();
      raise();
      activateWindow();
    }
  }
  lblDisconnected->SetVisible(!lblDisconnected->Visible());
}

void TForm1::WatchSerialLine() {
  if (source_.kind != Kind::kSerial) return;
  TSerPortDevice& port = ComPort->Port();
  const std::string name = "COM" + std::to_string(source_.port);
  if (port.Open()) {
    if (!port.HungUp()) return;
    // Closed at once: the port answers nothing more, and a new device under the
    // same name needs a fresh open.
    try {
      port.SetOpen(false);
    } catch (const std::exception&) {
    }
    line_lost_ = true;
    next_reopen_ms_ = MonotonicMs() + kReopenPeriodMs;
    line_lost_text_ = name + platform::LoadResString(SPortHungUp);
    core_->ReportFailure(line_lost_text_);
    return;
  }
  if (!line_lost_ || MonotonicMs() < next_reopen_ms_) return;
  next_reopen_ms_ = MonotonicMs() + kReopenPeriodMs;
  try {
    // The same number: the port goes back through the link it hung up on, and not
    // to another device while that link is gone.
    port.SetComNumber(source_.port);
    port.SetOpen(true);
  } catch (const std::exception&) {
    // Still gone (or held by another program): the next attempt tells.
    return;
  }
  line_lost_ = false;
  core_->AddLogEntry(platform::DateTimeToStr(platform::Now()) + ": " + name +
                     platform::LoadResString(SPortReopened));
  if (lblError->Caption() == OneLine(line_lost_text_)) ShowError("", platform::kClBtnFace);
}

// ---- Messages ----

void TForm1::ComPortTriggerAvail(uint16_t count) {
  TSerPortDevice& port = ComPort->Port();
  std::string bytes;
  bytes.reserve(count);
  for (uint16_t i = 0; i < count; ++i)
    bytes += port.GetChar();
  core_->ReceiveFromAnalyzer(bytes);
}

void TForm1::QueueMessage(std::vector<std::string> lines) {
  core_->QueueMessage(std::move(lines));
}

void TForm1::WMProcessMessage() {
  core_->ProcessNextMessage();
}

// ---- TCollectorView ----

void TForm1::SendToAnalyzer(std::string_view bytes) {
  ComPort->Port().PutString(std::string(bytes));
}

void TForm1::PostProcessMessage() {
  platform::PostCall(this, [this] { WMProcessMessage(); });
}

void TForm1::ShowSender(const std::string& identification) {
  lblABLIdentification->SetCaption(OneLine(identification));
}

void TForm1::ShowTransfer(const std::string& entry) {
  if (banners_) banners_->ShowStatus(entry);
}

void TForm1::ShowNewPatient(const std::string& caption) {
  if (banners_) banners_->ShowNewPatient(caption);
}

void TForm1::ShowError(const std::string& text) {
  ShowError(text, kErrorRed);
}

void TForm1::TransferLogChanged() {
  Memo4->SetLines(core_->Log().Lines());
  if (auto* edit = qobject_cast<QPlainTextEdit*>(Memo4->Widget())) {
    // The last line in view, from its start: the end of a long line would leave
    // the other lines blank and the dates cut.
    edit->moveCursor(QTextCursor::End);
    edit->moveCursor(QTextCursor::StartOfBlock);
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
    edit->horizontalScrollBar()->setValue(0);
  }
}

// ---- The banners ----

void TFormBanners::ShowStatus(const std::string& text) {
  status_.LblStatus->SetCaption(text);
  status_.show();
}

void TFormBanners::ShowNewPatient(const std::string& caption) {
  notice_.ShowNotice(caption);
}
