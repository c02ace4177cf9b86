// A library planted beside a copy of the setup under the name of one the setup or a system
// library might look for there. Whatever process loads it, it leaves "<its own file>.loaded"
// beside itself, holding that process's program path (UTF-16), and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t record[MAX_PATH + 8] = {};
  const DWORD n = GetModuleFileNameW(self, record, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  lstrcatW(record, L".loaded");
  wchar_t program[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
  HANDLE file = CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(file, program, length * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
