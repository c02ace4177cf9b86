// qlr_e2e_hold.dll: the driver's hook in the setup's thread (see progress_hold.h). Loaded into the
// setup by the system when the driver hooks its thread; nothing of it runs in the product.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

#include "tools/e2e/progress_hold_names.h"

namespace {

bool held_once = false;

// The run is held at most this long, should the driver be gone without letting it go.
constexpr DWORD kLongestHoldMs = 10 * 60 * 1000;

bool IsProgressBar(HWND window) {
  wchar_t name[32] = {};
  return GetClassNameW(window, name, 32) && lstrcmpiW(name, PROGRESS_CLASSW) == 0;
}

void Hold(HWND bar, int position) {
  HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, e2e::kHeldEvent);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, e2e::kReleaseEvent);
  HANDLE shared = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::kPositionMapping);
  auto* shown = shared ? static_cast<volatile LONG*>(MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, sizeof(LONG))) : nullptr;
  if (held && release && shown) {
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    *shown = position;
    SetEvent(held);
    // Waiting for the driver, the thread answers the messages other threads send it (the driver
    // reads the bar and the status line) and nothing else: the run stays where it is. Wine also
    // hands what the thread has painted to the display while it waits this way.
    const DWORD start = GetTickCount();
    for (;;) {
      const DWORD waited = GetTickCount() - start;
      if (waited >= kLongestHoldMs) break;
      const DWORD got = MsgWaitForMultipleObjects(1, &release, FALSE, kLongestHoldMs - waited, QS_SENDMESSAGE);
      if (got != WAIT_OBJECT_0 + 1) break;
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  if (shown) UnmapViewOfFile(const_cast<LONG*>(shown));
  for (HANDLE h : {shared, release, held})
    if (h) CloseHandle(h);
}

}  // namespace

// WH_CALLWNDPROCRET: after the bar has taken a new position.
extern "C" __declspec(dllexport) LRESULT CALLBACK HoldOnProgress(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && !held_once) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if ((sent->message == PBM_SETPOS || sent->message == PBM_STEPIT || sent->message == PBM_DELTAPOS) &&
        IsProgressBar(sent->hwnd)) {
      const int position = static_cast<int>(SendMessageW(sent->hwnd, PBM_GETPOS, 0, 0));
      if (position >= e2e::kHoldFrom && position <= e2e::kHoldTo) {
        held_once = true;
        Hold(sent->hwnd, position);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
