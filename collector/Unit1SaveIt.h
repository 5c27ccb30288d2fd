// The main window's save component as its form resource places it ("object SaveIt1:
// TSaveItNew"): a component with the published properties the window's resource
// sets, over the save file that does the work, so that the window can be tested
// with an in-memory save file. (Its serial port is the serial library's component,
// serial/component/SerPortComponent.h.)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "collector/Unit1SaveFile.h"
#include "platform/qt/component.h"

// Makes the window's save file; the program's is the save component.
using TSaveFileFactory = std::function<std::unique_ptr<TSaveFileAccess>()>;

class TSaveItComponent : public platform::qt::TComponentBase {
 public:
  TSaveItComponent(platform::qt::TForm* owner, std::string name,
                   std::unique_ptr<TSaveFileAccess> save);
  ~TSaveItComponent() override;

  std::string FormClassName() const override { return "TSaveItNew"; }
  void DefineProperties(platform::PropertyList& list) override;

  TSaveFileAccess& SaveFile() { return *save_; }
  int32_t MinimumReservedSpaceForMonitorParameters() const { return reserved_space_; }
  bool IsReadOnly() const { return read_only_; }

 private:
  std::unique_ptr<TSaveFileAccess> save_;
  int32_t reserved_space_ = 500;
  bool read_only_ = false;
};
