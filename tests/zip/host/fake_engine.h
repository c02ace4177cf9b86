#pragma once
// An engine stand-in provided to the simulated machine in-process: it records each command it
// is given and plays a test's script of callbacks, so the worker's side of the protocol can be
// checked field by field and answer by answer.
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zip/engine/engine_records.h"

namespace zip::testing {

struct FakeEngine {
  // What the last command carried, copied while the call ran.
  struct Seen {
    UnzipCommand command{};
    std::string archive, password, base_dir;
    std::vector<std::string> specs;
  };
  static inline std::vector<Seen> calls;
  static inline std::function<int(const UnzipCommand&)> script;
  static inline int version = 179;
  static inline int build = 1790801;
  static inline std::vector<uint32_t> aborts;

  static void Reset() {
    calls.clear();
    script = nullptr;
    version = 179;
    build = 1790801;
    aborts.clear();
  }

  // One callback as the engine makes it; returns the callback's result, the answer is in `r`.
  static int Call(const UnzipCommand& c, EngineCallbackRecord& r, int action) {
    r.Caller = c.Caller;
    r.EngineVersion = 179;
    r.ActionCode = action;
    return c.Callback(c.Caller, &r);
  }
  static EngineCallbackRecord Record(int arg1 = 0, const char* text = nullptr, uint64_t size = 0) {
    EngineCallbackRecord r{};
    r.Arg1 = arg1;
    r.Text = text;
    r.Size = size;
    return r;
  }

  static int ZE_STDCALL UnzExec(const UnzipCommand* c) {
    Seen seen;
    seen.command = *c;
    seen.archive = c->ArchiveName ? c->ArchiveName : "";
    seen.password = c->Password ? c->Password : "<null>";
    seen.base_dir = c->BaseDir ? c->BaseDir : "<null>";
    for (int i = 0; i < c->SpecCount; ++i) seen.specs.push_back(c->Specs[i].SpecText);
    calls.push_back(seen);
    EngineCallbackRecord key = Record(0x1234);
    Call(*c, key, kActAbortKey);
    const int result = script ? script(*c) : 0;
    EngineCallbackRecord end = Record(0);
    Call(*c, end, kActAbortKey);
    return result;
  }
  static int ZE_STDCALL ZipExec(const void*) { return 0; }
  static int ZE_STDCALL Abort(uint32_t key) { return aborts.push_back(key), 1; }
  static int ZE_STDCALL Version() { return version; }
  static int ZE_STDCALL PrivVersion() { return build; }
  static const char* ZE_STDCALL Path() { return "C:\\Windows\\ZipEng179.dll"; }

  static std::map<std::string, void*> Exports(const std::string& without = "") {
    std::map<std::string, void*> e = {
        {"ZE_UnzExec", reinterpret_cast<void*>(&UnzExec)}, {"ZE_ZipExec", reinterpret_cast<void*>(&ZipExec)},
        {"ZE_Abort", reinterpret_cast<void*>(&Abort)},     {"ZE_Version", reinterpret_cast<void*>(&Version)},
        {"ZE_PrivVersion", reinterpret_cast<void*>(&PrivVersion)}, {"ZE_Path", reinterpret_cast<void*>(&Path)}};
    e.erase(without);
    return e;
  }
};

}  // namespace zip::testing
