// TFloatEdit: the one-line edit field in which Gasmimic's user types a measured
// value. Only an unsigned decimal number stays in it, with "." as its decimal point
// whatever the system's separator (CarouselText.h holds the rules); Value offers the
// number as a double, read from and written as the text.
//
// After every change of the text, typed or set by code, the edit control's own
// change notification runs first (OnChange, not while loading), then the filter;
// the caret goes to the end of the text. When the filter changes the text, setting
// the filtered text is a change of its own, so OnChange runs again with the text as
// it stays.
#pragma once

#include <string>

#include "platform/qt/forms.h"

class TFloatEdit : public platform::qt::TEdit {
 public:
  TFloatEdit(platform::qt::TForm* owner, QWidget* parent, std::string name);

  std::string FormClassName() const override { return "TFloatEdit"; }
  void DefineProperties(platform::PropertyList& list) override;

  // The published About text: "v1.0, 990523".
  std::string About() const;

  // The text converted to a number (CarouselText.h's FloatTextToValue): raises
  // EConvertError when the text is no number, an empty text too.
  double Value() const;
  // Sets the number as the text in fixed notation with "."; a value the field cannot
  // show (negative, not finite) leaves the text as it is, and no error comes out.
  void SetValue(double value);

 private:
  void Filter();
};

// Makes "TFloatEdit" known to form resources (idempotent).
void RegisterFloatEdit();
