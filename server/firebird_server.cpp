// Laying down the carried Firebird server: an older running server is stopped through its own
// uninstall script, the server tree is extracted under the application folder, and the server is
// installed as a service (server machine only) and its runtime installed, all started detached.
#include <string>

#include "app/setup_form.h"
#include "install/key_scope.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "zip/archiver.h"

namespace {

constexpr char kServerProcess[] = "fbserver.exe";
constexpr char kInstances[] = "\\SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
constexpr int kStopWaits = 15;
constexpr uint32_t kWaitMs = 1000;
constexpr char kOldServerStays[] = "Không tháo dỡ được phiên bản cũ của FireBird !";

// The registered server's root folder, ending in a separator; empty when none is registered.
std::string RegisteredServerRoot() {
  platform::Registry machine(platform::RootKey::LocalMachine);
  install::KeyScope key(machine, kInstances, install::KeyScope::kReadOnly);
  return key ? machine.ReadString("DefaultInstance") : std::string();
}

// True when the old server is gone. Its script is started only from the folder the registry
// names: with no registered root the script's path would be relative to the current folder, and
// whatever "bin\uninstall.bat" lies there would run elevated. The wait decides either way, and the
// server counts as stopped when the probe after the last wait no longer finds it.
bool StopOldServer(TFCaiDat& form) {
  auto& p = platform::Current();
  if (const std::string root = RegisteredServerRoot(); !root.empty()) {
    const std::string folder = root + "bin";
    p.shell.Execute("", folder + "\\uninstall.bat", "", folder, platform::kSwHide);
  }
  bool running = true;
  for (int waits = 0; running && waits < kStopWaits; ++waits) {
    p.clock.Sleep(kWaitMs);
    running = form.IsProcessRunning(kServerProcess) != 0;
  }
  return !running;
}

}  // namespace

void TFCaiDat::InstallFirebirdServer(const std::string& AppPath, bool IsServer) {
  auto& p = platform::Current();
  FOldServerNotRemoved = false;
  if (IsProcessRunning(kServerProcess) && !StopOldServer(*this)) {
    FOldServerNotRemoved = true;
    p.boxes.Show(Handle(), kOldServerStays, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
  }

  const std::string temp = OpenCarriedArchive("firebird");
  Archiver1->FSpecArgs.clear();
  Archiver1->ExtrBaseDir = AppPath;
  Archiver1->ExtrOptions.Add(zip::ExtrOptsEnum::ExtrDirNames).Add(zip::ExtrOptsEnum::ExtrOverWrite);
  Archiver1->Extract();  // failures are shown by the component itself
  Archiver1->Clear();
  p.files.DeleteFile(temp);

  const std::string bin = AppPath + "\\Firebird-2.5.7.2\\bin\\";
  if (IsServer) p.shell.Execute("open", AppPath + "\\Firebird-2.5.7.2\\bin\\install_super.bat", "", bin, platform::kSwHide);
  p.shell.Execute("", AppPath + "\\Firebird-2.5.7.2\\system32\\vccrt8_win32.msi", "", bin, platform::kSwHide);
}
