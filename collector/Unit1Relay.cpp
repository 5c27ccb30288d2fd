// TForm1's network sources: the TCP analyzer server ("Network (ABL)"), the relay
// server that passes every record line on to the data clients, and the relay client
// ("Network (Wardvorta)").
//
// What the rest of the window relies on is here: the relay server's sends (every
// line of every walk, the EOT after it, the lifetick) and the analyzer server's
// start and stop. The receivers of the TCP feed and of the relay client, the data
// clients' list and the relay client's connection and watchdog are still to be
// written; until then "Network (ABL)" listens but takes nothing in, and "Network
// (Wardvorta)" does not connect. Their receivers hand each completed message to
// QueueMessage, as the serial receiver does, and drop a half message when the data
// source changes (SelectDataSource empties RxBuffer).
#include "collector/AnalyzerLink.h"
#include "collector/Unit1.h"

using platform::qt::TCustomWinSocket;

// ---- The TCP analyzer server ----

void TForm1::StartABLServer() {
  if (ServerSocketABL->Active()) return;
  ServerSocketABL->SetPort(ABLSocketPort);
  ServerSocketABL->SetActive(true);
}

void TForm1::StopABLServer() {
  ServerSocketABL->SetActive(false);
}

void TForm1::ServerSocketABLClientConnect(TCustomWinSocket* /*socket*/) {
  UpdateCaption(" - " + platform::LoadResString(SConnectedTo) + "ABL");
}

void TForm1::ServerSocketABLClientDisconnect(TCustomWinSocket* /*socket*/) {
  UpdateCaption("");
}

void TForm1::ServerSocketABLClientRead(TCustomWinSocket* /*socket*/) {}

// ---- The relay server ----

void TForm1::RelayToDataClients(const std::string& text, bool framed) {
  const std::string unit = framed ? std::string{astm::kENQ, astm::kSTX} + text +
                                        std::string{astm::kCR, astm::kLF, astm::kETX}
                                  : text;
  for (TCustomWinSocket* client : DataClients)
    client->SendText(unit);
  LastRelaySend = MonotonicMs();
}

void TForm1::SendLifetick() {
  RelayToDataClients(std::string(1, astm::kCR), false);
}

void TForm1::ServerSocket1ClientConnect(TCustomWinSocket* /*socket*/) {}

void TForm1::ServerSocket1ClientDisconnect(TCustomWinSocket* socket) {
  RemoveDataClient(socket);
}

void TForm1::RemoveDataClient(TCustomWinSocket* /*socket*/) {}

void TForm1::ClearClientList() {
  DataClients.clear();
}

// ---- The relay client ----

void TForm1::ConnectToRelayServer(bool /*ask*/) {
  ReconnectCountdown = 10;
}

void TForm1::DisconnectFromRelayServer() {
  ClientSocket1->SetActive(false);
  RelayConnected = false;
}

bool TForm1::IsIPAddress(const std::string& /*text*/) {
  return false;
}

void TForm1::LifetickReceived() {
  LastLifetick = MonotonicMs();
}

void TForm1::ClientSocket1Connect(TCustomWinSocket* /*socket*/) {}

void TForm1::ClientSocket1Disconnect(TCustomWinSocket* /*socket*/) {}

void TForm1::ClientSocket1Read(TCustomWinSocket* /*socket*/) {}

void TForm1::RelayWatchdog() {}
