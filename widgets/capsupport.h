// The start-up work of the caption label's support units, and its undoing.
//
// A program creates one TCapSupport before its first window and destroys it after
// its last: the message strings are loaded, the current year and month recorded,
// the alphabetic character set built, and the two shared objects (the international
// settings and the user data) created; destruction frees them in the reverse order.
// While it lives, CapIntlSup() and CapUserData() give the shared objects.
//
// Registering TCapAttachedLabel with the form loader's class registry belongs to
// whoever owns that registry; see capattachedlabel.h.
#pragma once

#include <memory>

#include "widgets/capintl.h"
#include "widgets/capmessages.h"
#include "widgets/capuserdata.h"

class TCapSupport {
 public:
  // Settings: where the international settings come from. One TCapSupport at a
  // time; a second one raises Exception.
  explicit TCapSupport(const TCapIntlProfile& settings);
  ~TCapSupport();
  TCapSupport(const TCapSupport&) = delete;
  TCapSupport& operator=(const TCapSupport&) = delete;

  const TCapMessageTable& Messages() const { return messages_; }
  const TCapCharSet& AlphaCharSet() const { return alpha_; }
  int StartYear() const { return year_; }
  int StartMonth() const { return month_; }
  const TCapIntlSup& IntlSup() const { return *intl_sup_; }
  TCapUserData& UserData() { return *user_data_; }

 private:
  TCapMessageTable messages_;
  int year_ = 0;
  int month_ = 0;
  TCapCharSet alpha_;
  std::unique_ptr<TCapIntlSup> intl_sup_;
  std::unique_ptr<TCapUserData> user_data_;
};

// The shared objects while a TCapSupport lives, else null.
const TCapIntlSup* CapIntlSup();
TCapUserData* CapUserData();
