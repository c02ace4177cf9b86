// The program: one form, its message loop, and nothing read from the command line.
#include <exception>
#include <memory>

#include "app/setup_form.h"
#include "platform/win32/library_search.h"
#include "ui/backend.h"

#include <windows.h>

namespace {

int RunSetup() {
  try {
    // First of all: the setup runs elevated from wherever it was saved, and nothing lying beside
    // it may be loaded in its place.
    const platform::win32::RestrictedLibrarySearch system_libraries_only;
    TFCaiDat form;
    form.Show();
    ui::CurrentBackend().Run(form);
  } catch (...) {
    ui::ShowException(std::current_exception());
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetup(); }
