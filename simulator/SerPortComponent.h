// The serial-port component (serial/SerPort.h) as a component of a form resource:
//
//   object ComPort: TSerComPort
//     Baud = 9600
//     PromptForPort = False
//     BufferFull = 3072
//     BufferResume = 1024
//     TapiMode = tmOff
//     OnTriggerAvail = ComPortTriggerAvail
//   end
//
// The window owns it like any other component; Port() is the TSerComPort itself,
// which keeps its own rules for loading (property writes stored, the port opened in
// Loaded when Open was set). OnTriggerAvail binds a window method of the port's
// event type (TTriggerAvailEvent). Nothing here is Gasmimic's own: a window of
// either program can place a port this way after RegisterSerPortComponent().
#pragma once

#include <string>

#include "platform/qt/component.h"
#include "serial/SerPort.h"

namespace simulator {

class TSerPortComponent : public platform::qt::TComponentBase {
 public:
  TSerPortComponent(platform::qt::TForm* owner, std::string name);

  std::string FormClassName() const override { return "TSerComPort"; }
  void DefineProperties(platform::PropertyList& list) override;
  void BeginLoading() override;
  void Loaded() override;

  TSerComPort& Port() { return port_; }

 private:
  TSerComPort port_;
};

// Makes "TSerComPort" known to form resources (idempotent).
void RegisterSerPortComponent();

}  // namespace simulator
