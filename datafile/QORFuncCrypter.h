// TSimpleCrypter: values written to a stream with a check byte, optionally salted,
// and the time stamp written and verified that way.
//
// A checked value is stored as its bytes unchanged, then (when salted) a random
// 4-byte salt, little-endian, then the check byte: the running sum, mod 256, of
// every value and salt byte since the last stamp. The salt only varies the check
// byte from one file to the next.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/object.h"

namespace platform {
class Stream;
}

class TSimpleCrypter : public TObject {
 public:
  // Salted, and seeds the program's generator from the clock for the salts.
  TSimpleCrypter();
  // Destroying the shared instance, however it happens, forgets it.
  ~TSimpleCrypter() override;
  std::string_view ClassName() const override { return "TSimpleCrypter"; }

  // The shared instance. Request 0 returns it, or none; 1 creates it when there is
  // none and returns it. Request 2 forgets it without freeing it and returns what
  // it forgot (or none): the caller then owns that instance and frees it. Other
  // requests raise Exception "Illegal request <n> in AccessInstance". What
  // requests 0 and 1 return belongs to the shared access: callers never free it
  // (ReleaseInstance does). Not thread-safe: the instance is used from the main
  // thread.
  static TSimpleCrypter* AccessInstance(int request);
  // AccessInstance(1).
  static TSimpleCrypter& Instance();
  // Frees the shared instance, if any.
  static void ReleaseInstance();

  // Sum := 0, then reads a checked 8-byte date-time value and returns it.
  virtual double VerifyStamp(platform::Stream& stream);
  // Sum := 0, then writes the current local date and time as a checked value.
  virtual void WriteStamp(platform::Stream& stream);
  // Reads a checked value of Count bytes into Buffer and returns Count. Raises
  // Exception "Exception:Checksum error" when the check byte differs from the sum,
  // and likewise when the stream ends early: a check byte that is not there cannot
  // match.
  virtual int32_t ReadChecked(platform::Stream& stream, void* buffer, int32_t count);
  // Writes Buffer's Count bytes as a checked value and returns how many of them
  // the stream took; a stream that takes fewer raises nothing, so the caller
  // learns it from the result. The sum counts the bytes written.
  virtual int32_t WriteChecked(platform::Stream& stream, const void* buffer, int32_t count);

  uint8_t Sum() const { return sum_; }
  void SetSum(uint8_t value) { sum_ = value; }
  bool Salted() const { return salted_; }
  void SetSalted(bool value) { salted_ = value; }

 private:
  void AddToSum(const void* buffer, int32_t count);

  uint8_t sum_ = 0;
  bool salted_ = true;
};
