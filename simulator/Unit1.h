// TForm1: Gasmimic's one window. The user types values, picks a line (a serial port
// COM1 .. COM16, or "Network": TCP to Gasbridge's analyzer server) and presses Start
// (the built message at the chosen interval) or Send (the canned message once over
// the serial line).
//
// The window is built from its form resource ("TForm1", forms/TForm1.frm) and is
// the TSenderHost of the sending state machine (Unit1Sending.h), which does all the
// sending: the window reads its controls for it, and hands it the ticks of Timer1,
// the bytes from ComPort and the button presses. Timer2 reconnects a lost TCP
// connection every 3 s while "Network" is chosen.
//
// Where the window does more than the analyzer's simple original:
// - sending on "Network" while no connection is up raises the socket error "Socket
//   is not connected" into the error line, rather than losing the message unseen;
// - a connection is only tried when there is a host to connect to (a cancelled
//   first input box leaves none; nothing is retried every 3 s then);
// - when the user has emptied Memo1, a rebuilt message starts with the header line
//   the resource gave it.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/date_time.h"
#include "platform/monotonic_clock.h"
#include "platform/qt/forms.h"
#include "platform/qt/sockets.h"
#include "platform/qt/timer.h"
#include "serial/component/SerPortComponent.h"
#include "simulator/Carousel.h"
#include "simulator/Unit1Message.h"
#include "simulator/Unit1Sending.h"

// Gasmimic's window. Like every window, it runs on the user-interface thread only.
class TForm1 : public platform::qt::TForm, public TSenderHost {
 public:
  // The stall rule measures on Clock (the steady clock when none); built messages
  // carry the local time Now gives (platform::Now when none). Tests pass fakes.
  explicit TForm1(const platform::MonotonicClock* clock = nullptr,
                  std::function<platform::DateTime()> now = nullptr);
  ~TForm1() override;

  // The components, as the form resource names them (owned by the window).
  TFloatEdit* feFIO2 = nullptr;
  TFloatEdit* feCa = nullptr;
  TFloatEdit* feCl = nullptr;
  TFloatEdit* feK = nullptr;
  TFloatEdit* feNa = nullptr;
  TFloatEdit* fepH = nullptr;
  TFloatEdit* fepO2 = nullptr;
  platform::qt::TCheckBox* cboxKSSpecial = nullptr;
  platform::qt::TComboBox* ComSel = nullptr;
  platform::qt::TSpinEdit* SpinEdit1 = nullptr;
  platform::qt::TEdit* EditPatientID = nullptr;
  platform::qt::TRadioGroup* rgSpecimenType = nullptr;
  platform::qt::TRadioGroup* rgSpecimenSource = nullptr;
  platform::qt::TCheckBox* cbCheckSumError = nullptr;
  platform::qt::TMemo* Memo1 = nullptr;
  platform::qt::TMemo* Memo2 = nullptr;
  platform::qt::TButton* Button1 = nullptr;
  platform::qt::TButton* Send = nullptr;
  platform::qt::TLabel* lblError = nullptr;
  TSerPortComponent* ComPort = nullptr;
  platform::qt::TClientSocket* ClientSocket1 = nullptr;
  platform::qt::TTimer* Timer1 = nullptr;
  platform::qt::TTimer* Timer2 = nullptr;

  // Event handlers, bound by name in the form resource.
  void FormCreate();
  void Button1Click();
  void SendClick();
  void Timer1Timer();
  void Timer2Timer();
  void ComSelChange();
  void ComPortTriggerAvail(uint16_t count);
  void ClientSocket1Connect(platform::qt::TCustomWinSocket* socket);
  void ClientSocket1Disconnect(platform::qt::TCustomWinSocket* socket);

  // Rebuilds Memo1 for the next sample.
  void BuildMessage();
  // Connects to CollectorHost on CollectorPort, asking for the host first when Ask
  // is set (a cancelled input box changes nothing); closes the serial port.
  void ConnectToCollector(bool ask);
  void Disconnect();
  void SetStatusCaption(const std::string& caption);
  // The error line: Text on Color (kClBtnFace with an empty text clears it).
  void ShowError(const std::string& text, platform::Color color);
  // The application-wide exception hook: the message in the error line, in red.
  void AppException(const std::exception& error);

  // What picking ComSel's entry Index does (ComSelChange for the entry picked), with
  // the host asked for when Index is "Network" and AskHost is set.
  void SelectEntry(int index, bool ask_host);

  bool Connected() const { return connected_; }
  const std::string& CollectorHost() const { return collector_host_; }
  void SetCollectorHost(std::string host) { collector_host_ = std::move(host); }
  // The analyzer server's port: 14000, ClientSocket1's port in the resource. Other
  // ports are for tests and for a collector configured otherwise.
  int CollectorPort() const { return collector_port_; }
  void SetCollectorPort(int port) { collector_port_ = port; }
  const TMessageSender& Sender() const { return sender_; }

  // TSenderHost.
  TSendLine CurrentLine() override;
  std::vector<std::string> RebuildMessage(int sample_no) override;
  std::vector<std::string> CannedLines() override;
  bool TakeChecksumError() override;
  void SendSerial(std::string_view bytes) override;
  void SendNetwork(std::string_view bytes) override;
  void StartTimer(int interval_ms) override;
  void StopTimer() override;

 private:
  void RegisterMethods();
  void FindComponents();
  TMessageForm ReadForm() const;

  std::function<platform::DateTime()> now_;
  TMessageSender sender_;
  bool connected_ = false;
  std::string collector_host_;
  int collector_port_ = 0;
  std::string resource_header_;  // Memo1's first line as the resource gave it
};
