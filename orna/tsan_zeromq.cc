// ThreadSanitizer, in the ThreadSanitizer build: libzmq is not instrumented, so the
// sanitizer sees its I/O thread copy and free our message buffers but not the
// synchronisation that hands them over, and reports races that aren't. Accesses made
// from inside libzmq are left out, and from inside libsodium, which decrypts CURVE
// messages into libzmq's buffers on its I/O thread; our own code stays checked. The same holds for
// cpp-httplib, the compiled HTTP library of the viewer, whose worker threads hand each
// other connections through locks the sanitizer can't see. OrnaPartyOf reads a
// message's metadata (its peer's address, the admitted CURVE key), which libzmq's I/O
// thread wrote before handing the message over; the reads of that one function are left
// out too. Compiled into every program that links the library, in the ThreadSanitizer
// build only.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libzmq.so.5\n"
         "called_from_lib:libsodium.so.23\n"
         "called_from_lib:libcpp-httplib.so\n"
         "race:OrnaPartyOf\n";
}
