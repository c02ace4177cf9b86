// The option controls: the radio groups mark their choice in bold, the check box governs the
// database controls, and the picker chooses the database file.
#include "app/setup_form.h"
#include "ui/text.h"

namespace {

// Only ASCII letters matter: the one text compared with is ".fdb".
std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return text;
}

// The text from the last dot of the file name on; none when the last dot lies in a folder name.
std::wstring Extension(const std::wstring& name) {
  const size_t dot = name.find_last_of(L".\\:");
  return dot != std::wstring::npos && name[dot] == L'.' ? name.substr(dot) : std::wstring();
}

constexpr wchar_t kDatabaseExtension[] = L".fdb";

}  // namespace

void TFCaiDat::rdo_CaiMoiClick(ui::Control&) {
  // The third button counts as chosen when neither of the others is.
  const bool fresh = rdo_CaiMoi.Checked();
  const bool upgrade = !fresh && rdo_NangCap.Checked();
  rdo_CaiMoi.SetBold(fresh);
  rdo_NangCap.SetBold(upgrade);
  rdo_ThaoDo.SetBold(!fresh && !upgrade);
  // A new installation makes a database by default; an upgrade or an uninstall does not.
  chk_TaoCSDL.SetChecked(fresh);
}

void TFCaiDat::Radio_MayChuClick(ui::Control&) {
  const bool server = rdo_MayChu.Checked();
  rdo_MayChu.SetBold(server);
  rdo_MayTram.SetBold(!server);
}

void TFCaiDat::rdo_FirebirdClick(ui::Control&) {
  rdo_Firebird.SetBold(true);
  rdo_InterBase.SetBold(false);
}

void TFCaiDat::chk_TaoCSDLClick(ui::Control&) {
  const bool on = chk_TaoCSDL.Checked();
  for (ui::Control* c : std::initializer_list<ui::Control*>{&lbl_ChonQD, &rdo_QD15, &rdo_QD48, &Label4, &Edit_CSDL,
                                                             &BitBtn_openCSDL})
    c->SetEnabled(on);
}

void TFCaiDat::Edit_CSDLChange(ui::Control&) { Edit_CSDL.SetHint(Edit_CSDL.Text()); }

void TFCaiDat::BitBtn_openCSDLClick(ui::Control&) {
  SaveDialog1.Title = ui::Wide("Tệp cơ sở dữ liệu");
  SaveDialog1.Filter = L"FireBird file (*.fdb)|*.FDB";
  const std::wstring current = Edit_CSDL.Text();
  const size_t separator = current.rfind(L'\\');
  SaveDialog1.InitialDir = separator == std::wstring::npos ? std::wstring() : current.substr(0, separator);
  if (!SaveDialog1.Execute()) return;

  // The name stays as the dialog gave it: one that the system code page cannot hold is not
  // narrowed to question marks here but refused with a box when the page is left.
  std::wstring name = SaveDialog1.FileName;
  const std::wstring last_four = name.size() >= 4 ? name.substr(name.size() - 4) : name;
  if (Lower(last_four) != kDatabaseExtension && Lower(Extension(name)) != kDatabaseExtension) name += kDatabaseExtension;
  Edit_CSDL.SetText(name);
}
