#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/com.h"
#include "platform/message_boxes.h"

namespace platform {

// Special folders by the shell's numbers (CSIDL).
constexpr int32_t kFolderDesktop = 0;   // the current user's desktop
constexpr int32_t kFolderPrograms = 2;  // the programs folder of the current user's Start menu

// What a new shortcut holds. Texts are narrow, in the system code page; an empty text is not set.
struct ShellLink {
  std::string target;
  std::string arguments;
  std::string icon_file;
  int32_t icon_index = 0;
  std::string working_folder;
  std::string description;
};

// How far a shortcut object got. When it could not be created, `code` is the creation's result,
// `object` the pointer it left behind, and `error_text` the system's text for the thread's last
// error at that moment, as the messages about it quote them.
struct LinkOutcome {
  enum Step { kDone, kNoObject, kNoPersistFile, kNotLoaded };
  Step step = kDone;
  ComResult code = kSOk;
  uintptr_t object = 0;
  std::string error_text;
};

// Shortcuts through the shell. Every operation but the special folders' paths needs the component
// layer initialised on the calling thread.
class ShellLinks : public ComApartment {
 public:
  // The file-system path of a special folder; nothing when the shell names none.
  virtual std::optional<std::string> SpecialFolderPath(int32_t folder) = 0;

  // The full path of the folder's last non-folder item (hidden ones aside) whose name as the
  // folder shows it (a shortcut's without ".lnk") equals `shown_name`, case regarded; empty when
  // there is none or the folder cannot be read. `owner` parents anything the shell shows meanwhile.
  virtual std::string FindInSpecialFolder(WindowHandle owner, int32_t folder, const std::string& shown_name) = 0;
  virtual std::string FindInFolder(WindowHandle owner, const std::string& folder, const std::string& shown_name) = 0;

  // Loads the shortcut file into a new shortcut object, which is then let go: nothing is changed.
  virtual LinkOutcome Load(const std::string& link_file) = 0;
  // Writes a new shortcut file. A failing save itself is not reported (kDone): the shortcut is
  // then simply not there.
  virtual LinkOutcome Save(const std::string& link_file, const ShellLink& link) = 0;
};

}  // namespace platform
