// The leak checker's suppressions for the programs that make windows (the tests
// and benchmarks of the windows), built into each of them.
//
// Fontconfig keeps a cache for the life of the process, which the leak checker of
// the sanitizer build would report as ours. Debian's Qt 6.4 never frees the
// callback of a host lookup that is given up (QHostInfo::abortHostLookup), as a
// connection's reverse lookup is when the peer goes before it ends.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:lookupHost\n";
}
