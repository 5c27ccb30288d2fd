// A second start of a program, for the single-instance tests: it makes the
// application object and asks the guard, as the program does before its first
// window. Its exit code tells the test what the guard said: 0 this is the only
// instance, 3 another runs (and this one gave way as it should), 4 another runs but
// this one was not ended.
#include <cstdlib>

#include "collector/OnlyOne.h"
#include "platform/program.h"
#include "platform/qt/application.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (argc > 1) platform::SetApplicationTitle(argv[1]);
  platform::qt::TApplication app(argc, argv);
  if (TOnlyOne::CheckAtStart()) return 0;
  const bool gave_way = app.Terminated() && platform::ApplicationTitle() == "destroy me";
  return gave_way ? 3 : 4;
}
