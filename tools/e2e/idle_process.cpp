// A program that only waits: the driver copies it under the name of the process a scenario needs
// to be running (the database server) and ends it when the scenario is done.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Never left running for long should the driver die first.
  Sleep(10 * 60 * 1000);
  return 0;
}
