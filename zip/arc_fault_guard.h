#pragma once
// A crash inside the engine (an access violation, an illegal instruction, a division by zero)
// must not take the setup down with it: the call is guarded and such a fault becomes a result.
#include "zip/engine/engine_records.h"

namespace zip {

// Calls `unz_exec` with `command` on this thread. A system fault raised inside the call and not
// handled there ends it and gives `fault_result`. Only Windows guards the call: the host build
// calls the engine plainly.
int CallFaultGuarded(ZE_UnzExecFn unz_exec, const UnzipCommand* command, int fault_result);

}  // namespace zip
