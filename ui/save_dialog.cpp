#include "ui/save_dialog.h"

#include "ui/backend.h"

namespace ui {

bool SaveDialog::Execute() {
  std::optional<std::wstring> chosen = CurrentBackend().RunSaveDialog(*this);
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

}  // namespace ui
