// Stand-in for the server's registry tool "instreg.exe": "install -z" records the server's root
// folder (the folder above this program's, with a trailing separator) as "DefaultInstance";
// "remove -z" deletes it.
#include <windows.h>

#include <cstring>
#include <string>

namespace {
constexpr char kInstances[] = "SOFTWARE\\Firebird Project\\Firebird Server\\Instances";

std::string RootFolder() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  path.erase(path.find_last_of('\\'));      // the bin folder
  path.erase(path.find_last_of('\\') + 1);  // its parent, with the separator
  return path;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  const bool install = std::strncmp(command_line, "install", 7) == 0;
  const bool remove = std::strncmp(command_line, "remove", 6) == 0;
  if (!install && !remove) return 2;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstances, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return 1;
  LONG result;
  if (install) {
    const std::string root = RootFolder();
    result = RegSetValueExA(key, "DefaultInstance", 0, REG_SZ, reinterpret_cast<const BYTE*>(root.c_str()),
                            DWORD(root.size() + 1));
  } else {
    result = RegDeleteValueA(key, "DefaultInstance");
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}
