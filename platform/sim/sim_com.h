#pragma once
#include "platform/com.h"

namespace platform::sim {

// The component layer of the simulated machine's one thread: initialisations nest in one mode; an
// initialisation in the other mode is refused with RPC_E_CHANGED_MODE and must not be undone.
class SimCom {
 public:
  ComResult Initialize(uint32_t flags) {
    ++initializations_;
    const bool apartment = (flags & kComApartmentThreaded) != 0;
    if (depth_ == 0) {
      apartment_ = apartment;
      depth_ = 1;
      return kSOk;
    }
    if (apartment != apartment_) return kRpcEChangedMode;
    ++depth_;
    return kSFalse;
  }
  void Uninitialize() {
    if (depth_ > 0) {
      --depth_;
    } else {
      ++unbalanced_;
    }
  }
  bool Initialized() const { return depth_ > 0; }

  // --- For tests.
  int Depth() const { return depth_; }
  int Initializations() const { return initializations_; }
  // Undoings with nothing to undo: each one a fault of the caller.
  int Unbalanced() const { return unbalanced_; }

 private:
  int depth_ = 0;
  bool apartment_ = false;
  int initializations_ = 0;
  int unbalanced_ = 0;
};

}  // namespace platform::sim
