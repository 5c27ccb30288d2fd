// Error codes and exceptions of the serial library.
//
// Inside the library every operation returns an integer: 0 or more for success, a
// negative code for a failure (-1000s general, -2000s opening, -3000s serial I/O,
// -5000s triggers, -2 to -162 runtime file errors, ...). Only at the border to the
// application (the port component) is a negative code raised as an exception: one
// class per listed code, grouped in families under ESerException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "serial/SerExceptList.h"

// Codes the library itself produces.
constexpr int ecOK = 0;
constexpr int ecOutOfMemory = -8;
constexpr int ecBadArgument = -1002;
constexpr int ecBadId = -2001;
constexpr int ecCommNotOpen = -2007;
constexpr int ecAlreadyOpen = -2008;
constexpr int ecNoPortSelected = -2011;
constexpr int ecNotOpenedByTapi = -2012;
constexpr int ecNullApi = -3001;
constexpr int ecPutBlockFail = -3004;
constexpr int ecGetBlockFail = -3005;
constexpr int ecOutputBufferTooSmall = -3006;
constexpr int ecBufferIsEmpty = -3007;
constexpr int ecBaseAddressNotSet = -3010;

// The base of the library's exceptions: the message and the code that raised it.
class ESerException : public Exception {
 public:
  // CreateCode: ErrorCode := Code; the message is ErrorMessageText(|Code|).
  explicit ESerException(int code);
  // CreateText: ErrorCode := 0; the message is Text.
  explicit ESerException(const std::string& text);
  // The code's exception with a message that says more than the table's.
  ESerException(int code, const std::string& text);

  int32_t ErrorCode() const { return error_code_; }

 private:
  int32_t error_code_;
};

#define SER_DECLARE_FAMILY(name)        \
  class name : public ESerException {   \
   public:                              \
    using ESerException::ESerException; \
  };
#define SER_DECLARE_CLASS(name, family) \
  class name : public family {          \
   public:                              \
    using family::family;               \
  };
SER_EXCEPTION_FAMILIES(SER_DECLARE_FAMILY)
SER_EXCEPTION_CLASSES(SER_DECLARE_CLASS)
#undef SER_DECLARE_FAMILY
#undef SER_DECLARE_CLASS

// The longest message an error number gives.
constexpr size_t kMaxErrorMessage = 255;

// The message for an error number (made non-negative first): the error table's text,
// else the system's message cleaned by CleanSystemMessage, else empty; at most
// kMaxErrorMessage characters.
std::string ErrorMessageText(int number);
// ErrorMessageText's rule over the two texts found for a number: Table_text, else
// the first kMaxErrorMessage characters of System_text cleaned; cut to
// kMaxErrorMessage.
std::string ComposeErrorMessage(std::string table_text, std::string_view system_text);
// Control characters become blanks, then every run of blanks shrinks to one.
std::string CleanSystemMessage(std::string text);

// Raises the exception of a negative code: its listed class; for -2 to -162 the
// runtime's input/output error (EInOutError with |Code|, or EOutOfMemory for -8);
// plain ESerException "Serial exception" for any other code.
[[noreturn]] void RaiseSerialError(int code);
