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
  // Lets go without freeing: the instance is being destroyed by someone else, or
  // handed to whoever asked to forget it.
  TSimpleCrypter* Forget() { return instance_.release(); }

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
  // This is the instance being destroyed: the holder lets go of it, nothing more.
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
      return shared_instance.Forget();
    default:
      throw Exception("Illegal request " + std::to_string(request) + " in AccessInstance");
  }
  return shared_instance.Get();
}

TSimpleCrypter& TSimpleCrypter::Instance() {
  return *AccessInstance(1);
}

void TSimpleCrypter::ReleaseInstance() {
  shared_instance.Free();
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
  // Whatever the stream lacks leaves the check byte missing, and a missing check
  // byte is a failed check, not a read error.
  const int32_t read = static_cast<int32_t>(stream.Read(buffer, count));
  AddToSum(buffer, read);
  bool complete = read == count;
  if (salted_ && complete) {
    uint8_t salt[4];
    complete = stream.Read(salt, sizeof salt) == sizeof salt;
    if (complete) AddToSum(salt, sizeof salt);
  }
  uint8_t check = 0;
  if (!complete || stream.Read(&check, 1) != 1 || check != sum_)
    throw Exception("Exception:Checksum error");
  return read;
}

int32_t TSimpleCrypter::WriteChecked(platform::Stream& stream, const void* buffer, int32_t count) {
  if (count < 0) count = 0;
  const int32_t written = static_cast<int32_t>(stream.Write(buffer, count));
  AddToSum(buffer, written);
  if (salted_) {
    const uint32_t salt = static_cast<uint32_t>(platform::Random().Below(kSaltBound));
    const uint8_t bytes[4] = {static_cast<uint8_t>(salt), static_cast<uint8_t>(salt >> 8),
                              static_cast<uint8_t>(salt >> 16), static_cast<uint8_t>(salt >> 24)};
    AddToSum(bytes, static_cast<int32_t>(stream.Write(bytes, sizeof bytes)));
  }
  stream.Write(&sum_, 1);
  return written;
}

void TSimpleCrypter::AddToSum(const void* buffer, int32_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i)
    sum_ = static_cast<uint8_t>(sum_ + bytes[i]);
}
