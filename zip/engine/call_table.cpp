#include "zip/engine/call_table.h"

#include <cstdint>
#include <mutex>
#include <vector>

#include "zip/engine/call.h"

namespace zipeng {
namespace {

struct Running {
  Call* call;
  std::uint32_t key;
};

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Running>& Table() {
  static std::vector<Running> table;
  return table;
}

}  // namespace

std::uint32_t RegisterCall(Call* call) {
  // The state's address divided by 4, as the callers know it; on a 64-bit host only its low
  // 32 bits, so a clash with another live call is resolved by stepping on.
  auto key = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(call) >> 2);
  std::lock_guard<std::mutex> guard(TableLock());
  auto& table = Table();
  for (bool clash = true; clash;) {
    clash = key == 0;
    for (const Running& r : table) clash = clash || r.key == key;
    if (clash) ++key;
  }
  table.push_back({call, key});
  return key;
}

void UnregisterCall(Call* call) {
  std::lock_guard<std::mutex> guard(TableLock());
  auto& table = Table();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->call == call) {
      table.erase(it);
      return;
    }
  }
}

int AbortCall(std::uint32_t key) {
  std::lock_guard<std::mutex> guard(TableLock());
  for (const Running& r : Table()) {
    if (r.key != key) continue;
    if (r.call->stop.load() >= 3) return 0;
    r.call->stop.fetch_or(kStopAbort);
    return 1;
  }
  return -1;
}

}  // namespace zipeng
