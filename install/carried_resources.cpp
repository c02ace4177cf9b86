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
  if (!p.files.WriteFile(FileName, bytes->data(), bytes->size())) throw platform::Error("Cannot create file " + FileName);
}

// The temporary copy is the caller's to remove (or to leave, as the payload's is left).
std::string TFCaiDat::OpenCarriedArchive(const std::string& ResName) {
  const std::string temp = Archiver1->MakeTempFileName("zip", "zip");
  // No name comes back when the temporary folder is missing or refuses a new file; the error then
  // names the folder, where writing to the empty name would name nothing.
  if (temp.empty()) throw platform::Error("Cannot create file in " + platform::Current().files.TempPath());
  ExtractResourceToFile(ResName, "zip", temp);
  Archiver1->Clear();
  Archiver1->SetZipFileName(temp);
  return temp;
}

namespace install {

void WriteEngineLibrary(TFCaiDat& form) {
  const std::string windows = platform::Current().files.WindowsDirectory();
  form.ExtractResourceToFile("ZIPENG179", "dll", windows + "\\ZIPENG179.DLL");
  form.Archiver1->DLLDirectory = windows;
  form.ProgressBar1.StepBy(1);
}

}  // namespace install
