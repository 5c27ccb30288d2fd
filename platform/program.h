// The running program's identity: its own full file name and the application title.
#pragma once

#include <string>

namespace platform {

// The program file's full path (Windows-1252 text), as ParamStr(0) gives it.
std::string ProgramPath();

// Puts Path in place of the program's path while this object lives, for tests of
// what the program looks for beside itself.
class ScopedProgramPath {
 public:
  explicit ScopedProgramPath(std::string path);
  ~ScopedProgramPath();
  ScopedProgramPath(const ScopedProgramPath&) = delete;
  ScopedProgramPath& operator=(const ScopedProgramPath&) = delete;

 private:
  std::string previous_;
  bool had_previous_;
};

// The application title: set by the program (and shown by the windowing system);
// until then the program file's name without its extension.
std::string ApplicationTitle();
void SetApplicationTitle(std::string title);

}  // namespace platform
