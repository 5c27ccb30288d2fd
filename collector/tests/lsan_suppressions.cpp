// The leak checker's suppressions for the collector's tests that make windows,
// built into each such test program.
//
// Fontconfig keeps a cache for the life of the process, which the leak checker of
// the sanitizer build would report as ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
