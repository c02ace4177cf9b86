#include <algorithm>
#include <string>

#include "app/setup_form.h"
#include "install/key_scope.h"
#include "platform/libraries.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"

#if defined(_WIN32)
#define QLR_LIBRARY_CALL __stdcall
#else
#define QLR_LIBRARY_CALL
#endif

namespace {

// reskt.dll's entry point: (owner, regime code, database path) -> the path of the file it made.
using TaoCSDLProc = const char*(QLR_LIBRARY_CALL*)(void* owner, const char* regime, const char* path);

constexpr char kLibraryMissing[] = "Không tìm thấy tệp reskt.dll.\r\nChạy bộ cài đặt để tạo lại các file.";
constexpr char kNoEntryPoint[] = "Tệp reskt.dll không có hàm TaoCSDL.\r\nChạy bộ cài đặt để tạo lại các file.";
constexpr char kNothingMade[] = "Không tạo được tệp cơ sở dữ liệu.";

// Blanks and control characters: everything below code 33.
bool Blank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 33; });
}

const char* RegimeCode(const TFCaiDat& form) {
  if (form.rdo_QD15.Checked()) return "TT200";
  if (form.rdo_QD48.Checked()) return "TT133";
  return "";
}

void Complain(TFCaiDat& form, const char* text) {
  platform::Current().boxes.Show(form.Handle(), text, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
}

}  // namespace

void TFCaiDat::CreateDatabaseFile() {
  std::string path = Ansi(Edit_CSDL.Text());
  if (Blank(path)) return;

  const std::string library_path = Ansi(Edit_AppPath.Text()) + "\\reskt.dll";
  std::unique_ptr<platform::Library> library = platform::Current().libraries.Load(library_path);
  if (!library) return Complain(*this, kLibraryMissing);
  auto TaoCSDL = reinterpret_cast<TaoCSDLProc>(library->Symbol("TaoCSDL"));
  if (!TaoCSDL) return Complain(*this, kNoEntryPoint);

  // The path goes as typed, untrimmed; the library answers with the file it made, which may be
  // named otherwise (an extension added, say).
  const char* made = TaoCSDL(this, RegimeCode(*this), path.c_str());
  if (!made) return Complain(*this, kNothingMade);
  path = made;
  // Freed as soon as the text is ours: a library kept loaded could not be replaced by the next
  // run's deployment.
  library.reset();

  if (install::KeyScope key(*FUserRegistry, FSettingsKey, install::KeyScope::kCreate); key)
    FUserRegistry->WriteString("DataBase", path);
}
