// The leak checker's suppressions for the programs that make windows (the tests
// and benchmarks of the windows), built into each of them.
//
// Fontconfig keeps a cache for the life of the process, which the leak checker of
// the sanitizer build would report as ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
