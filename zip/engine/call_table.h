#pragma once
// The process-wide table of running calls, for ZE_Abort. A key is accepted only while it names a
// call in this table, so a stale or forged key never reaches freed or foreign memory.
#include <cstdint>

namespace zipeng {

class Call;

std::uint32_t RegisterCall(Call* call);
void UnregisterCall(Call* call);

// 1 stop requested, 0 the call is already stopping, -1 no running call has this key.
int AbortCall(std::uint32_t key);

}  // namespace zipeng
