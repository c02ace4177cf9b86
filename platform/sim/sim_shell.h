#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace platform::sim {

// Shell starts that start nothing: each is recorded; the result is the scripted handler's, else
// a success code.
class SimShell : public Shell {
 public:
  struct Call {
    std::string operation, file, parameters, directory;
    int show = 0;
  };

  intptr_t Execute(const std::string& operation, const std::string& file, const std::string& parameters,
                   const std::string& directory, int show) override {
    calls_.push_back(Call{operation, file, parameters, directory, show});
    return handler_ ? handler_(calls_.back()) : kSuccess;
  }

  // --- For tests.
  static constexpr intptr_t kSuccess = 42;  // any value above 32 means started
  void OnExecute(std::function<intptr_t(const Call&)> handler) { handler_ = std::move(handler); }
  const std::vector<Call>& Calls() const { return calls_; }

 private:
  std::vector<Call> calls_;
  std::function<intptr_t(const Call&)> handler_;
};

}  // namespace platform::sim
