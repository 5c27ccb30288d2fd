// The exception classes of the runtime that the whole system raises and catches.
//
// Messages are texts in the Windows-1252 code page, like every other text of the
// system; what() returns them unchanged.
#pragma once

#include <stdexcept>
#include <string>

// The general exception class: carries only its message.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A stream could not deliver the bytes asked for ("Stream read error").
class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
  explicit EReadError(const std::string& message) : Exception(message) {}
};

// A stream could not take the bytes given ("Stream write error").
class EWriteError : public Exception {
 public:
  EWriteError() : Exception("Stream write error") {}
  explicit EWriteError(const std::string& message) : Exception(message) {}
};

// A file could not be opened: "Cannot open file "<name>". <reason>".
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// A file could not be created or replaced: "Cannot create file "<name>". <reason>".
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// A value could not be converted: bad number texts, invalid dates, impossible assignments.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside a list: "List index out of bounds (<index>)".
class EListError : public Exception {
 public:
  using Exception::Exception;
};
