/* Stand-in for the server's registry tool "instreg.exe": "install -z" records the server's root
   folder (the folder above this program's, with a trailing separator) as "DefaultInstance";
   "remove -z" deletes it. Plain C: it must fit the size the real tool has in the server tree. */
#include <windows.h>

#include <string.h>

static const char kInstances[] = "SOFTWARE\\Firebird Project\\Firebird Server\\Instances";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  const int install = strncmp(command_line, "install", 7) == 0;
  const int remove = strncmp(command_line, "remove", 6) == 0;
  char root[MAX_PATH] = {0};
  HKEY key;
  LONG result;
  (void)instance, (void)previous, (void)show;
  if (!install && !remove) return 2;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstances, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
    return 1;
  if (install) {
    char* cut;
    GetModuleFileNameA(NULL, root, MAX_PATH);
    if ((cut = strrchr(root, '\\')) != NULL) *cut = '\0'; /* the bin folder */
    if ((cut = strrchr(root, '\\')) != NULL) cut[1] = '\0'; /* its parent, with the separator */
    result = RegSetValueExA(key, "DefaultInstance", 0, REG_SZ, (const BYTE*)root, (DWORD)strlen(root) + 1);
  } else {
    result = RegDeleteValueA(key, "DefaultInstance");
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}
