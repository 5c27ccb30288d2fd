// ThreadSanitizer's suppressions for the tests of the Qt-backed code, built into
// each test program so that every ThreadSanitizer build uses them.
//
// Debian's Qt is built without ThreadSanitizer, and its mutexes, wait conditions
// and reference counts work on futexes and atomics the tool cannot see. Where our
// code hands work across threads through Qt's event queue, event_loop.cpp makes
// the handover visible with a lock both sides pass. What remains below is a
// handover that happens entirely inside Qt, out of our reach:
//
// - libQt6Network: QHostInfo::lookupHost (the sockets' reverse lookup of a peer's
//   name) runs the lookup on a thread of Qt's own pool. Qt allocates the request,
//   its texts and a QPointer to the receiver on the user-interface thread and frees
//   them on the pool thread after handing them over through the pool's queue, and
//   the receiver's weak-pointer count is shared between our inlined QPointer and
//   Qt's uninstrumented copy. The tool sees the allocation and the free without the
//   handover between them and reports a race on freed memory. Our sockets are used
//   on the user-interface thread only, so no race of ours can hide behind this.
// - QWaitCondition: when that pool's thread ends (idle, or at the program's end),
//   Qt wakes and destroys the thread's wait condition under its own futex-based
//   mutex, which the tool does not see. The code under test uses no
//   QWaitCondition of its own (the event-loop glue waits on std::condition_variable).
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Network.so\n"
         "race:QWaitCondition\n";
}
