#pragma once
// One engine call as a test describes it: the command's inputs, a callback that records every
// report and answers through a scripted handler, and helpers to read what happened.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/zip/engine/engine_api.h"

struct Event {
  int action = 0;
  int arg1 = 0, arg2 = 0, arg3 = 0;
  std::string text;
  std::uint64_t size = 0;
};

class Session {
 public:
  std::string archive;
  std::string baseDir;
  std::string password;
  std::vector<std::string> specs;
  int passwordReqCount = 1;
  bool dirNames = true, overwrite = false, freshen = false, update = false, test = false;
  int lineEnds = 0;
  bool verbose = false;
  bool toMemory = false;
  std::vector<std::uint8_t> memory;   // output buffer in memory mode (OutSize = its size)
  bool nullOutBuffer = false;
  std::optional<std::uint32_t> outSize;  // OutSize when it is not memory.size()
  bool fromMemory = false;
  std::string inData;
  int checkValue = kUnzipCheckValue;
  // Called for every callback after it is recorded; returns the callback's result.
  std::function<int(EngineCallbackRecord&)> handler;

  std::vector<Event> events;
  std::uint32_t abortKey = 0;

  int Run();

  std::vector<Event> Of(int action) const;
  std::vector<std::string> Messages() const;
  bool HasMessage(std::string_view text) const;
  bool HasMessageContaining(std::string_view part) const;
  std::vector<int> SkipReasons() const;
  // The code of the first MessageReported whose text contains `part`, or -1.
  int CodeOf(std::string_view part) const;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::string Sub(std::string_view name) const { return (path_ / std::string(name)).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view data);
// Deterministic bytes that compress like real files.
std::string Filler(std::size_t size, unsigned seed);
// The shared test data folder, or empty when it is absent.
std::filesystem::path TestData();
// Every file below `root`, as relative generic paths in UTF-8.
std::vector<std::string> ListFiles(const std::filesystem::path& root);
