// Overflows a signed integer on purpose. Built only in the fuzz tree, where it must
// die at the undefined-behaviour sanitizer's report: libFuzzer keeps an input only
// when the target dies, so a report that lets the run go on would lose the input
// that found the fault. The test that runs it expects it to fail.
#include <climits>
#include <cstdio>

int main(int argc, char**) {
  volatile int largest = INT_MAX;
  const int overflowed = largest + argc;
  std::printf("%d: the sanitizer let the overflow pass\n", overflowed);
  return 0;
}
