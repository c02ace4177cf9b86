/* A stand-in for the application's database library, loaded from a file by the simulated machine:
   it "creates" the database by answering with the path it was given, ".fdb" added. The answer lives
   in the library's own memory, so it is gone once the library is unloaded. */
#include <stdio.h>

static char made[1024];

const char* TaoCSDL(void* owner, const char* regime, const char* path) {
  (void)owner;
  (void)regime;
  snprintf(made, sizeof made, "%s.fdb", path);
  return made;
}
