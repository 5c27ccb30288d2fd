#include "collector/QORUtils.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSystemTrayIcon>

#include "platform/qt/forms.h"

#include "platform/program.h"
#include "platform/qt/event_loop.h"
#include "platform/qt/qt_text.h"
#include "platform/resources.h"

namespace {

constexpr platform::ResourceString SUnknownVersion{"QORUtils.SUnknownVersion", "Unknown version"};

}  // namespace

TTaskbarIconControler::TTaskbarIconControler(platform::qt::TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)) {
  if (owner) owner->installEventFilter(this);
}

bool TTaskbarIconControler::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ApplicationWindowIconChange && icon_.isNull()) UpdateIcon();
  return QObject::eventFilter(watched, event);
}

TTaskbarIconControler::~TTaskbarIconControler() {
  if (platform::qt::TForm* owner = Owner()) owner->removeEventFilter(this);
  SetActive(false);
}

void TTaskbarIconControler::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Active", [this](const platform::FormValue& v) { SetActive(v.AsBoolean()); });
  list.Add("Hint", [this](const platform::FormValue& v) { SetHint(v.AsString()); });
  list.Add("OnClick", [this](const platform::FormValue& v) {
    OnClick = Method<platform::qt::TNotifyEvent>(v);
  });
  list.Add("OnDblClk", [this](const platform::FormValue& v) {
    OnDblClk = Method<platform::qt::TNotifyEvent>(v);
  });
  list.Add("OnMouseDown",
           [this](const platform::FormValue& v) { OnMouseDown = Method<TMouseEvent>(v); });
  list.Add("OnMouseUp",
           [this](const platform::FormValue& v) { OnMouseUp = Method<TMouseEvent>(v); });
  list.Add("Left", [](const platform::FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const platform::FormValue& v) { v.AsInteger(); });
}

void TTaskbarIconControler::SetActive(bool value) {
  if (value == active_) return;
  try {
    if (value) {
      if (!AddIcon()) throw ETaskbarError("Exception: Could not Add Icon");
      active_ = true;
    } else {
      if (!DeleteIcon()) throw ETaskbarError("Exception: Could not Delete Icon");
      active_ = false;
    }
  } catch (const ETaskbarError&) {
    // Absorbed: Active tells the caller what came of it.
  }
}

void TTaskbarIconControler::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  UpdateIcon();
}

void TTaskbarIconControler::SetIcon(const QIcon& icon) {
  icon_ = icon;
  UpdateIcon();
}

void TTaskbarIconControler::UpdateIcon() {
  if (active_) ModifyIcon();
}

bool TTaskbarIconControler::AddIcon() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  tray_ = std::make_unique<QSystemTrayIcon>();
  QObject::connect(tray_.get(), &QSystemTrayIcon::activated, this,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     switch (reason) {
                       case QSystemTrayIcon::Trigger:
                         HandleMouseMessage(513);
                         HandleMouseMessage(514);
                         break;
                       case QSystemTrayIcon::Context:
                         HandleMouseMessage(516);
                         HandleMouseMessage(517);
                         break;
                       case QSystemTrayIcon::MiddleClick:
                         HandleMouseMessage(519);
                         HandleMouseMessage(520);
                         break;
                       case QSystemTrayIcon::DoubleClick:
                         HandleMouseMessage(515);
                         break;
                       default:
                         break;
                     }
                   });
  ModifyIcon();
  tray_->show();
  return tray_->isVisible();
}

bool TTaskbarIconControler::ModifyIcon() {
  if (!tray_) return false;
  tray_->setIcon(icon_.isNull() ? QGuiApplication::windowIcon() : icon_);
  // The tip field holds 63 characters and a terminator.
  tray_->setToolTip(platform::qt::ToQString(hint_.substr(0, 63)));
  return true;
}

bool TTaskbarIconControler::DeleteIcon() {
  tray_.reset();
  return true;
}

void TTaskbarIconControler::HandleMouseMessage(int message) {
  static constexpr TMouseButton kButtons[] = {TMouseButton::mbLeft, TMouseButton::mbRight,
                                              TMouseButton::mbMiddle};
  if (message < 513 || message > 521) return;
  const TMouseButton button = kButtons[(message - 513) / 3];
  switch ((message - 513) % 3) {
    case 0:
      if (OnMouseDown) platform::RunGuarded([&] { OnMouseDown(this, button, 0, 0, 0); });
      break;
    case 1:
      if (OnMouseUp) platform::RunGuarded([&] { OnMouseUp(this, button, 0, 0, 0); });
      if (OnClick) platform::RunGuarded([&] { OnClick(this); });
      break;
    default:
      if (OnDblClk) platform::RunGuarded([&] { OnDblClk(this); });
      break;
  }
}

TFileVersionScanner::TFileVersionScanner(platform::qt::TForm* owner, std::string name)
    : TComponentBase(owner, std::move(name)) {}

void TFileVersionScanner::DefineProperties(platform::PropertyList& list) {
  TComponentBase::DefineProperties(list);
  list.Add("Left", [](const platform::FormValue& v) { v.AsInteger(); });
  list.Add("Top", [](const platform::FormValue& v) { v.AsInteger(); });
}

std::string TFileVersionScanner::GetFileVersion() const {
  return GetVersionValue(platform::ProgramPath(), "040904E4");
}

std::string TFileVersionScanner::GetVersionValue(const std::string& file_path,
                                                 const std::string& block) const {
  // Only the running program carries version information, compiled into it.
  if (file_path == platform::ProgramPath() && block == "040904E4" && *QOR_FILE_VERSION) {
    return QOR_FILE_VERSION;
  }
  return platform::LoadResString(SUnknownVersion);
}
