// The program: one form, its message loop, and nothing read from the command line.
#include <exception>
#include <memory>

#include "app/setup_form.h"
#include "ui/backend.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int RunSetup() {
  try {
    TFCaiDat form;
    form.Show();
    ui::CurrentBackend().Run(form);
  } catch (...) {
    ui::ShowException(std::current_exception());
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetup(); }
#else
int main() { return RunSetup(); }
#endif
