// Stand-in for "REGSVR32.exe": records the control it was asked to register, as a full path, in
// the value "RegisteredControl" under the setup's settings key of the current user.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  std::string control = command_line;
  if (control.size() >= 2 && control.front() == '"' && control.back() == '"') control = control.substr(1, control.size() - 2);
  if (control.empty()) return 2;
  char full[MAX_PATH] = {};
  if (!GetFullPathNameA(control.c_str(), MAX_PATH, full, nullptr)) return 1;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuenlarVN\\ERP\\Accounting", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return 1;
  const LONG result = RegSetValueExA(key, "RegisteredControl", 0, REG_SZ, reinterpret_cast<const BYTE*>(full),
                                     DWORD(lstrlenA(full) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}
