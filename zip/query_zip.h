#pragma once
#include <string>

namespace zip {

// Classifies a file without a component: -7 when it cannot be opened, -9 on an unexpected fault,
// otherwise bits: 0x01 starts with "MZ"; 0x02 with a local header; 0x04 with the spanning marker;
// 0x08 with a central header; 0x80 an end record was found; 0x10 it ends the file exactly; and,
// for a single-disk record, 0x40 a central header stands at the recorded offset and 0x20 the first
// entry's local header is where that header says.
int QueryZip(const std::string& file_name);
// An executable with an archive behind it: 0x01, 0x40 and 0x80 all set.
bool IsZipSFX(const std::string& file_name);

}  // namespace zip
