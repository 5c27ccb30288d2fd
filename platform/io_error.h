// The runtime's input/output and out-of-memory exception classes.
#pragma once

#include <string>

#include "platform/exception.h"

// A file or device operation failed; ErrorCode is the runtime's (Windows) error number.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& message, int error_code)
      : Exception(message), error_code_(error_code) {}
  int ErrorCode() const { return error_code_; }

 private:
  int error_code_;
};

// Memory could not be allocated ("Out of memory").
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
};
