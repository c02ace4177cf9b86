/* Stand-in for the server's service tool "instsvc.exe". "install ..." records the service and its
   arguments under the server's registry key; "start" starts "fbserver.exe" from this program's
   folder, detached; "stop" ends every running "fbserver.exe"; "remove -z" forgets the service.
   A test makes "start" fail by setting the DWORD "FailStart" to 1 under the stand-in's own key, one
   that no real machine has: the service is then recorded but its server never comes up.
   Plain C: it must fit the size the real tool has in the server tree. */
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

static const char kService[] = "SOFTWARE\\Firebird Project\\Firebird Server\\Stand-in service";

static void OwnFolder(char* folder) {
  char* cut;
  GetModuleFileNameA(NULL, folder, MAX_PATH);
  if ((cut = strrchr(folder, '\\')) != NULL) *cut = '\0';
}

static int Install(const char* arguments) {
  char program[MAX_PATH + 16];
  HKEY key;
  LONG a, p;
  OwnFolder(program);
  strcat(program, "\\fbserver.exe");
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kService, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS) return 1;
  a = RegSetValueExA(key, "Arguments", 0, REG_SZ, (const BYTE*)arguments, (DWORD)strlen(arguments) + 1);
  p = RegSetValueExA(key, "Program", 0, REG_SZ, (const BYTE*)program, (DWORD)strlen(program) + 1);
  RegCloseKey(key);
  return a == ERROR_SUCCESS && p == ERROR_SUCCESS ? 0 : 1;
}

static int Remove(void) {
  const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kService);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

static int StartRefused(void) {
  DWORD fail = 0, size = sizeof fail;
  return RegGetValueA(HKEY_LOCAL_MACHINE, kService, "FailStart", RRF_RT_REG_DWORD, NULL, &fail, &size) == ERROR_SUCCESS &&
         fail != 0;
}

static int Start(void) {
  char folder[MAX_PATH], command[MAX_PATH + 32];
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  if (StartRefused()) return 1;
  OwnFolder(folder);
  snprintf(command, sizeof command, "\"%s\\fbserver.exe\"", folder);
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, NULL, folder,
                      &startup, &process))
    return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

static int Stop(void) {
  PROCESSENTRY32 entry;
  BOOL more;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  entry.dwSize = sizeof entry;
  for (more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    HANDLE process;
    if (lstrcmpiA(entry.szExeFile, "fbserver.exe") != 0) continue;
    if ((process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) != NULL) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)instance, (void)previous, (void)show;
  if (strncmp(command_line, "install", 7) == 0) return Install(command_line + 7 + (command_line[7] == ' '));
  if (strncmp(command_line, "start", 5) == 0) return Start();
  if (strncmp(command_line, "stop", 4) == 0) return Stop();
  if (strncmp(command_line, "remove", 6) == 0) return Remove();
  return 2;
}
