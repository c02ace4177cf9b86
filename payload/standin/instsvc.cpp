// Stand-in for the server's service tool "instsvc.exe". "install ..." records the service and its
// arguments under the server's registry key; "start" starts "fbserver.exe" from this program's
// folder, detached; "stop" ends every running "fbserver.exe"; "remove -z" forgets the service.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>

namespace {
constexpr char kService[] = "SOFTWARE\\Firebird Project\\Firebird Server\\Stand-in service";

std::string OwnFolder() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  return path.substr(0, path.find_last_of('\\'));
}

int Install(const char* arguments) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kService, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  const std::string program = OwnFolder() + "\\fbserver.exe";
  LONG a = RegSetValueExA(key, "Arguments", 0, REG_SZ, reinterpret_cast<const BYTE*>(arguments), DWORD(std::strlen(arguments) + 1));
  LONG p = RegSetValueExA(key, "Program", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()), DWORD(program.size() + 1));
  RegCloseKey(key);
  return a == ERROR_SUCCESS && p == ERROR_SUCCESS ? 0 : 1;
}

int Remove() {
  const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kService);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

int Start() {
  std::string command = "\"" + OwnFolder() + "\\fbserver.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP,
                      nullptr, OwnFolder().c_str(), &startup, &process))
    return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

int Stop() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, "fbserver.exe") != 0) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
  return 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  if (std::strncmp(command_line, "install", 7) == 0) return Install(command_line + 7 + (command_line[7] == ' '));
  if (std::strncmp(command_line, "start", 5) == 0) return Start();
  if (std::strncmp(command_line, "stop", 4) == 0) return Stop();
  if (std::strncmp(command_line, "remove", 6) == 0) return Remove();
  return 2;
}
