#include "serial/SerExcept.h"

#include "platform/comm.h"
#include "platform/io_error.h"
#include "serial/SerStrMgr.h"

ESerException::ESerException(int code) : Exception(ErrorMessageText(code)), error_code_(code) {}

ESerException::ESerException(const std::string& text) : Exception(text), error_code_(0) {}

ESerException::ESerException(int code, const std::string& text)
    : Exception(text), error_code_(code) {}

std::string CleanSystemMessage(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(c);
  }
  return out;
}

std::string ComposeErrorMessage(std::string table_text, std::string_view system_text) {
  std::string text = std::move(table_text);
  if (text.empty() && !system_text.empty()) {
    text = CleanSystemMessage(std::string(system_text.substr(0, kMaxErrorMessage)));
  }
  if (text.size() > kMaxErrorMessage) text.resize(kMaxErrorMessage);
  return text;
}

std::string ErrorMessageText(int number) {
  const int64_t id = number < 0 ? -static_cast<int64_t>(number) : number;
  if (id > INT32_MAX) return "";
  std::string text = ErrorStrings().LookUpString(static_cast<int32_t>(id));
  const std::string system =
      text.empty() ? platform::SystemErrorMessage(static_cast<int>(id)) : std::string();
  return ComposeErrorMessage(std::move(text), system);
}

void RaiseSerialError(int code) {
  switch (code) {
#define SER_RAISE(value, name) \
  case value:                  \
    throw name(code);
    SER_EXCEPTION_CODES(SER_RAISE)
#undef SER_RAISE
    default:
      break;
  }
  if (code == ecOutOfMemory) throw EOutOfMemory();
  if (code >= -162 && code <= -2) throw EInOutError(ErrorMessageText(-code), -code);
  throw ESerException(std::string("Serial exception"));
}
