// The resources the setup carries: writing one to a file, and opening a carried archive through a
// temporary copy.
#include <string>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "zip/archiver.h"

// The bytes go from the loaded module to the file in one write, with no copy in between; the
// platform writes beside the destination and moves over it, so a failed write leaves an earlier
// file as it was.
void TFCaiDat::ExtractResourceToFile(const std::string& ResName, const std::string& ResType, const std::string& FileName) {
  auto& p = platform::Current();
  const auto bytes = p.resources.Find(ResType, ResName);
  if (!bytes) throw platform::Error("Resource " + ResName + " not found");
  install::WriteWholeFile(FileName, bytes->data(), bytes->size());
}

// The copy belongs to the component from here on: it deletes it when it lets go of it (the next
// opening, clearing it after the server's extraction, or the form's end), so no run leaves a
// copy of the payload in the temporary folder. The earlier copy goes before the new one is
// written: on a crowded temporary folder its room may be what the new one needs.
std::string TFCaiDat::OpenCarriedArchive(const std::string& ResName) {
  Archiver1->Clear();
  const std::string temp = Archiver1->MakeTempFileName("zip", "zip");
  // No name comes back when the temporary folder is missing or refuses a new file; the error then
  // names the folder, where writing to the empty name would name nothing.
  if (temp.empty()) throw platform::Error("Cannot create file in " + platform::Current().files.TempPath());
  ExtractResourceToFile(ResName, "zip", temp);
  Archiver1->SetTemporaryZipFileName(temp);
  return temp;
}

namespace install {

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
  platform::WriteFailure failure = platform::WriteFailure::None;
  if (platform::Current().files.WriteFile(path, data, size, &failure)) return;
  if (failure == platform::WriteFailure::DiskFull) throw platform::EDiskFull(path);
  throw platform::Error("Cannot create file " + path);
}

void WriteEngineLibrary(TFCaiDat& form) {
  const std::string windows = platform::Current().files.WindowsDirectory();
  form.ExtractResourceToFile("ZIPENG179", "dll", windows + "\\ZIPENG179.DLL");
  form.Archiver1->DLLDirectory = windows;
  form.ProgressBar1.StepBy(1);
}

}  // namespace install
