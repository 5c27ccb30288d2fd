// The peak resident memory an operation adds, for the benchmarks: from the kernel's
// high-water mark, reset before the operation. It sees an operation's own memory
// only when large blocks go back to the system as they are freed, which a
// benchmark's main ensures with mallopt(M_MMAP_THRESHOLD, 128 * 1024).
#pragma once

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace qor_bench {

// A value of /proc/self/status in kB, or -1.
inline int64_t ProcStatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::atoll(line.c_str() + prefix.size());
  }
  return -1;
}

// The peak resident memory Op adds, in bytes, or -1 where the kernel cannot tell.
template <typename Op>
double PeakMemoryOf(Op op) {
  malloc_trim(0);
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    if (!clear) return -1;
  }
  const int64_t before = ProcStatusKb("VmRSS");
  op();
  const int64_t peak = ProcStatusKb("VmHWM");
  if (before < 0 || peak < 0) return -1;
  return static_cast<double>(peak - before) * 1024.0;
}

}  // namespace qor_bench
