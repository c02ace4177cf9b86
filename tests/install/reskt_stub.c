/* A stand-in for the application's database library, loaded from a file: it "creates" the database
   by answering with the path it was given, the regime and ".fdb" added. The answer lives in the
   library's own memory, so it is gone once the library is unloaded. On Windows the entry point
   takes the standard calling convention and is exported undecorated, as reskt.dll's is. */
#include <stdio.h>

#if defined(_WIN32)
#define LIBRARY_ENTRY __declspec(dllexport) const char* __stdcall
#else
#define LIBRARY_ENTRY const char*
#endif

static char made[1024];

LIBRARY_ENTRY TaoCSDL(void* owner, const char* regime, const char* path) {
  (void)owner;
  snprintf(made, sizeof made, "%s_%s.fdb", path, regime);
  return made;
}
