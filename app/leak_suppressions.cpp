// Sanitizer builds only: fontconfig keeps its font cache for the life of
// the process, and the leak checker would report it as the program's.
// (The address sanitizer's runtime asks for this function; other builds
// never call it.)

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

// Nor should the list of suppressions used end up in the program's output.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
