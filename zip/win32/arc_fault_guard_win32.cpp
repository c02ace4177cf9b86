// The guard around the engine's call, for both Windows builds: a system fault raised inside the
// call that no handler there takes (the engine's own and the system's are asked first, as with
// __except) ends the call with the fault result. mingw's GCC has no __try/__except, so each
// architecture registers a handler the way its exception model expects.
#include <windows.h>

#include <csetjmp>
#include <cstdint>

#include "zip/arc_fault_guard.h"

namespace zip {

namespace {

// System faults have the severity "error" and no customer bit; C++ and other exceptions raised
// on purpose carry the customer bit and are left to their own handlers. A stack overflow is not
// taken: the stack it leaves has no guard page and no room to be trusted.
bool IsEngineFault(const EXCEPTION_RECORD* record) {
  constexpr DWORD kNotOurs = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NONCONTINUABLE;
  const DWORD code = record->ExceptionCode;
  return !(record->ExceptionFlags & kNotOurs) && (code & 0xF0000000u) == 0xC0000000u &&
         code != EXCEPTION_STACK_OVERFLOW;
}

}  // namespace

#if defined(__i386__)

// i686: a frame-based SEH handler registered around the call on this thread's chain. It does
// not return into the faulting code: it resumes the thread in a small function that longjmps
// back to the guard. msvcrt's longjmp unwinds the SEH frames registered after its setjmp (the
// guard's own included), so the chain is whole again afterwards.
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

[[noreturn]] void __cdecl ReturnToGuard(GuardFrame* frame) { longjmp(frame->back, 1); }

EXCEPTION_DISPOSITION __cdecl FaultHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  if (!IsEngineFault(record)) return ExceptionContinueSearch;
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

#elif defined(__x86_64__)

// x86_64: table-based SEH. The guard is a small function whose unwind data names a language
// handler, so the system asks that handler about an exception only once every frame the call
// made has passed it by. The handler unwinds the engine's frames with RtlUnwindEx, which runs
// their termination handlers and resumes the guard at its landing point with the fault result
// as the return value. The guard keeps that result in its frame: the handler finds it there
// from the frame address the system passes it, so nothing is shared between threads.
extern "C" {
int QlrGuardedUnzExec(ZE_UnzExecFn unz_exec, const UnzipCommand* command, int fault_result);
void QlrGuardLanding();
EXCEPTION_DISPOSITION QlrGuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                      DISPATCHER_CONTEXT* dispatch);
}

namespace {
// Where the guard keeps the fault result: above the callee's 32-byte home area.
constexpr int kFaultResultOffset = 32;
}  // namespace

// The nop after the call keeps the return address out of the epilogue: an address there would
// be taken for the function's way out, where no handler is asked.
asm(R"(
    .text
    .p2align 4
    .globl QlrGuardedUnzExec
    .def QlrGuardedUnzExec; .scl 2; .type 32; .endef
    .seh_proc QlrGuardedUnzExec
QlrGuardedUnzExec:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler QlrGuardHandler, @except
    movl %r8d, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    .globl QlrGuardLanding
QlrGuardLanding:
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION QlrGuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                 DISPATCHER_CONTEXT* dispatch) {
  if (!IsEngineFault(record)) return ExceptionContinueSearch;
  const int fault_result = *reinterpret_cast<const int*>(static_cast<const char*>(frame) + kFaultResultOffset);
  RtlUnwindEx(frame, reinterpret_cast<void*>(&QlrGuardLanding), record,
              reinterpret_cast<void*>(static_cast<intptr_t>(fault_result)), context, dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached: the unwind resumes the guard
}

int CallFaultGuarded(ZE_UnzExecFn unz_exec, const UnzipCommand* command, int fault_result) {
  return QlrGuardedUnzExec(unz_exec, command, fault_result);
}

#else
#error "the engine's fault guard knows i686 and x86_64"
#endif

}  // namespace zip
