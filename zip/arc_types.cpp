#include "zip/arc_types.h"

namespace zip {

ModalResult ModalResultOf(TMsgDlgBtn button) {
  switch (button) {
    case TMsgDlgBtn::mbYes: return mrYes;
    case TMsgDlgBtn::mbNo: return mrNo;
    case TMsgDlgBtn::mbOK: return mrOk;
    case TMsgDlgBtn::mbCancel: return mrCancel;
    case TMsgDlgBtn::mbAbort: return mrAbort;
    case TMsgDlgBtn::mbRetry: return mrRetry;
    case TMsgDlgBtn::mbIgnore: return mrIgnore;
    case TMsgDlgBtn::mbAll: return mrAll;
    case TMsgDlgBtn::mbNoToAll: return mrNoToAll;
    case TMsgDlgBtn::mbYesToAll: return mrYesToAll;
    case TMsgDlgBtn::mbHelp: return mrNone;
  }
  return mrNone;
}

int TProgressDetails::GetItemPerCent() const {
  if (ItemSize == 0 || ItemPosition == 0) return 0;
  // Below 214748 the product cannot pass 2^31; above it, dividing first keeps it in range.
  if (ItemSize < 214748u) return int(uint32_t(ItemPosition * 100u) / ItemSize);
  return int(ItemPosition / (ItemSize / 100u));
}

int TProgressDetails::GetTotalPerCent() const {
  if (TotalSize > 0 && TotalPosition > 0) return int((100 * TotalPosition) / TotalSize);
  return 0;
}

void TProgDetails::Clear() {
  TotalCount = 0;
  ItemName.clear();
  ItemNumber = 0;
  ItemPosition = 0;
  ItemSize = 0;
  TotalPosition = 0;
  TotalSize = 0;
  Written = 0;
  ProgType = ptBatchEnded;
}

}  // namespace zip
