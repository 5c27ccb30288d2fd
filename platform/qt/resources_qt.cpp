#include "platform/qt/resources_qt.h"

#include <QFile>
#include <QResource>
#include <atomic>

#include "platform/files.h"
#include "platform/qt/qt_text.h"
#include "platform/text_1252.h"

namespace platform::qt {
namespace {

std::optional<QByteArray> ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

class LanguageModule final : public QtResourceModule {
 public:
  LanguageModule(QString file, QString map_root)
      : QtResourceModule(":" + map_root + "/qor"),
        file_(std::move(file)),
        map_root_(std::move(map_root)) {}
  ~LanguageModule() override { QResource::unregisterResource(file_, map_root_); }

 private:
  QString file_;
  QString map_root_;
};

}  // namespace

QtResourceModule::QtResourceModule(QString root) : root_(std::move(root)) {
  const std::optional<QByteArray> table = ReadResource(root_ + "/strings.txt");
  if (!table) return;
  std::string_view text(table->constData(), static_cast<size_t>(table->size()));
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    strings_[std::string(line.substr(0, equals))] =
        Utf8ToWin1252(Unescape(line.substr(equals + 1)));
  }
}

std::optional<std::string> QtResourceModule::FindString(std::string_view id) const {
  const auto it = strings_.find(id);
  if (it == strings_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> QtResourceModule::FindData(std::string_view name) const {
  // A name never leads outside the data folder of the module.
  if (name.empty() || name.find_first_of("/\\") != std::string_view::npos) return std::nullopt;
  const std::optional<QByteArray> data = ReadResource(root_ + "/rcdata/" + ToQString(name));
  if (!data) return std::nullopt;
  return std::string(data->constData(), static_cast<size_t>(data->size()));
}

std::unique_ptr<ResourceModule> LoadQtModuleFile(const std::string& path) {
  static std::atomic<int> counter{0};
  const QString file = QString::fromStdString(ToOsPath(path));
  const QString map_root = QString("/qor-language-%1").arg(counter++);
  if (!QResource::registerResource(file, map_root)) return nullptr;
  auto module = std::make_unique<LanguageModule>(file, map_root);
  if (!QResource(":" + map_root + "/qor").isValid()) return nullptr;
  return module;
}

void InstallQtResources() {
  SetProgramResources(std::make_unique<QtResourceModule>(":/qor"));
  SetModuleLoader(LoadQtModuleFile);
}

}  // namespace platform::qt
