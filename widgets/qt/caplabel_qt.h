// The caption label on a window: TCapLabel (widgets/caplabel.h), the label's model
// and painter, hosted by a painted control of the Qt windows.
//
// The control owns its TCapLabel and keeps it in step with its widget: the
// widget's size is the label's bounds, the widget paints through the Qt canvas with
// the label's Paint, and every change the label reports repaints the widget (and
// with AutoSize resizes it). It publishes the label's properties under the names
// and in the order form resources know them, so that a resource's
// "object LblStatus: TCapLabel" becomes one, its colours, scheme, shading settings
// and font read as the label defines them (ColorScheme before Font, so that a
// stored font colour wins over the scheme's).
//
// Captions show "&" as it is (ShowAccelChar off) unless a resource turns the
// accelerator prefix on: the system's captions are made from analyzer and patient
// data.
#pragma once

#include <QObject>
#include <string>

#include "platform/qt/forms.h"
#include "widgets/caplabel.h"

class TCapLabelControl : public QObject, public platform::qt::TPaintedControl {
 public:
  TCapLabelControl(platform::qt::TForm* owner, QWidget* parent, std::string name);
  ~TCapLabelControl() override;

  void DefineProperties(platform::PropertyList& list) override;
  void BeginLoading() override;
  void Loaded() override;

  // The label itself: its caption, colours and settings, its bounds those of the
  // widget now (a hidden widget's resizes are reported only when it shows).
  TCapLabel& Label() {
    Follow();
    return label_;
  }
  const std::string& Caption() const { return label_.Caption(); }
  void SetCaption(const std::string& caption) { label_.SetCaption(caption); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The label paints its own font and background; the widget takes neither.
  void ApplyLook() override {}

 private:
  void Changed(TCapLabelChange change);
  // With Align alClient the widget takes its parent's size; then the label takes
  // the widget's bounds.
  void Follow();

  TCapLabel label_;
  bool align_client_ = false;
  bool following_ = false;  // the label's bounds are being set from the widget's
};

// Makes form resources create TCapLabelControl for "TCapLabel" objects. Windows
// that hold a caption label call it before they read their resources; calling it
// again changes nothing.
void RegisterCapLabelClass();
