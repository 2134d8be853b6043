// LeakSanitizer asks every program for suppressions through this hook; it is
// an ordinary unused function in builds without the sanitizer.
//
// fontconfig loses a few hundred bytes while it parses its configuration
// files, once per process; that is the system library's leak, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
