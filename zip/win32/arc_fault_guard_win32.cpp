// The guard is a frame-based SEH handler registered around the call on this thread's chain
// (mingw's i686 GCC has no __try/__except). Handlers the engine or the system registered inside
// the call are asked first, as with __except; only a fault none of them takes reaches this one.
// It does not return into the faulting code: it resumes the thread in a small function that
// longjmps back to the guard. msvcrt's longjmp unwinds the SEH frames registered after its
// setjmp (the guard's own included), so the chain is whole again afterwards.
#include <windows.h>

#include <csetjmp>

#include "zip/arc_fault_guard.h"

namespace zip {

namespace {

// One guarded call. The first two members are the SEH registration record the system walks.
struct GuardFrame {
  void* previous;
  void* handler;
  jmp_buf back;
};

void* CurrentRegistration() {
  void* registration;
  asm volatile("movl %%fs:0, %0" : "=r"(registration));
  return registration;
}

void SetRegistration(void* registration) { asm volatile("movl %0, %%fs:0" : : "r"(registration) : "memory"); }

// System faults have the severity "error" and no customer bit; C++ and other exceptions raised
// on purpose carry the customer bit and are left to their own handlers. A stack overflow is not
// taken: the stack it leaves has no guard page and no room to be trusted.
bool IsEngineFault(DWORD code) { return (code & 0xF0000000u) == 0xC0000000u && code != EXCEPTION_STACK_OVERFLOW; }

[[noreturn]] void __cdecl ReturnToGuard(GuardFrame* frame) { longjmp(frame->back, 1); }

EXCEPTION_DISPOSITION __cdecl FaultHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  constexpr DWORD kNotOurs = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NONCONTINUABLE;
  if ((record->ExceptionFlags & kNotOurs) || !IsEngineFault(record->ExceptionCode)) return ExceptionContinueSearch;
  // ReturnToGuard runs on the faulting stack, just below where the fault left it, with the frame
  // as its argument; a stack pointer outside this thread's stack cannot be used for that.
  const NT_TIB* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
  const DWORD sp = context->Esp;
  if (sp < DWORD(uintptr_t(tib->StackLimit)) + 64 || sp > DWORD(uintptr_t(tib->StackBase))) return ExceptionContinueSearch;
  DWORD* stack = reinterpret_cast<DWORD*>(sp & ~3u);
  *--stack = DWORD(uintptr_t(frame));  // the argument
  *--stack = 0;                        // a return address that is never used
  context->Esp = DWORD(uintptr_t(stack));
  context->Eip = DWORD(uintptr_t(&ReturnToGuard));
  return ExceptionContinueExecution;
}

}  // namespace

int CallFaultGuarded(ZE_UnzExecFn unz_exec, const UnzipCommand* command, int fault_result) {
  GuardFrame frame;
  frame.previous = CurrentRegistration();
  frame.handler = reinterpret_cast<void*>(&FaultHandler);
  if (setjmp(frame.back) != 0) {
    // longjmp has unwound the chain to what it was at setjmp; make sure of it.
    if (CurrentRegistration() != frame.previous) SetRegistration(frame.previous);
    return fault_result;
  }
  SetRegistration(&frame);
  const int result = unz_exec(command);
  SetRegistration(frame.previous);
  return result;
}

}  // namespace zip
