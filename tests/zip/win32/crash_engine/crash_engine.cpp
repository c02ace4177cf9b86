// An engine library that crashes inside ZE_UnzExec, for the guard around the call. It begins as
// an engine does (the abort key, one message through the callback), then does what the
// command's first spec names:
//   "access"  reads through a null pointer;
//   "divide"  divides by zero;
//   "handled" faults inside a system call that catches the fault itself, then returns 5;
//   "errormode" returns the system error boxes that were off while it was being loaded;
//   anything else returns 0.
#include <windows.h>

#include <cstring>

#include "zip/engine/engine_records.h"

namespace {

int Message(const UnzipCommand* c, const char* text) {
  EngineCallbackRecord r{};
  r.Caller = c->Caller;
  r.EngineVersion = 179;
  r.ActionCode = kActMessageReported;
  r.Text = text;
  return c->Callback(c->Caller, &r);
}

volatile int g_zero = 0;
int* volatile g_nowhere = nullptr;
UINT g_error_mode_at_load = 0;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_error_mode_at_load = SetErrorMode(0);
    SetErrorMode(g_error_mode_at_load);
  }
  return TRUE;
}

int __stdcall ZE_UnzExec(const UnzipCommand* c) {
  const char* spec = c->SpecCount > 0 ? c->Specs[0].SpecText : "";
  Message(c, "about to fail");
  if (std::strcmp(spec, "access") == 0) return *g_nowhere;
  if (std::strcmp(spec, "divide") == 0) return 100 / g_zero;
  // IsBadReadPtr probes the address under its own exception handler (a null one it refuses
  // without a look).
  if (std::strcmp(spec, "handled") == 0) return IsBadReadPtr(reinterpret_cast<const void*>(16), 4) ? 5 : -9;
  if (std::strcmp(spec, "errormode") == 0)
    return int(g_error_mode_at_load & (SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX));
  return 0;
}

int __stdcall ZE_ZipExec(const void*) { return 0; }
int __stdcall ZE_Abort(unsigned) { return 0; }
int __stdcall ZE_Version() { return 179; }
int __stdcall ZE_PrivVersion() { return 1790801; }
const char* __stdcall ZE_Path() { return "crash_engine\\ZipEng179.dll"; }

}  // extern "C"
