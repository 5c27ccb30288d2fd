// The notification-area icon and the program's file version.
#pragma once

#include <QIcon>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/exception.h"
#include "platform/qt/component.h"

class QSystemTrayIcon;

class ETaskbarError : public Exception {
 public:
  using Exception::Exception;
};

enum class TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
using TMouseEvent = std::function<void(platform::qt::TComponentBase* sender, TMouseButton button,
                                       uint32_t shift, int x, int y)>;

// The icon in the desktop's notification area (QSystemTrayIcon). Without a
// notification area the icon cannot be added: Active stays false and the program
// must keep another way back to its window. While Icon holds no image the icon
// shows the application's icon, and follows it when it changes (the owner window
// hears of that).
class TTaskbarIconControler : public QObject, public platform::qt::TComponentBase {
  Q_OBJECT

 public:
  // The callback message of the icon and the mouse messages it carries.
  static constexpr int kCallbackMessage = 1125;  // WM_USER + 101

  TTaskbarIconControler(platform::qt::TForm* owner, std::string name);
  ~TTaskbarIconControler() override;

  std::string FormClassName() const override { return "TTaskbarIconControler"; }
  void DefineProperties(platform::PropertyList& list) override;

  bool Active() const { return active_; }
  // Shows or removes the icon; nothing when Active already equals Value. A failure
  // is absorbed: Active tells the outcome.
  void SetActive(bool value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  const QIcon& Icon() const { return icon_; }
  void SetIcon(const QIcon& icon);
  std::string About() const { return "Notification-area icon"; }

  // The icon's mouse rules, by the mouse message of the callback: button down (513,
  // 516, 519) gives OnMouseDown; button up (514, 517, 520) OnMouseUp then OnClick;
  // double click (515, 518, 521) OnDblClk; anything else nothing. Handlers run
  // through the exception hook.
  void HandleMouseMessage(int message);

  platform::qt::TNotifyEvent OnClick;
  platform::qt::TNotifyEvent OnDblClk;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

 protected:
  // What the desktop is asked; overridable for tests.
  virtual bool AddIcon();
  virtual bool ModifyIcon();
  virtual bool DeleteIcon();
  void UpdateIcon();
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool active_ = false;
  std::string hint_;
  QIcon icon_;
  std::unique_ptr<QSystemTrayIcon> tray_;
};

// The running program's file version, compiled in from the project's version.
class TFileVersionScanner : public platform::qt::TComponentBase {
 public:
  TFileVersionScanner(platform::qt::TForm* owner, std::string name);
  std::string FormClassName() const override { return "TFileVersionScanner"; }
  void DefineProperties(platform::PropertyList& list) override;
  std::string About() const { return "File version reader"; }

  // The "FileVersion" text of the running program (block "040904E4").
  std::string GetFileVersion() const;
  // The "FileVersion" text of the block for the program file; "Unknown version"
  // (a resource text) for another file or block, or without version information.
  std::string GetVersionValue(const std::string& file_path, const std::string& block) const;
};
