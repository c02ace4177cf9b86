// A stand-in for a program the setup starts: it writes how it was started (command line, working
// folder, the show command it was given) to "started.txt" beside itself, one item a line, and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring record = self;
  record = record.substr(0, record.find_last_of(L'\\')) + L"\\started.txt";

  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  STARTUPINFOW startup{};
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::wstring text =
      std::wstring(GetCommandLineW()) + L"\n" + folder + L"\n" + std::to_wstring(show) + L"\n";

  HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  return 0;
}
