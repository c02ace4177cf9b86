#include <cstdint>
#include <string>

#include "app/path_rules.h"
#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "install/key_scope.h"
#include "platform/clock.h"
#include "platform/codepages.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace {

using install::KeyScope;

constexpr char kServerType[] = "Firebird";
constexpr char kServerProcess[] = "fbserver.exe";
constexpr int kServerProbes = 15;
constexpr uint32_t kProbeIntervalMs = 1000;
constexpr char kServerNotSeen[] =
    "Không cài đặt được FireBird Server!\r\nCần có quyền quản trị đối với tài khoản người sử dụng Windows";

constexpr char kFolderNotMade[] = "Không tạo được thư mục ứng dụng:\r\n%s\r\n"
                                 "Hãy chọn thư mục khác; thư mục chứa nó phải có sẵn và cho phép ghi.";

// One level is made; a folder that exists already is what an upgrade finds. A folder that is not
// there afterwards (its parent is missing, a file has its name, writing is denied) stops the run
// before anything is recorded: the steps after it would point the settings at a folder that does
// not exist and end in a box that asks to close an application which is not running.
bool CreateApplicationFolder(TFCaiDat& form, const std::string& folder) {
  auto& p = platform::Current();
  p.files.CreateDir(folder);
  // An empty text names the current folder (paths then start at its drive's top); nothing to make.
  if (folder.empty() || p.files.DirectoryExists(folder)) return true;
  std::string text = kFolderNotMade;
  text.replace(text.find("%s"), 2, p.codepages.WideToUtf8(form.Edit_AppPath.Text()));
  p.boxes.Show(form.Handle(), text, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
  return false;
}

// A value the run records. A key that does not open ends the run as a refused write does: going
// on would report a completed installation whose settings were never recorded.
void Record(platform::Registry& registry, const std::string& key_path, const std::string& name,
            const std::string& value) {
  KeyScope key(registry, key_path, KeyScope::kCreate);
  if (!key) throw platform::Error("Failed to open key '" + key_path + "'");
  registry.WriteString(name, value);
}

void RecordSettings(TFCaiDat& form, const std::string& folder) {
  Record(*form.FMachineRegistry, form.FSettingsKey, "AppPath", folder);
  Record(*form.FUserRegistry, form.FSettingsKey, "hecsdl", kServerType);
}

// ".fdb" files open in the application. The folder is taken as typed, so one ending in "\" gives a
// doubled separator, which Windows accepts.
void RegisterDatabaseFileType(const std::string& folder) {
  const std::string program = "\"" + folder + "\\zozazera.exe\"";
  const struct {
    const char* key;
    std::string value;
  } entries[] = {
      {".fdb", "zozazera_db"},
      {"zozazera_db\\shell\\open\\command", program + " \"%1\""},
      {"zozazera_db\\DefaultIcon", program + ",0"},
  };
  platform::Registry classes(platform::RootKey::ClassesRoot);
  for (const auto& entry : entries) Record(classes, entry.key, "", entry.value);
}

// The server's tools run scripts through the command prompt, which a policy may forbid.
void AllowCommandPrompt() {
  platform::Registry user(platform::RootKey::CurrentUser);
  if (KeyScope key(user, "Software\\Policies\\Microsoft\\Windows\\System", KeyScope::kCreate); key)
    user.WriteInteger("DisableCMD", 0);
}

// Started by its full path in the application folder: a bare name would let the elevated setup
// run whatever "REGSVR32.exe" the search finds first. Not waited for; its result is not used.
void RegisterKeyHelpControl(const std::string& folder) {
  platform::Current().shell.Execute("", folder + "\\REGSVR32.exe", "KeyHelp.ocx", folder, platform::kSwHide);
}

bool WaitForServerProcess(TFCaiDat& form) {
  for (int probe = 0; probe < kServerProbes; ++probe) {
    if (form.IsProcessRunning(kServerProcess)) return true;
    platform::Current().clock.Sleep(kProbeIntervalMs);
  }
  platform::Current().boxes.Show(form.Handle(), kServerNotSeen, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
  return false;
}

}  // namespace

bool TFCaiDat::RunInstallation() {
  const std::string folder = Ansi(Edit_AppPath.Text());
  ProgressBar1.SetVisible(true);
  FOldServerNotRemoved = false;

  // The folder page refuses a folder that Windows would change or that cannot hold what the run
  // lays down; checked again here, a folder that comes another way (one an earlier setup
  // recorded) makes and records nothing before it would fail part way.
  if (Refused(app::FolderRefusal(Edit_AppPath.Text(), LongestPathBelowFolder(), false))) return false;
  if (!CreateApplicationFolder(*this, folder)) return false;
  MigrateSettings();
  RecordSettings(*this, folder);
  RegisterDatabaseFileType(folder);
  install::WriteEngineLibrary(*this);
  AllowCommandPrompt();
  InstallFirebirdServer(folder, rdo_MayChu.Checked());
  if (!DeployApplicationFiles()) return false;
  if (chk_TaoCSDL.Checked()) CreateDatabaseFile();
  CreateShortcuts();
  RegisterKeyHelpControl(folder);
  // The firewall is told of the folder the files went to, not of the box's text.
  AuthorizeFirewall(FromAnsi(folder));

  if (FOldServerNotRemoved) return false;
  // Only the server machine installs and starts a server; a workstation has none to wait for.
  if (!rdo_MayChu.Checked()) return true;
  return WaitForServerProcess(*this);
}
