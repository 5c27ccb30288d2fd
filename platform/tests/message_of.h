// The message of the exception a piece of code raises, for tests that compare it
// with the system's exact text.
#pragma once

#include <string>

namespace platform_test {

// The message of the exception of class E that F raises; "(none)" when F returns.
template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(none)";
}

}  // namespace platform_test
