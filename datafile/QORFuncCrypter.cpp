#include "datafile/QORFuncCrypter.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/date_time.h"
#include "platform/exception.h"
#include "platform/random.h"
#include "platform/stream.h"

namespace {

// Holds the shared instance. Whatever frees it empties the holder first, so that
// the instance's destructor, which forgets the shared instance when it is the one
// dying, finds nothing left to forget, also at the program's end.
class InstanceHolder {
 public:
  constexpr InstanceHolder() = default;
  ~InstanceHolder() { Free(); }
  InstanceHolder(const InstanceHolder&) = delete;
  InstanceHolder& operator=(const InstanceHolder&) = delete;

  TSimpleCrypter* Get() const { return instance_.get(); }
  void Create() { instance_ = std::make_unique<TSimpleCrypter>(); }
  void Free() { std::unique_ptr<TSimpleCrypter> doomed = std::move(instance_); }
  // The instance is being destroyed by someone else: let go without freeing.
  void Forget() { [[maybe_unused]] TSimpleCrypter* dying = instance_.release(); }

 private:
  std::unique_ptr<TSimpleCrypter> instance_;
};

constinit InstanceHolder shared_instance;

constexpr int32_t kSaltBound = 2147483647;

}  // namespace

TSimpleCrypter::TSimpleCrypter() {
  platform::Random().Randomize();
}

TSimpleCrypter::~TSimpleCrypter() {
  if (shared_instance.Get() == this) shared_instance.Forget();
}

TSimpleCrypter* TSimpleCrypter::AccessInstance(int request) {
  switch (request) {
    case 0:
      break;
    case 1:
      if (!shared_instance.Get()) shared_instance.Create();
      break;
    case 2:
      shared_instance.Free();
      break;
    default:
      throw Exception("Illegal request " + std::to_string(request) + " in AccessInstance");
  }
  return shared_instance.Get();
}

TSimpleCrypter& TSimpleCrypter::Instance() {
  return *AccessInstance(1);
}

void TSimpleCrypter::ReleaseInstance() {
  AccessInstance(2);
}

double TSimpleCrypter::VerifyStamp(platform::Stream& stream) {
  sum_ = 0;
  double stamp = 0;
  ReadChecked(stream, &stamp, sizeof stamp);
  return stamp;
}

void TSimpleCrypter::WriteStamp(platform::Stream& stream) {
  sum_ = 0;
  const double now = platform::Now();
  WriteChecked(stream, &now, sizeof now);
}

int32_t TSimpleCrypter::ReadChecked(platform::Stream& stream, void* buffer, int32_t count) {
  if (count < 0) count = 0;
  stream.ReadBuffer(buffer, count);
  AddToSum(buffer, count);
  if (salted_) {
    uint8_t salt[4];
    stream.ReadBuffer(salt, sizeof salt);
    AddToSum(salt, sizeof salt);
  }
  uint8_t check = 0;
  stream.ReadBuffer(&check, 1);
  if (check != sum_) throw Exception("Exception:Checksum error");
  return count;
}

int32_t TSimpleCrypter::WriteChecked(platform::Stream& stream, const void* buffer, int32_t count) {
  if (count < 0) count = 0;
  stream.WriteBuffer(buffer, count);
  AddToSum(buffer, count);
  if (salted_) {
    const uint32_t salt = static_cast<uint32_t>(platform::Random().Below(kSaltBound));
    const uint8_t bytes[4] = {static_cast<uint8_t>(salt), static_cast<uint8_t>(salt >> 8),
                              static_cast<uint8_t>(salt >> 16), static_cast<uint8_t>(salt >> 24)};
    stream.WriteBuffer(bytes, sizeof bytes);
    AddToSum(bytes, sizeof bytes);
  }
  stream.WriteBuffer(&sum_, 1);
  return count;
}

void TSimpleCrypter::AddToSum(const void* buffer, int32_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i)
    sum_ = static_cast<uint8_t>(sum_ + bytes[i]);
}
