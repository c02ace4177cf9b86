#pragma once
// The entries' names as the user reads and types them. The component lists names in the system
// code page, where a name flagged as UTF-8 loses the letters the page lacks ("Sổ cái.txt" is
// listed "S? cái.txt"). The tool reads each entry's real name from the archive's directory, shows
// it in UTF-8 with its real letters, and turns what the user types into what selects the same
// entries through the component.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "zip/arc_file.h"
#include "zip/archiver.h"

namespace qlrzip {

class EntryNames {
 public:
  // The real names of the archive `arc` has open, at `path` as the component names it. Where the
  // directory cannot be read again as the component read it, the listed names stand in.
  EntryNames(const zip::TArchiver& arc, const std::string& path);
  EntryNames(const EntryNames&) = delete;
  EntryNames& operator=(const EntryNames&) = delete;

  // The name of the component's entry `index` as shown: a flagged name as the archive writes it,
  // any other as the component reads it, converted from the code page. Folders end with "\".
  std::string Shown(int index) const;
  // A text of the component or the engine (system code page) as shown: converted, with the real
  // name of each entry it names.
  std::string ShownText(const std::string& text) const;
  // Whether the entry of this listed name is flagged as UTF-8 but its name is not UTF-8.
  bool NotUtf8(const std::string& listed) const;

  // What a spec the user typed selects, "*" and "?" as wildcards.
  struct Selection {
    std::vector<std::string> specs;  // what the component is given (none when nothing matches)
    std::vector<int> entries;        // the component's entries selected (folder entries aside)
  };
  // When the code page holds all its letters, the file spec itself in the code page selects as the
  // component matches it; else the listed names of the entries whose real names it matches.
  Selection Select(const std::string& typed) const;
  // The component's name for an entry name the user typed ("/" or "\" between folders); nullopt
  // when no entry has it and the code page cannot even hold it.
  std::optional<std::string> ListedName(const std::string& typed) const;

 private:
  void ReadRealNames(zip::ArcFile& file);

  struct Name {
    std::string listed;  // as the component lists it
    std::string real;    // as shown
    bool notUtf8 = false;
  };
  const zip::TArchiver& arc_;
  std::vector<Name> entries_;  // the component's entries, in its order
  std::vector<Name> folders_;  // the folder entries the component leaves out
  // The real names of the entries whose listed name lost letters and names no other entry, by
  // that listed name ("\" between folders), and the lengths of those names, longest first.
  std::map<std::string, std::string> lossy_;
  std::vector<size_t> lossyLengths_;
};

}  // namespace qlrzip
