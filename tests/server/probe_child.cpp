// A process for the probe to find: it waits until the test ends it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Sleep(5 * 60 * 1000);
  return 0;
}
