#include <cstdio>
#include <string>

#include "app/setup_form.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/shell_links.h"

namespace {

struct LinkRow {
  const char* name;     // as the shell shows it, without ".lnk"
  const char* program;  // appended to the application folder
};

constexpr LinkRow kDesktopLinks[] = {
    {"Quenlar Accounting", "\\zozazera.exe"},
    {"Huong Dan Su dung Quenlar Accounting", "\\HuongDanSuDung.chm"},
    {"Ho tro tu xa Quenlar Accounting", "\\HoTroTuXa.exe"},
};
constexpr LinkRow kGroupLinks[] = {
    {"Quenlar Accounting", "\\zozazera.exe"},
    {"Huong Dan Su dung", "\\HuongDanSuDung.chm"},
    {"Ho tro tu xa", "\\HoTroTuXa.exe"},
    {"Uninstall Quenlar Accounting", "\\uninsqkt.exe"},
};
// When the group cannot be served: the same folder reached through the programs folder, spelt as
// it always was, and without remote support.
constexpr LinkRow kFallbackLinks[] = {
    {"Quenlar\\Quenlar Accounting", "\\zozazera.exe"},
    {"Quenlar\\Huong dan su dung", "\\HuongDanSuDung.chm"},
    {"Quenlar\\Uninstall Quenlar Accounting", "\\uninsqkt.exe"},
};
constexpr char kGroupFolder[] = "\\Quenlar";

// Everything before the target's last "\"; none without one.
std::string WorkingFolder(const std::string& target) {
  const size_t at = target.rfind('\\');
  return at == std::string::npos ? std::string() : target.substr(0, at);
}

std::string ExistingLinkMessage(const platform::LinkOutcome& outcome) {
  const unsigned long code = static_cast<uint32_t>(outcome.code);  // the result code's bits, unsigned
  char text[128];
  std::snprintf(text, sizeof text, "Couldn't get IShellLink to existing file. hres=%lx %lu. psl=%lx. ",
                code, code, static_cast<unsigned long>(outcome.object));
  return std::string(text) + ": " + outcome.error_text;
}

// The link makers' common part. `folder` is where the link file goes; `find` searches the folder
// that holds a link named `link_name`. A link name with a "\" lands in a sub-folder of `folder`,
// so that is where it is searched, by its last part: a shortcut made there earlier is then found
// and left as it is.
template <typename Find>
void MakeLink(uintptr_t owner, const std::string& target, const std::string& arguments, const std::string& icon_file,
              int32_t icon_index, const std::string& link_name, const std::string& folder, Find find) {
  platform::ShellLinks& links = platform::Current().shell_links;
  // Undone on every way out; the errors below are raised after it.
  platform::ComScope com(links, platform::kComApartmentThreaded);

  const size_t split = link_name.rfind('\\');
  const std::string found = split == std::string::npos
                                ? find(link_name)
                                : links.FindInFolder(owner, folder + "\\" + link_name.substr(0, split),
                                                     link_name.substr(split + 1));
  if (!found.empty()) {
    // Left as found, whatever it points to.
    const platform::LinkOutcome outcome = links.Load(found);
    switch (outcome.step) {
      case platform::LinkOutcome::kDone: return;
      case platform::LinkOutcome::kNoObject: throw platform::Error(ExistingLinkMessage(outcome));
      case platform::LinkOutcome::kNoPersistFile:
        throw platform::Error("Couldn't get a persist-file interface to the IShellLink for existing file");
      case platform::LinkOutcome::kNotLoaded: throw platform::Error("Error loading the existing IShellLink");
    }
  }

  const platform::ShellLink link{target, arguments, icon_file, icon_index, WorkingFolder(target), ""};
  const platform::LinkOutcome outcome = links.Save(folder + "\\" + link_name + ".lnk", link);
  if (outcome.step == platform::LinkOutcome::kNoObject) throw platform::Error("Unable to create shortcut file");
  if (outcome.step == platform::LinkOutcome::kNoPersistFile)
    throw platform::Error("Unable to get IPersistFile interface on shortcut just created");
}

}  // namespace

void TFCaiDat::CreateLinkInSpecialFolder(uintptr_t Owner, const std::string& Target, const std::string& Arguments,
                                         const std::string& IconFile, int32_t IconIndex, const std::string& LinkName,
                                         int32_t Folder) {
  platform::ShellLinks& links = platform::Current().shell_links;
  // A special folder the shell cannot name gives no place for a link file.
  const std::optional<std::string> path = links.SpecialFolderPath(Folder);
  if (!path) throw platform::Error("Unable to create shortcut file");
  MakeLink(Owner, Target, Arguments, IconFile, IconIndex, LinkName, *path, [&](const std::string& name) {
    return links.FindInSpecialFolder(Owner, Folder, name);
  });
}

void TFCaiDat::CreateLinkInFolder(uintptr_t Owner, const std::string& Target, const std::string& Arguments,
                                  const std::string& IconFile, int32_t IconIndex, const std::string& LinkName,
                                  const std::string& FolderPath) {
  platform::ShellLinks& links = platform::Current().shell_links;
  MakeLink(Owner, Target, Arguments, IconFile, IconIndex, LinkName, FolderPath, [&](const std::string& name) {
    return links.FindInFolder(Owner, FolderPath, name);
  });
}

void TFCaiDat::CreateShortcuts() {
  const std::string app = Ansi(Edit_AppPath.Text());
  const uintptr_t owner = Handle();
  // Every shortcut starts its program with no arguments and shows the program's first icon.
  for (const LinkRow& row : kDesktopLinks) {
    const std::string target = app + row.program;
    CreateLinkInSpecialFolder(owner, target, "", target, 0, row.name, platform::kFolderDesktop);
  }
  try {
    const auto programs = platform::Current().shell_links.SpecialFolderPath(platform::kFolderPrograms);
    if (!programs) throw platform::Error("Unable to create shortcut file");
    const std::string group = *programs + kGroupFolder;
    platform::Current().files.CreateDir(group);  // it may exist already
    for (const LinkRow& row : kGroupLinks) {
      const std::string target = app + row.program;
      CreateLinkInFolder(owner, target, "", target, 0, row.name, group);
    }
  } catch (const platform::Error&) {
    // Shortcuts the group got before the failure stay; the fallback finds them by name.
    for (const LinkRow& row : kFallbackLinks) {
      const std::string target = app + row.program;
      CreateLinkInSpecialFolder(owner, target, "", target, 0, row.name, platform::kFolderPrograms);
    }
  }
}
