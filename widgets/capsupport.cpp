#include "widgets/capsupport.h"

#include "platform/date_time.h"
#include "platform/exception.h"

namespace {

TCapSupport*& Current() {
  static TCapSupport* current = nullptr;
  return current;
}

}  // namespace

TCapSupport::TCapSupport(const TCapIntlProfile& settings) {
  if (Current() != nullptr) throw Exception("The caption label's support units run already");
  messages_.Load();
  const platform::DateParts today = platform::DecodeDate(platform::Now());
  year_ = today.year;
  month_ = today.month;
  alpha_ = CapAlphaCharSet();
  intl_sup_ = std::make_unique<TCapIntlSup>(settings, messages_);
  user_data_ = std::make_unique<TCapUserData>();
  Current() = this;
}

TCapSupport::~TCapSupport() {
  Current() = nullptr;
  user_data_.reset();
  intl_sup_.reset();
  messages_.Release();
}

const TCapIntlSup* CapIntlSup() {
  return Current() ? &Current()->IntlSup() : nullptr;
}

TCapUserData* CapUserData() {
  return Current() ? &Current()->UserData() : nullptr;
}
