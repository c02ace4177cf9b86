// Laying the application's files down from the encrypted payload: each entry of the deployment
// table is extracted into memory and written to its destination, some under another name.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/codepages.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "zip/archiver.h"

namespace {

enum class Machine { Server, Any };
enum class Write { Replace, Keep };

// A row writes an entry, makes a folder, or (entry and folder empty) sets the server's UDF folder.
struct Row {
  Machine when;
  const char* entry;        // as asked for; the archive may store it in another letter case
  const char* destination;  // below the application folder, or the UDF or system folder
  enum Base { App, Udf, Sys } base;
  Write write;
};

// In the order handled. Templates the user may have edited are kept; "Mau-Nhap-DM-TSCD.xls" is
// replaced although its neighbours are kept.
constexpr Row kTable[] = {
    {Machine::Server, "", "", Row::Udf, Write::Replace},
    {Machine::Server, "qlfs.dll", "\\qlfs.dll", Row::Udf, Write::Replace},
    {Machine::Server, "libxl.dll", "\\libxl.dll", Row::App, Write::Replace},
    {Machine::Server, "autsav.dll", "\\autsav.dll", Row::Udf, Write::Replace},
    {Machine::Server, "tbsl.exe", "\\tbsl.exe", Row::App, Write::Replace},
    {Machine::Any, "fb_gds32.dll", "\\gds32.dll", Row::Sys, Write::Replace},
    {Machine::Any, "VeReru_IB.exe", "\\zozazera.exe", Row::App, Write::Replace},
    {Machine::Any, "reskt.dll", "\\reskt.dll", Row::App, Write::Replace},
    {Machine::Any, "", "\\MauImport", Row::App, Write::Replace},
    {Machine::Any, "SoDuDau_HangHoa.xls", "\\MauImport\\SoDuDau_HangHoa.xls", Row::App, Write::Keep},
    {Machine::Any, "SoDuDau-TaiKhoan.xls", "\\MauImport\\SoDuDau-TaiKhoan.xls", Row::App, Write::Keep},
    {Machine::Any, "Mau-Nhap-DM-HangHoa.xls", "\\MauImport\\Mau-Nhap-DM-HangHoa.xls", Row::App, Write::Keep},
    {Machine::Any, "Mau-Nhap-DM-KhachHang.xls", "\\MauImport\\Mau-Nhap-DM-KhachHang.xls", Row::App, Write::Keep},
    {Machine::Any, "Mau-Nhap-DM-TSCD.xls", "\\MauImport\\Mau-Nhap-DM-TSCD.xls", Row::App, Write::Replace},
    {Machine::Any, "Mau Import - Phieu nhap xuat hang hoa.xls", "\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls",
     Row::App, Write::Keep},
    {Machine::Any, "", "\\MauBC", Row::App, Write::Replace},
    {Machine::Any, "MauDatInQLR.mbc", "\\MauBC\\MauDatInQLR.mbc", Row::App, Write::Keep},
    {Machine::Any, "PhieuXKNB.mbc", "\\MauBC\\PhieuXKNB.mbc", Row::App, Write::Keep},
    {Machine::Any, "MauHDTuIn0.mbc", "\\MauBC\\MauHDTuIn0.mbc", Row::App, Write::Keep},
    {Machine::Any, "MauHDTuIn1.mbc", "\\MauBC\\MauHDTuIn1.mbc", Row::App, Write::Keep},
    {Machine::Any, "LogoQLR.jpg", "\\MauBC\\LogoQLR.jpg", Row::App, Write::Keep},
    {Machine::Any, "qlrHoTro.exe", "\\HoTroTuXa.exe", Row::App, Write::Replace},
    {Machine::Any, "HuongDan SuDung.chm", "\\HuongDanSuDung.chm", Row::App, Write::Replace},
    {Machine::Any, "uninsqkt.exe", "\\uninsqkt.exe", Row::App, Write::Replace},
    {Machine::Any, "WindowsXP-KB935448-x86-ENU.exe", "\\WindowsXP-KB935448-x86-ENU.exe", Row::App, Write::Replace},
    {Machine::Any, "REGSVR32.exe", "\\REGSVR32.exe", Row::App, Write::Replace},
    {Machine::Any, "KeyHelp.ocx", "\\KeyHelp.ocx", Row::App, Write::Replace},
};

constexpr char kUdfBelowApp[] = "\\Firebird-2.5.7.2\\UDF";
constexpr char kCloseApplication[] = "Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";
constexpr char kCannotCreate[] = "cannot create file";
constexpr char kDiskFull[] = "Không đủ chỗ trống trên ổ đĩa để ghi tệp:\r\n%s\r\n"
                             "Hãy giải phóng dung lượng trên ổ đĩa này rồi chạy lại bộ cài đặt.";

bool MentionsCannotCreate(std::string message) {
  std::transform(message.begin(), message.end(), message.begin(), [](unsigned char c) { return std::tolower(c); });
  return message.find(kCannotCreate) != std::string::npos;
}

}  // namespace

bool TFCaiDat::DeployApplicationFiles() {
  auto& p = platform::Current();
  OpenCarriedArchive("cacfile");
  const std::string system = p.files.SystemDirectory();
  const std::string app = Ansi(Edit_AppPath.Text());
  const bool server = rdo_MayChu.Checked();
  // An error stops the rows: its text in the form's box, the bar back to the start.
  auto stop = [&](const std::string& text) {
    p.boxes.Show(Handle(), text, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
    ProgressBar1.SetPosition(0);
    return false;
  };

  try {
    for (const Row& row : kTable) {
      if (row.when == Machine::Server && !server) continue;
      if (*row.entry == '\0' && *row.destination == '\0') {
        FUdfDir = app + kUdfBelowApp;
        continue;
      }
      if (*row.entry == '\0') {
        p.files.CreateDir(app + row.destination);  // an existing folder is no reason to stop
        continue;
      }
      const std::string& base = row.base == Row::Udf ? FUdfDir : row.base == Row::Sys ? system : app;
      ExtractEntryToFile(row.entry, base + row.destination, row.write == Write::Replace);
      ProgressBar1.StepBy(1);
    }
  } catch (const platform::EDiskFull& e) {
    // Named so that the administrator knows which drive to free; the earlier file stays whole.
    std::string text = kDiskFull;
    text.replace(text.find("%s"), 2, platform::AnsiToUtf8(e.Path()));
    return stop(text);
  } catch (const platform::Error& e) {
    // A file that cannot be created is nearly always one the running application holds open.
    // Other messages come from the component or name a path: both are in the system code page.
    return stop(MentionsCannotCreate(e.what()) ? kCloseApplication : platform::AnsiToUtf8(e.what()));
  }
  return true;
}

namespace install {

size_t LongestDeployedPath() {
  size_t longest = 0;
  for (const Row& row : kTable) {
    if (row.base == Row::Sys) continue;
    const size_t below = (row.base == Row::Udf ? std::strlen(kUdfBelowApp) : 0) + std::strlen(row.destination);
    longest = std::max(longest, below);
  }
  return longest;
}

}  // namespace install

// Only a whole extraction is written: when the component gives nothing, or less than the entry
// holds (absent, password refused, damaged), the step stops with the entry named, and a file at
// the destination stays as it was.
void TFCaiDat::ExtractEntryToFile(const std::string& EntryName, const std::string& FileName, bool Overwrite) {
  Archiver1->FSpecArgs = {EntryName};
  const zip::TArcStream* stream = Archiver1->ExtractFileToStream("");
  int index = -1;
  const zip::ZipDirEntry* entry = Archiver1->Find(EntryName, index);
  if (!stream || !entry || stream->Size() != entry->UncompressedSize)
    throw platform::Error("Entry " + EntryName + " could not be extracted from the payload");

  if (!Overwrite && platform::Current().files.FileExists(FileName)) return;
  install::WriteWholeFile(FileName, stream->Memory(), size_t(stream->Size()));
}
