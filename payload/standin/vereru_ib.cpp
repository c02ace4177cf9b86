// Stand-in for the application "zozazera.exe": a window titled "Quenlar Accounting" that shows
// the folder it runs from and the database path the setup recorded for the user.
#include <windows.h>

#include <string>

namespace {

std::string DatabasePath() {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, "Software\\QuenlarVN\\ERP\\Accounting", "DataBase", RRF_RT_REG_SZ, nullptr, value,
                   &size) != ERROR_SUCCESS)
    return "(none)";
  return value;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder = self;
  folder.erase(folder.find_last_of('\\'));
  const std::string text = "Folder: " + folder + "\r\nDatabase: " + DatabasePath();

  WNDCLASSA window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = "QuenlarAccounting";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("QuenlarAccounting", "Quenlar Accounting", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              520, 160, nullptr, nullptr, instance, nullptr);
  CreateWindowA("STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 12, 12, 480, 80, window, nullptr, instance, nullptr);
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
