/* Stand-in for "REGSVR32.exe": records the control it was asked to register, as a full path, in
   the value "RegisteredControl" under the setup's settings key of the current user. Plain C: it
   must fit the size the real program has in the payload. */
#include <windows.h>

#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  char control[MAX_PATH], full[MAX_PATH];
  size_t length = strlen(command_line);
  HKEY key;
  LONG result;
  (void)instance, (void)previous, (void)show;
  if (length >= 2 && command_line[0] == '"' && command_line[length - 1] == '"') ++command_line, length -= 2;
  if (length == 0 || length >= MAX_PATH) return 2;
  memcpy(control, command_line, length);
  control[length] = '\0';
  if (!GetFullPathNameA(control, MAX_PATH, full, NULL)) return 1;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuenlarVN\\ERP\\Accounting", 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                      NULL) != ERROR_SUCCESS)
    return 1;
  result = RegSetValueExA(key, "RegisteredControl", 0, REG_SZ, (const BYTE*)full, (DWORD)strlen(full) + 1);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}
