// The serial library's locks, annotated for clang's thread-safety analysis: the
// standard library's mutexes carry no annotations, so the dispatcher's parts lock
// through these. Under other compilers the annotations expand to nothing.
#pragma once

#include <mutex>

#if defined(__clang__)
#define SER_TSA(x) __attribute__((x))
#else
#define SER_TSA(x)
#endif

#define CAPABILITY(x) SER_TSA(capability(x))
#define SCOPED_CAPABILITY SER_TSA(scoped_lockable)
#define GUARDED_BY(x) SER_TSA(guarded_by(x))
#define PT_GUARDED_BY(x) SER_TSA(pt_guarded_by(x))
#define ACQUIRED_AFTER(...) SER_TSA(acquired_after(__VA_ARGS__))
#define ACQUIRED_BEFORE(...) SER_TSA(acquired_before(__VA_ARGS__))
#define REQUIRES(...) SER_TSA(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) SER_TSA(acquire_capability(__VA_ARGS__))
#define RELEASE(...) SER_TSA(release_capability(__VA_ARGS__))
#define EXCLUDES(...) SER_TSA(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) SER_TSA(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS SER_TSA(no_thread_safety_analysis)

// A plain (not recursive) mutex.
class CAPABILITY("mutex") TSerMutex {
 public:
  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// Holds a TSerMutex for its scope.
class SCOPED_CAPABILITY TSerMutexLock {
 public:
  explicit TSerMutexLock(TSerMutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~TSerMutexLock() RELEASE() { mutex_.Unlock(); }
  TSerMutexLock(const TSerMutexLock&) = delete;
  TSerMutexLock& operator=(const TSerMutexLock&) = delete;

 private:
  TSerMutex& mutex_;
};
