#pragma once
// Where the hostile cases run: a scratch folder with the archive at its top and the target two
// levels down (so that an escape of one or two levels lands where we look), with listings of
// what is there before and after a run.
#include <memory>
#include <string>
#include <vector>

#include "zip/archiver.h"

namespace hardening {

// Peak memory of this process so far, and the bound by which one run may raise it. The bound is
// loose on purpose: it catches a buffer sized from a lying header (gigabytes), not a slow leak.
long PeakMemoryMiB();
constexpr long kPeakMemoryBoundMiB = 512;

// Every file and folder below `root`, relative, "/" between folders, sorted; empty when missing.
// A symbolic link shows as "name -> target".
std::vector<std::string> Tree(const std::string& root);

// The component's machine: the simulated one with the real engine library on the host, the real
// one (Wine) on Windows.
class ComponentMachine {
 public:
  ComponentMachine();
  ~ComponentMachine();
  bool Ready() const { return why_.empty(); }
  const std::string& Why() const { return why_; }
  void Attach(zip::TArchiver& arc);

  // Writes the archive, makes the empty target and takes the folder above it as the current one.
  void PutArchive(const std::string& bytes);
  std::string ArchivePath() const;
  std::string TargetPath() const;

  std::vector<std::string> Target() const;
  // Everything the machine's files hold now, and what is new since `before` outside the target.
  std::vector<std::string> Everything() const;
  std::vector<std::string> Outside(const std::vector<std::string>& before) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string why_;
};

#ifndef _WIN32
struct ToolRun {
  int status = -1;     // exit status, or -1 when the tool did not exit normally
  std::string err;     // its standard error
  long peakMiB = 0;    // its peak resident memory
};

// qlrzip as its users run it: a separate process, current folder above the target.
class ToolMachine {
 public:
  ToolMachine();
  ~ToolMachine();
  bool Ready() const { return why_.empty(); }
  const std::string& Why() const { return why_; }
  void PutArchive(const std::string& bytes);
  std::string ArchivePath() const { return root_ + "/case.zip"; }
  std::string TargetPath() const { return root_ + "/l1/l2/out"; }
  ToolRun Run(const std::vector<std::string>& args);
  // The same with a pseudo-terminal as standard input, output and error: each of `answers` is
  // typed, as it is, when the tool asks for a password, and `err` is everything the terminal
  // showed, echo included.
  ToolRun RunOnTerminal(const std::vector<std::string>& args, const std::vector<std::string>& answers);

  std::vector<std::string> Target() const { return Tree(TargetPath()); }
  // What is new in the scratch folder outside the target, and at the root of the file system.
  std::vector<std::string> Outside() const;
  std::vector<std::string> Escapes() const;

 private:
  std::string root_;
  std::vector<std::string> root_before_;
  std::string why_;
};
#endif

}  // namespace hardening
