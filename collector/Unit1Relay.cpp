// TForm1's network sources: the TCP analyzer server ("Network (ABL)"), the relay
// server that passes every record line on to the data clients, and the relay client
// ("Network (Wardvorta)").
//
// The bytes of each connection go to a decoder of its own (FeedLink.h for the
// analyzer feed, RelayLink.h for the relay link), which hands every completed
// message to the queue (QueueMessage) on its own, and reports what it drops in the
// error line and the transfer log. A connection that ends in the middle of a
// message drops its half message, reported too.
//
// Beyond the plain rules of the two links:
// - The caption says "Connected to ABL" while any analyzer connection is up.
// - The data clients' list holds one connection per remote address. A new
//   connection from a listed address takes its place (a relay client whose link
//   died unseen comes back from the same address), and the old one is closed; a
//   disconnection removes exactly the connection that ended.
// - Nothing waits without bound: what a data client sends is read and dropped
//   (reported), and a data client that stops reading is cut off by the socket
//   once a megabyte waits for it (reported).
// - Lifetick and watchdog are measured on the monotonic clock (MonotonicMs), so
//   setting the wall clock changes nothing.
// - A sign of life clears the yellow "Expected lifetick is missing"; other
//   failures stay in the error line until the relay client connects again.
// - With no host to connect to (the input box cancelled before any host was
//   given) the relay client makes no attempt; "Network host not found" shows. An
//   attempt under way is not cut short by the next: the 11 ticks to the next one
//   count from its failure.
#include <algorithm>
#include <optional>
#include <string>

#include "collector/Unit1.h"
#include "platform/dialogs.h"

using platform::qt::TCustomWinSocket;

namespace {

constexpr int64_t kWatchdogMs = 126000;

// What one read (or one disconnection) makes the decoders report costs one save of
// the transfer log (TLogBatch), however many notices it holds.
class TReadBatch {
 public:
  explicit TReadBatch(TCollectorCore* core) {
    if (core) batch_.emplace(*core);
  }

 private:
  std::optional<TCollectorCore::TLogBatch> batch_;
};

// A connection's address for the reports and the list, never empty.
std::string AddressText(const TCustomWinSocket* socket) {
  const std::string address = socket->RemoteAddress();
  return address.empty() ? platform::LoadResString(SAddressUnknown) : address;
}

// A connection as the data clients' list, the caption and the reports show it: its
// host and address, or the address alone when the reverse lookup gave no name.
std::string PeerText(const TCustomWinSocket* socket) {
  const std::string host = socket->RemoteHost();
  return host.empty() ? AddressText(socket) : host + " (" + AddressText(socket) + ")";
}

}  // namespace

void TForm1::ReceiverNotice(const std::string& text) {
  if (core_) core_->ReportFailure(text);
}

// ---- The TCP analyzer server ----

void TForm1::StartABLServer() {
  if (ServerSocketABL->Active()) return;
  // A setting of 0 would have the system pick a port that no analyzer knows: the
  // socket refuses it as it refuses the ports outside the range, with their error.
  // Only a port given by the set-up (tests) may be 0, for a free one.
  ServerSocketABL->SetPort(setup_.analyzer_port ? *setup_.analyzer_port : ABLSocketPort);
  ServerSocketABL->SetPortZeroChoosesAny(setup_.analyzer_port.has_value());
  ServerSocketABL->SetActive(true);
}

void TForm1::StopABLServer() {
  // Each connection reports its end, and with it any half message.
  ServerSocketABL->SetActive(false);
}

void TForm1::ServerSocketABLClientConnect(TCustomWinSocket* socket) {
  feeds_[socket] = std::make_unique<TReceiver<TFeedLink>>(*this, AddressText(socket));
  UpdateCaption(" - " + platform::LoadResString(SConnectedTo) + "ABL");
}

void TForm1::ServerSocketABLClientDisconnect(TCustomWinSocket* socket) {
  const auto it = feeds_.find(socket);
  if (it != feeds_.end()) {
    const std::unique_ptr<TReceiver<TFeedLink>> receiver = std::move(it->second);
    feeds_.erase(it);
    const TReadBatch batch(core_.get());
    receiver->link.ConnectionClosed();
  }
  if (feeds_.empty()) UpdateCaption("");
}

void TForm1::ServerSocketABLClientRead(TCustomWinSocket* socket) {
  auto& receiver = feeds_[socket];
  if (!receiver) receiver = std::make_unique<TReceiver<TFeedLink>>(*this, AddressText(socket));
  const TReadBatch batch(core_.get());
  receiver->link.Receive(socket->ReceiveText());
}

// ---- The relay server ----

void TForm1::RelayToDataClients(const std::string& text, bool framed) {
  const std::string unit = framed ? FrameRelayLine(text) : text;
  // A client cut off while it is sent to leaves the list at once, by its
  // disconnection: go through a copy.
  const std::vector<TCustomWinSocket*> clients = DataClients;
  for (TCustomWinSocket* client : clients) {
    if (std::find(DataClients.begin(), DataClients.end(), client) == DataClients.end()) continue;
    if (!client->Connected()) continue;
    const std::string peer = PeerText(client);
    if (client->SendText(unit) == 0) {
      // The socket gave up on a client that lets more than it holds wait.
      ReceiverNotice(platform::LoadResString(SClientStoppedReading) + peer);
    }
  }
  LastRelaySend = MonotonicMs();
}

void TForm1::SendLifetick() {
  RelayToDataClients(std::string(1, kRelayLifetick), false);
}

void TForm1::ServerSocket1ClientConnect(TCustomWinSocket* socket) {
  const std::string address = socket->RemoteAddress();
  TCustomWinSocket* replaced = nullptr;
  for (size_t i = 0; i < DataClients.size(); ++i) {
    if (DataClients[i]->RemoteAddress() != address) continue;
    replaced = DataClients[i];
    DataClients.erase(DataClients.begin() + static_cast<ptrdiff_t>(i));
    ListBoxConnectedClients->Delete(static_cast<int>(i));
    break;
  }
  DataClients.push_back(socket);
  ListBoxConnectedClients->Add(PeerText(socket));
  gbConnectedDataClients->SetVisible(true);
  if (replaced) replaced->Close();
}

void TForm1::ServerSocket1ClientDisconnect(TCustomWinSocket* socket) {
  RemoveDataClient(socket);
  DropDataClient(socket);
}

void TForm1::ServerSocket1ClientRead(TCustomWinSocket* socket) {
  const size_t count = socket->ReceiveText().size();
  if (count == 0) return;
  size_t& dropped = client_bytes_dropped_[socket];
  const bool first = dropped == 0;
  dropped += count;
  // Once per client, and the total when it goes (DropDataClient).
  if (first) {
    ReceiverNotice(platform::LoadResString(SClientSent) + PeerText(socket) + ", " +
                   std::to_string(count) + " bytes");
  }
}

void TForm1::DropDataClient(TCustomWinSocket* socket) {
  const auto it = client_bytes_dropped_.find(socket);
  if (it == client_bytes_dropped_.end()) return;
  const size_t total = it->second;
  client_bytes_dropped_.erase(it);
  if (total > 0) {
    ReceiverNotice(platform::LoadResString(SClientSent) + PeerText(socket) + ", " +
                   std::to_string(total) + " bytes in all");
  }
}

void TForm1::RemoveDataClient(TCustomWinSocket* socket) {
  const auto it = std::find(DataClients.begin(), DataClients.end(), socket);
  if (it == DataClients.end()) return;
  ListBoxConnectedClients->Delete(static_cast<int>(it - DataClients.begin()));
  DataClients.erase(it);
  gbConnectedDataClients->SetVisible(!DataClients.empty());
}

void TForm1::ClearClientList() {
  DataClients.clear();
  client_bytes_dropped_.clear();
  if (ListBoxConnectedClients) ListBoxConnectedClients->Clear();
  if (gbConnectedDataClients) gbConnectedDataClients->SetVisible(false);
}

// ---- The relay client ----

void TForm1::ConnectToRelayServer(bool ask) {
  // No reconnection starts while the user is asked.
  ReconnectCountdown = kReconnectHeld;
  if (ask) {
    std::string host = RelayHost;
    if (!platform::InputQuery(platform::LoadResString(SHostCaption),
                              platform::LoadResString(SHostPrompt), host)) {
      ReconnectCountdown = kReconnectTicks;
      return;
    }
    RelayHost = host;
  }
  ReconnectCountdown = kReconnectTicks;
  // An attempt still under way gives way to this one.
  ClientSocket1->SetActive(false);
  if (!RelayHost.empty()) {
    if (IsIPAddress(RelayHost)) {
      ClientSocket1->SetAddress(RelayHost);
    } else {
      ClientSocket1->SetHost(RelayHost);
    }
    ClientSocket1->SetPort(ClientSocketPort);
    ClientSocket1->SetActive(true);
  }
  CloseSerialPort();
}

void TForm1::DisconnectFromRelayServer() {
  ClientSocket1->SetActive(false);
  RelayConnected = false;
}

bool TForm1::IsIPAddress(const std::string& text) {
  // Three dots, each with something before it.
  std::string_view rest(text);
  for (int dot = 0; dot < 3; ++dot) {
    const size_t at = rest.find('.');
    if (at == std::string_view::npos || at == 0) return false;
    rest.remove_prefix(at + 1);
  }
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

void TForm1::LifetickReceived() {
  LastLifetick = MonotonicMs();
  if (lblError->Caption() == platform::LoadResString(SLifetickMissing)) {
    ShowError("", platform::kClBtnFace);
  }
}

void TForm1::ClientSocket1Connect(TCustomWinSocket* socket) {
  RelayConnected = true;
  UpdateCaption(" - " + platform::LoadResString(SConnectedTo) + PeerText(socket));
  relay_ = std::make_unique<TReceiver<TRelayLink>>(*this, PeerText(socket));
  LifetickReceived();
  // Connected again: whatever the error line said of the link is over.
  if (!lblError->Caption().empty()) ShowError("", platform::kClBtnFace);
}

void TForm1::ClientSocket1Disconnect(TCustomWinSocket* /*socket*/) {
  UpdateCaption("");
  RelayConnected = false;
  if (const std::unique_ptr<TReceiver<TRelayLink>> receiver = std::move(relay_)) {
    const TReadBatch batch(core_.get());
    receiver->link.ConnectionClosed();
  }
}

void TForm1::ClientSocket1Read(TCustomWinSocket* socket) {
  if (!relay_) relay_ = std::make_unique<TReceiver<TRelayLink>>(*this, PeerText(socket));
  const TReadBatch batch(core_.get());
  relay_->link.Receive(socket->ReceiveText());
}

void TForm1::RelayWatchdog() {
  if (RelayConnected) {
    if (MonotonicMs() - LastLifetick > kWatchdogMs) {
      DisconnectFromRelayServer();
      // After the disconnection, whose report of a half message (in the log) would
      // take the line.
      ShowError(platform::LoadResString(SLifetickMissing), kWarningYellow);
    }
    return;
  }
  // An attempt under way is given its time (a slow name lookup too, which a new
  // attempt every 5.5 s would cut short for ever); the next one comes 11 ticks
  // (5.5 s) after it failed.
  if (ClientSocket1->Active()) return;
  if (--ReconnectCountdown < 0) ConnectToRelayServer(false);
}
