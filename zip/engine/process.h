#pragma once
// Directory processing for one call: the archive, its end record, the selection pass and the
// extraction pass, and the closing summary.

namespace zipeng {

class Call;

void ProcessArchive(Call& call);

}  // namespace zipeng
