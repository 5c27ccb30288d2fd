// Gasbridge's main window, TForm1: its components come from the form resource
// "TForm1"; its work without the toolkit is TCollectorCore's (Unit1Core.h).
//
// Start-up (FormCreate) settles the data root and the files under it, the
// settings, the relay server, AutoStart, the data source chosen on the command line
// or in the autostart entry, the transfer log and the main application's automation
// object, then shows the notification icon and hides the window. Each step that
// fails is shown in the error line and written to the transfer log, and the others
// still run; only an automation object that cannot be created ends the program, as
// nothing could be handed to the main application.
//
// Exactly one data source is active: a serial port (COM1 and up), the TCP analyzer
// server ("Network (ABL)") or the relay client ("Network (Wardvorta)"). ComSel lists
// "Disabled", COM1 to COM16 and the two network sources (entries 17 and 18); a port
// above 16 chosen on the command line or in the autostart entry gets an entry of its
// own after them, so the port's number is never taken for a list position.
//
// The serial receiver's bytes go to the core, which answers ACK and NAK through the
// port and queues each completed message; the processing message then walks them
// one at a time. Every handler runs through the application-wide exception hook
// (AppException), which shows the failure in the error line and logs it.
//
// The network sources (the TCP analyzer feed, the relay server and client, the
// data clients' list and the lifetick watchdog) are Unit1Relay.cpp's; they hand
// their messages to the same queue (QueueMessage) and share the window's fields
// below. Each connection has a decoder of its own (FeedLink.h, RelayLink.h), so
// two senders at once never mix their lines.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collector/FeedLink.h"
#include "collector/RelayLink.h"
#include "collector/Unit1Core.h"
#include "collector/Unit1SaveIt.h"
#include "collector/Unit1Settings.h"
#include "datafile/QORClassLanguage.h"
#include "platform/canvas.h"
#include "platform/monotonic_clock.h"
#include "platform/qt/forms.h"
#include "platform/qt/sockets.h"
#include "platform/qt/timer.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "serial/component/SerPortComponent.h"

class TTaskbarIconControler;
class TFileVersionScanner;
class TOnlyOne;
class TfrmStatus;
class TfrmNewPatient;

inline constexpr platform::ResourceString SABLUnknown{"Unit1.SABLUnknown", "ABL Unknown"};
inline constexpr platform::ResourceString SCaption{"Unit1.SCaption",
                                                   "ABL Data Input Module (Ver. "};
inline constexpr platform::ResourceString SUnableToStart{
    "Unit1.SUnableToStart", "Unable to start. Please contact QOR/Fluvantronics AB"};
inline constexpr platform::ResourceString SReallyClearLog{"Unit1.SReallyClearLog",
                                                          "Really want to clear logfile"};
inline constexpr platform::ResourceString SReallyClose{"Unit1.SReallyClose",
                                                       "Do You really want to close"};
inline constexpr platform::ResourceString SNoMoreData{"Unit1.SNoMoreData",
                                                      "N.B. No more ABL data will be collected!"};
inline constexpr platform::ResourceString SUseFirstTenHint{
    "Unit1.SUseFirstTenHint",
    "Check to use FIRST 10 characters of the ABL Blood Gas Analyzer patient ID\r\n"
    "Uncheck to use LAST 10 characters of the ABL Blood Gas Analyzer patient ID"};
inline constexpr platform::ResourceString SConnectedTo{"Unit1.SConnectedTo", "Connected to "};
inline constexpr platform::ResourceString SLifetickMissing{"Unit1.SLifetickMissing",
                                                           "Expected lifetick is missing"};
inline constexpr platform::ResourceString SHostCaption{"Unit1.SHostCaption",
                                                       "IP address or computer name"};
inline constexpr platform::ResourceString SHostPrompt{"Unit1.SHostPrompt",
                                                      "Enter IP address or computer name"};
inline constexpr platform::ResourceString SClientSent{
    "Unit1.SClientSent", "Bytes from a data client dropped (the relay link takes none): "};
inline constexpr platform::ResourceString SAddressUnknown{"Unit1.SAddressUnknown",
                                                          "address unknown"};
inline constexpr platform::ResourceString SClientStoppedReading{
    "Unit1.SClientStoppedReading", "Data client disconnected, it stopped reading: "};
inline constexpr platform::ResourceString SModuleRefused{"Unit1.SModuleRefused",
                                                         "Language module not used: "};

// The error line's colours.
inline constexpr platform::Color kErrorRed = 255;
inline constexpr platform::Color kWarningYellow = 65535;

// The two banners (TfrmStatus, TfrmNewPatient), which the program creates after
// the main window.
class TCollectorBanners {
 public:
  virtual ~TCollectorBanners() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowNewPatient(const std::string& caption) = 0;
};

// The program's banners: the status banner and the new-patient notice.
class TFormBanners : public TCollectorBanners {
 public:
  TFormBanners(TfrmStatus& status, TfrmNewPatient& notice) : status_(status), notice_(notice) {}
  void ShowStatus(const std::string& text) override;
  void ShowNewPatient(const std::string& caption) override;

 private:
  TfrmStatus& status_;
  TfrmNewPatient& notice_;
};

// What the program (or a test) gives the window besides its resource.
struct TForm1Setup {
  // The first command-line argument ("" without one).
  std::string argument;
  // The devices behind ComPort and SaveIt1.
  std::function<std::unique_ptr<TSerPortDevice>()> make_port;
  TSaveFileFactory make_save_file;
  // Creates the automation object; raises when it cannot (the default goes through
  // the activation layer).
  std::function<IVistameterAutoObject*()> create_auto_object;
  // The relay server's port when not the resource's (tests: 0, any free port).
  std::optional<int> relay_port;
  // The analyzer server's port when not the setting's (tests: 0, any free port,
  // which the setting never gives).
  std::optional<int> analyzer_port;
  // The language module the program found but did not take, for the error line and
  // the transfer log (which do not exist before the window).
  std::optional<TModuleRefusal> refused_module;
  // On trial (TryCollectorWindows): only the form resource is read and the
  // components the code needs are looked for; no creation handler, no settings,
  // no sockets, and no destruction handler when it goes.
  platform::qt::FormMaking making = platform::qt::FormMaking::kForUse;
  // The monotonic clock of the lifeticks and the watchdog (none: the steady clock).
  const platform::MonotonicClock* clock = nullptr;
  // Requests the end of the program (the default: the application's Terminate).
  std::function<void()> terminate;
};

// Gasbridge's main window. Like every window, it runs on the user-interface thread
// only.
class TForm1 : public platform::qt::TForm, private TCollectorView {
  Q_OBJECT

 public:
  explicit TForm1(TForm1Setup setup);
  ~TForm1() override;

  // The window's components, as the resource names them.
  platform::qt::TMemo* Memo1 = nullptr;
  platform::qt::TMemo* Memo4 = nullptr;
  platform::qt::TLabel* lblError = nullptr;
  platform::qt::TLabel* lblDisconnected = nullptr;
  platform::qt::TLabel* lblNoNetwork = nullptr;
  platform::qt::TLabel* lblABLIdentification = nullptr;
  platform::qt::TGroupBox* gbComSel = nullptr;
  platform::qt::TComboBox* ComSel = nullptr;
  platform::qt::TButton* btnComSel = nullptr;
  platform::qt::TButton* BitBtn1 = nullptr;
  platform::qt::TButton* Button3 = nullptr;
  platform::qt::TCheckBox* cbAutoStart = nullptr;
  platform::qt::TCheckBox* cbAutoCreate = nullptr;
  platform::qt::TCheckBox* cbPatientIDReductionUseFirstTen = nullptr;
  platform::qt::TCheckBox* cbParameterGrouping = nullptr;
  platform::qt::TGroupBox* gbConnectedDataClients = nullptr;
  platform::qt::TListBox* ListBoxConnectedClients = nullptr;
  platform::qt::TTimer* Timer1 = nullptr;
  TSerPortComponent* ComPort = nullptr;
  platform::qt::TServerSocket* ServerSocket1 = nullptr;
  platform::qt::TServerSocket* ServerSocketABL = nullptr;
  platform::qt::TClientSocket* ClientSocket1 = nullptr;
  TSaveItComponent* SaveIt1 = nullptr;
  TTaskbarIconControler* TaskbarIconControler1 = nullptr;
  TFileVersionScanner* FileVersion = nullptr;
  TOnlyOne* OnlyOne1 = nullptr;

  // Runs when closing has been granted: the program ends.
  std::function<void()> OnMainWindowClosed;

  // The banners, once the program has made them (none: nothing is shown).
  void SetBanners(TCollectorBanners* banners) { banners_ = banners; }

  // The core (after FormCreate's first step).
  TCollectorCore& Core() { return *core_; }
  // The data source in use.
  const TDataSource& DataSource() const { return source_; }
  bool MayClose() const { return may_close_; }

  // Event handlers bound in the form resource.
  void FormCreate();
  void FormShow();
  void FormCloseQuery(bool& can_close);
  void FormDestroy();
  void BitBtn1Click();
  void Button3Click();
  void cbAutoStartClick();
  void cbAutoCreateClick();
  void cbParameterGroupingClick();
  void cbPatientIDReductionUseFirstTenClick();
  void ComSelChange();
  void btnComSelClick();
  void gbComSelClick();
  void TaskbarIconControler1Click();
  void Timer1Timer();
  void ComPortTriggerAvail(uint16_t count);

  // Window messages: the processing message (WM_USER+2), hiding after the first
  // show (WM_USER+3), the end of the session (WM_ENDSESSION).
  void WMProcessMessage();
  void WMHideOnStart();
  void WMEndSession();

  // The settings (Unit1Settings.h over the settings store).
  std::string GetDataRoot();
  bool ReadRegBool(const std::string& name);
  int32_t ReadRegInteger(const std::string& name, int32_t default_value);
  void WriteRegBool(const std::string& name, bool value);
  void ReadSettings();
  void ReadSpecimenTranslations();

  void UpdateCaption(const std::string& suffix);
  void AppException(const std::exception& error);
  void ShowError(const std::string& text, platform::Color color);

  // Selects a data source as ComSelChange does (Ask: the relay host is asked for).
  void SelectDataSource(const TDataSource& source, bool ask);
  // A completed message of any receiver.
  void QueueMessage(std::vector<std::string> lines);

  // ---- The network sources (Unit1Relay.cpp) ----
  void StartABLServer();
  void StopABLServer();
  void ServerSocketABLClientConnect(platform::qt::TCustomWinSocket* socket);
  void ServerSocketABLClientDisconnect(platform::qt::TCustomWinSocket* socket);
  void ServerSocketABLClientRead(platform::qt::TCustomWinSocket* socket);
  void RelayToDataClients(const std::string& text, bool framed) override;
  void SendLifetick();
  void ServerSocket1ClientConnect(platform::qt::TCustomWinSocket* socket);
  void ServerSocket1ClientDisconnect(platform::qt::TCustomWinSocket* socket);
  void ServerSocket1ClientRead(platform::qt::TCustomWinSocket* socket);
  void RemoveDataClient(platform::qt::TCustomWinSocket* socket);
  void ClearClientList();
  void ConnectToRelayServer(bool ask);
  void DisconnectFromRelayServer();
  static bool IsIPAddress(const std::string& text);
  void LifetickReceived();
  void ClientSocket1Connect(platform::qt::TCustomWinSocket* socket);
  void ClientSocket1Disconnect(platform::qt::TCustomWinSocket* socket);
  void ClientSocket1Read(platform::qt::TCustomWinSocket* socket);
  // Timer1's relay step while "Network (Wardvorta)" is selected: the watchdog and
  // the reconnection.
  void RelayWatchdog();

  // Fields of the window that the network sources share.
  int32_t ClientSocketPort = kDefaultClientSocketPort;
  int32_t ABLSocketPort = kDefaultABLSocketPort;
  bool CheckForDSR = false;
  std::string RelayHost;
  bool RelayConnected = false;
  // The relay client's 500 ms ticks after a failed attempt before the next one,
  // which comes on the tick after them (11 ticks, 5.5 s); a countdown never reached
  // while the user is asked for the host.
  static constexpr int32_t kReconnectTicks = 10;
  static constexpr int32_t kReconnectHeld = 1000000000;
  int32_t ReconnectCountdown = kReconnectTicks;
  // Monotonic milliseconds (MonotonicMs) of the last send to the data clients and
  // the last sign of life from the relay server.
  int64_t LastRelaySend = 0;
  int64_t LastLifetick = 0;
  // The relay server's connections that are fed, one per remote address, in the
  // order of connection (ListBoxConnectedClients has a line for each).
  std::vector<platform::qt::TCustomWinSocket*> DataClients;

  int64_t MonotonicMs() const { return clock_->Now(); }

 private:
  // TCollectorView
  void SendToAnalyzer(std::string_view bytes) override;
  void PostProcessMessage() override;
  void ShowSender(const std::string& identification) override;
  void ShowTransfer(const std::string& entry) override;
  void ShowNewPatient(const std::string& caption) override;
  void ShowError(const std::string& text) override;
  void TransferLogChanged() override;

  void RegisterMethods();
  void FindComponents();
  // Runs one start-up step; a failure is shown and kept for the transfer log.
  void StartStep(const std::function<void()>& step);
  void SelectComSelEntry();
  int ComSelIndexOf(const TDataSource& source);
  TDataSource SourceOfComSelIndex(int index) const;
  void CloseSerialPort();
  void OpenSerialPort(int number);
  // Timer1's serial step: a port whose device hung up is reported and closed, and
  // opened again once the device is back.
  void WatchSerialLine();
  bool IconActive() const;

  // One connection's decoder and where it reports: messages to the queue, notices
  // to the error line and the log with the peer named, signs of life to the
  // watchdog.
  template <typename Link>
  class TReceiver final : public TStreamLinkEvents {
   public:
    TReceiver(TForm1& form, std::string peer) : form_(form), peer_(std::move(peer)), link(*this) {}
    void MessageComplete(std::vector<std::string> lines) override {
      form_.QueueMessage(std::move(lines));
    }
    void LinkNotice(const TLinkNotice& notice) override {
      form_.ReceiverNotice(notice.text + " (" + peer_ + ")");
    }
    void SignOfLife() override { form_.LifetickReceived(); }

   private:
    TForm1& form_;
    std::string peer_;

   public:
    Link link;
  };
  void ReceiverNotice(const std::string& text);
  void DropDataClient(platform::qt::TCustomWinSocket* socket);

  // The analyzer server's connections, each with its feed decoder.
  std::map<platform::qt::TCustomWinSocket*, std::unique_ptr<TReceiver<TFeedLink>>> feeds_;
  // The relay client's decoder, while it is connected.
  std::unique_ptr<TReceiver<TRelayLink>> relay_;
  // What each relay server connection has sent and had dropped: a data client
  // sends nothing.
  std::map<platform::qt::TCustomWinSocket*, size_t> client_bytes_dropped_;

  TForm1Setup setup_;
  platform::TRegistry registry_;
  std::unique_ptr<TCollectorCore> core_;
  TCollectorBanners* banners_ = nullptr;
  TDataSource source_;
  bool may_close_ = false;
  bool hide_on_show_ = true;
  std::string last_hook_failure_;
  const platform::MonotonicClock* clock_ = nullptr;
  // The selected serial port hung up and waits for its device: the next attempt
  // to open it again (MonotonicMs), and what the error line showed for it.
  bool line_lost_ = false;
  int64_t next_reopen_ms_ = 0;
  std::string line_lost_text_;
};

// Makes the program's windows on trial from the resources in use, as the program
// will make them (the main window, the status banner, the new-patient notice), and
// drops them: raises what reading their form resources raises. The trial for a
// language module (TLanguageManager::FormTrial), before the first window.
void TryCollectorWindows();
