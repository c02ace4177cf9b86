#pragma once
// What qlrzip says about an entry the engine left out, and which of the engine's own texts it
// says in other words. The engine reports a skip as a reason number and an error code; the
// directory entry tells the rest (the method, the version the entry was made for, Zip64 marks).
#include <cstdint>
#include <string>

#include "zip/zip_dir_entry.h"

namespace qlrzip {

// The component's skip types (the engine's reason minus 0x101).
enum class SkipType : int {
  NothingToFreshen = 0,
  MayNotOverwrite = 1,
  NotOlder = 2,
  BadPassword = 3,
  UnknownMethod = 5,
  NewerVersion = 6,
  BadFormat = 7,
  ExtractFailed = 8,
};

// How the tool answered the password requests for the skipped entry.
enum class PasswordOutcome {
  Given,      // a password was tried (from -p, or typed)
  NoneTyped,  // the user was asked and gave none
  CannotAsk,  // no -p and standard input is not a terminal
};

struct SkipFacts {
  const zip::ZipDirEntry* entry = nullptr;  // the directory's entry of that name, when found
  PasswordOutcome password = PasswordOutcome::Given;
  bool overwrite = false;                   // -o was given
  bool nameNotUtf8 = false;                 // its name is flagged as UTF-8 but is not UTF-8
};

// The reason in words, e.g. "unsupported compression method 12 (BZIP2)".
std::string SkipReason(int skip_type, int ext_error, const SkipFacts& facts);

// The engine's texts that a skip line or the tool's closing line says again: the failure lines of
// one entry, and the call's summary (whose archive name is the engine's internal path).
bool Restated(const std::string& text);

// Texts that only say what went well; -q leaves them out.
bool Informational(const std::string& text);

}  // namespace qlrzip
