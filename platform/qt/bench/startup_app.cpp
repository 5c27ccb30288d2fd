// A program built on the platform layer as the collector is, for the start-up and
// idle benchmark (startup_bench.cpp): it makes the application object, reads the
// settings store as the collector does at start, builds its main window and two
// banners from form resources, fills the transfer log from a file, shows the main
// window and enters the event loop with the main window's 500 ms timer running.
//
// At the loop's first idle once the main window has painted (the event dispatcher
// about to wait with nothing left to do; the offscreen platform paints a shown
// window a few milliseconds into the loop) it writes one byte to file descriptor
// 3, which the benchmark waits for; then it idles until it is stopped.
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/qt/application.h"
#include "platform/qt/forms.h"
#include "platform/qt/timer.h"
#include "platform/registry.h"

namespace {

using platform::qt::TComponentBase;
using platform::qt::TForm;
using platform::qt::TNotifyEvent;

// What the collector reads from the store before and while it makes its windows.
struct Settings {
  int32_t language = 1033;
  std::string data_root;
  int32_t client_port = 14001;
  int32_t abl_port = 14000;
  bool auto_create = false;
  bool grouping = false;
  bool first_ten = false;
  bool check_dsr = false;
  std::vector<std::string> translations;
  std::string autostart;
};

Settings ReadStore() {
  Settings settings;
  platform::TRegistry registry;
  if (registry.OpenKeyReadOnly("Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\General") &&
      registry.ValueExists("Language")) {
    settings.language = registry.ReadInteger("Language");
  }
  for (const char* key : {"Software\\QOR Fluvantronics AB\\Wardvorta\\1.0\\File Paths",
                          "Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths"}) {
    if (registry.OpenKeyReadOnly(key)) {
      settings.data_root = registry.ReadString("ZQTData");
      break;
    }
  }
  if (registry.OpenKeyReadOnly(
          "\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External Collect\\1.0\\ABL")) {
    const auto integer = [&](const char* name, int32_t fallback) {
      return registry.ValueExists(name) ? registry.ReadInteger(name) : fallback;
    };
    settings.client_port = integer("ClientSocketPort", 14001);
    settings.abl_port = integer("ABLSocketPort", 14000);
    settings.auto_create = integer("AutoCreate", 0) != 0;
    settings.grouping = integer("ParameterGrouping", 0) != 0;
    settings.first_ten = integer("UseFirstTen", 0) != 0;
    settings.check_dsr = integer("CheckForDSR", 1) != 0;
    for (const char* name :
         {"VenousTranslation", "MixedVenousTranslation", "NotSpecifiedTranslation",
          "ArterialTranslation", "CapillaryTranslation"}) {
      settings.translations.push_back(registry.ReadString(name));
    }
  }
  if (registry.OpenKeyReadOnly("Software\\QOR Fluvantronics AB\\Autostart\\ABL625")) {
    settings.autostart = registry.ReadString("");
  }
  return settings;
}

class BenchMain : public TForm {
 public:
  explicit BenchMain(const Settings& settings) : TForm("TBenchMain"), settings_(settings) {
    RegisterMethod("FormCreate", TNotifyEvent([this](TComponentBase*) { FormCreate(); }));
    RegisterMethod("Timer1Timer", TNotifyEvent([this](TComponentBase*) { ++ticks_; }));
    for (const char* name : {"gbComSelClick", "ComSelChange", "btnComSelClick", "CheckClick"})
      RegisterMethod(name, TNotifyEvent([](TComponentBase*) {}));
    InitializeFromResources();
  }

 private:
  void FormCreate() {
    Required<platform::qt::TCheckBox>("cbAutoCreate")->SetChecked(settings_.auto_create);
    Required<platform::qt::TCheckBox>("cbParameterGrouping")->SetChecked(settings_.grouping);
    Required<platform::qt::TCheckBox>("cbPatientIDReductionUseFirstTen")
        ->SetChecked(settings_.first_ten);
    // The transfer log, as the collector loads it from its file.
    std::vector<std::string> lines;
    if (const char* log = std::getenv("QOR_BENCH_LOG")) {
      const std::string text = platform::ReadFileToString(log);
      size_t start = 0;
      while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
      }
    }
    Required<platform::qt::TMemo>("Memo4")->SetLines(lines);
    Required<platform::qt::TLabel>("lblABLIdentification")->SetCaption("ABL Unknown");
    SetCaption("ABL Data Input Module (Ver. 0.1.0.0)");
  }

  Settings settings_;
  int ticks_ = 0;
};

// A banner: the caption painted through the canvas interface, as the caption
// label paints its text, and a hide timer.
class BenchBanner : public TForm {
 public:
  explicit BenchBanner(std::string class_name) : TForm(std::move(class_name)) {
    InitializeFromResources();
    auto* label = Required<platform::qt::TPaintedControl>("LblStatus");
    label->SetPaintHandler([label](platform::Canvas& canvas, const platform::Rect& client) {
      canvas.SetBrush(platform::Brush{label->GetColor(), platform::BrushStyle::kSolid});
      canvas.FillRect(client);
      canvas.SetFont(label->GetFont());
      canvas.SetBrushStyle(platform::BrushStyle::kClear);
      platform::Rect rect = client;
      canvas.DrawText("Ready", rect, platform::dt::kWordBreak | platform::dt::kNoPrefix);
    });
  }
};

// Tells whether a widget has painted.
class PaintWatch : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  platform::qt::TApplication app(argc, argv);
  platform::qt::RegisterComponentClass("TBenchCaption", [](TForm* owner, QWidget* parent,
                                                           const std::string& name) {
    return std::make_unique<platform::qt::TPaintedControl>(owner, parent, name, "TBenchCaption");
  });
  const Settings settings = ReadStore();
  BenchMain main_window(settings);
  BenchBanner status("TBenchStatus");
  BenchBanner notice("TBenchNotice");
  PaintWatch watch;
  main_window.installEventFilter(&watch);
  main_window.show();

  bool reported = false;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   [&reported, &watch] {
                     if (reported || !watch.painted) return;
                     reported = true;
                     const char ready = 'r';
                     (void)!::write(3, &ready, 1);
                   });
  return app.Run();
}
