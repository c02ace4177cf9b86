// Faults the real system can make, end to end in one driver run: a folder too long for the
// installation, a folder path that is a file, a folder whose parent is missing, a temporary folder
// that is missing, a read-only program, a program held open by another process, and a copy of the
// setup whose payload has one byte flipped. For each: the box the user sees, what stays on disk,
// and (but for the folder the folder page refuses) a second run that completes once the fault is
// gone.
#include "tools/e2e/fault_scenarios.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/e2e/carried_scenarios.h"
#include "tools/e2e/machine_state.h"
#include "tools/e2e/setup_window.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::wstring kFolder = L"C:\\Quenlar";
const std::wstring kProgram = kFolder + L"\\zozazera.exe";
const std::wstring kSettingsKey = L"Software\\QuenlarVN\\ERP\\Accounting";
const std::wstring kFileInTheWay = L"C:\\QuenlarTep";
const std::wstring kMissingParent = L"C:\\KhongCo\\Cha\\Quenlar";
const std::wstring kMissingTemp = L"C:\\KhongCoTemp";
const std::wstring kDamagedCopy = L"C:\\QlrHong\\SetupQLR.exe";
const std::wstring kCloseApplication = L"Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";
constexpr auto kRunTimeout = 240s;  // two archives of 41 MB under Wine on a loaded machine

std::wstring FolderNotMade(const std::wstring& folder) {
  return L"Không tạo được thư mục ứng dụng:\r\n" + folder +
         L"\r\nHãy chọn thư mục khác; thư mục chứa nó phải có sẵn và cho phép ghi.";
}

void RemoveFaultLeftovers() {
  std::error_code ignored;
  for (const std::wstring& path : {kFileInTheWay, std::wstring(L"C:\\KhongCo"), kMissingTemp, std::wstring(L"C:\\QlrHong")})
    fs::remove_all(path, ignored);
}

std::optional<FILETIME> WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data.ftLastWriteTime;
}

bool SameTime(const std::optional<FILETIME>& a, const std::optional<FILETIME>& b) {
  return a && b && CompareFileTime(&*a, &*b) == 0;
}

// Files a write left half-done beside its target.
int PartialFiles(const std::wstring& folder) {
  int count = 0;
  std::error_code ec;
  for (const auto& item : fs::recursive_directory_iterator(folder, ec))
    count += item.path().filename().wstring().ends_with(L".~partial");
  return count;
}

// A copy of `program` whose payload has one byte flipped inside the data of "vereru_ib.exe", the
// application's program: its local header is found by its name, past the 12-byte encryption header.
bool MakeDamagedCopy(const std::wstring& program, const std::wstring& copy) {
  std::ifstream in(fs::path(program), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string name = "vereru_ib.exe";
  for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos && at + 30 < bytes.size();
       at = bytes.find("PK\x03\x04", at + 4)) {
    auto u16 = [&](size_t pos) { return size_t(uint8_t(bytes[pos])) | size_t(uint8_t(bytes[pos + 1])) << 8; };
    if (u16(at + 26) != name.size() || bytes.compare(at + 30, name.size(), name) != 0) continue;
    const size_t data = at + 30 + name.size() + u16(at + 28);
    if (data + 5000 >= bytes.size()) return false;
    bytes[data + 4096] ^= '\xFF';
    fs::create_directories(fs::path(copy).parent_path());
    std::ofstream out(fs::path(copy), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
  }
  return false;
}

class FaultRun {
 public:
  FaultRun(SetupWindow& w, Report& r, std::string fault) : w_(w), r_(r), fault_(std::move(fault)) {}

  void Check(bool ok, const std::string& what) { r_.Check(ok, fault_ + ": " + what); }

  void Press(std::string_view button, int page, std::chrono::milliseconds timeout = 30s) {
    Check(w_.Click(button), "click " + std::string(button));
    Check(w_.WaitForPage(page, timeout), std::string(button) + " leads to page " + std::to_string(page));
  }

  // Page 0 to the summary as a workstation (no server to wait for) installing into `folder`;
  // the database page comes only for a new installation.
  void WalkToSummary(const std::wstring& folder) {
    const bool upgrade = w_.Checked("rdo_NangCap");
    Press("btn_TiepTuc", 1);
    Check(w_.Click("rdo_MayTram") && w_.WaitFor([&] { return w_.Checked("rdo_MayTram"); }, 5s), "a workstation");
    Press("btn_TiepTuc", 3);
    Check(w_.Type("Edit_AppPath", folder), "type the folder");
    if (upgrade) {
      Press("btn_TiepTuc", 5);
      return;
    }
    Press("btn_TiepTuc", 4);
    Check(w_.Click("chk_TaoCSDL") && w_.WaitFor([&] { return !w_.Checked("chk_TaoCSDL"); }, 5s), "no database");
    Press("btn_TiepTuc", 5);
  }

  // Next on a page that refuses what was typed there: a box, and the wizard stays on `page`.
  void NextRefused(int page) {
    Check(w_.Click("btn_TiepTuc"), "click Tiếp tục");
    boxes_.clear();
    w_.WaitFor(
        [&] {
          for (BoxSeen& box : w_.TakeBoxes()) boxes_.push_back(std::move(box));
          return !boxes_.empty();
        },
        30s);
    Check(w_.Page() == page, "the wizard stays on page " + std::to_string(page));
  }

  // Starts the run and waits for the result page; the boxes shown meanwhile are kept.
  bool RunToResult() {
    Check(w_.Click("btn_TiepTuc"), "click Cài đặt");
    const bool ended = w_.WaitForPage(6, kRunTimeout);
    boxes_ = w_.TakeBoxes();
    return ended;
  }

  // Starts the run and waits for the error that ends it without a result: the wizard stays on
  // the summary with Next off and Back on.
  void RunToError() {
    Check(w_.Click("btn_TiepTuc"), "click Cài đặt");
    boxes_.clear();
    w_.WaitFor(
        [&] {
          for (BoxSeen& box : w_.TakeBoxes()) boxes_.push_back(std::move(box));
          return !boxes_.empty() && w_.Enabled("btn_TroLai");
        },
        kRunTimeout);
    Check(w_.Page() == 5, "the wizard stays on the summary");
    Check(!w_.Enabled("btn_TiepTuc") && w_.Enabled("btn_TroLai") && w_.Enabled("btn_Dong"),
          "Next stays off, Back and Cancel are usable");
  }

  // The last box shown, after any the archive component showed first.
  void LastBox(const std::wstring& caption, const std::wstring& text) {
    for (const BoxSeen& box : boxes_) r_.Note(fault_ + ": box \"" + Utf8(box.caption) + "\": " + Utf8(box.text));
    Check(!boxes_.empty(), "a box is shown");
    if (boxes_.empty()) return;
    r_.Equal(boxes_.back().caption, caption, fault_ + ": caption of the box");
    r_.Equal(boxes_.back().text, text, fault_ + ": text of the box");
  }

  void Result(bool success) {
    r_.Equal(w_.Text("lbl_ThongBaoKetQua"), success ? L"Cài đặt thành công !" : L"Gặp một số lỗi cản trở việc cài đặt !",
             fault_ + ": the result");
    if (success) {
      for (const BoxSeen& box : boxes_) Check(false, "box after the fault was removed: " + Utf8(box.text));
    }
  }

  void Finish() {
    Check(w_.Click("btn_TiepTuc"), "click Kết thúc");
    Check(w_.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
  }

 private:
  SetupWindow& w_;
  Report& r_;
  std::string fault_;
  std::vector<BoxSeen> boxes_;
};

// The application folder cannot be made: a file has its name, or its parent is missing. The run
// stops before it records anything; after the fault is gone, Back and Cài đặt install.
void FolderFaults(const std::wstring& program, Report& r) {
  MakeFile(kFileInTheWay);
  SetupWindow w(program, "fault-folder");
  for (const std::wstring& folder : {kFileInTheWay, kMissingParent}) {
    FaultRun run(w, r, "folder " + Utf8(folder));
    if (folder == kFileInTheWay) {
      run.WalkToSummary(folder);
    } else {
      run.Press("btn_TroLai", 5);  // from the result of the one before, to the folder page
      run.Press("btn_TroLai", 4);
      run.Press("btn_TroLai", 3);
      run.Check(w.Type("Edit_AppPath", folder), "type the folder");
      run.Press("btn_TiepTuc", 4);
      run.Press("btn_TiepTuc", 5);
    }
    run.Check(run.RunToResult(), "the run ends on page 6");
    run.LastBox(L"Quenlar", FolderNotMade(folder));
    run.Result(false);
    run.Check(!ReadString(HKEY_LOCAL_MACHINE, kSettingsKey, L"AppPath"), "no AppPath recorded");
    run.Check(!FolderExists(folder), "no folder made");
  }
  FaultRun run(w, r, "folder fixed");
  fs::remove(kFileInTheWay);
  run.Check(CreateDirectoryW(L"C:\\KhongCo", nullptr) && CreateDirectoryW(L"C:\\KhongCo\\Cha", nullptr),
            "the parent made");
  run.Press("btn_TroLai", 5);
  run.Check(run.RunToResult(), "the second run ends on page 6");
  run.Result(true);
  run.Check(fs::is_regular_file(kMissingParent + L"\\zozazera.exe"), "the program laid down");
  run.Finish();
}

// The temporary copies of carried archives in the temporary folder.
int TemporaryCopies() {
  wchar_t temp[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH, temp)) return -1;
  int count = 0;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(temp, ec))
    count += item.path().filename().wstring().starts_with(L"zip");
  return count;
}

// A folder too long for the longest file laid down under it (a template that the deployment puts
// into a sub-folder, 52 characters with its "\"): the folder page refuses it and says why, and
// nothing is recorded, made, or left in the temporary folder, where the server archive was read.
void FolderTooLongFault(const std::wstring& program, Report& r) {
  const std::wstring folder = L"C:\\" + std::wstring(230, L'q');
  const int copies_before = TemporaryCopies();
  SetupWindow w(program, "fault-long");
  FaultRun run(w, r, "folder too long");
  run.Press("btn_TiepTuc", 1);
  run.Press("btn_TiepTuc", 3);
  run.Check(w.Type("Edit_AppPath", folder), "type the folder");
  run.NextRefused(3);
  run.LastBox(L"Quenlar", L"Thư mục ứng dụng không hợp lệ.\r\nĐường dẫn quá dài: các tệp cài vào thư mục này sẽ "
                          L"vượt quá 259 ký tự. Hãy chọn thư mục có đường dẫn không quá 207 ký tự.");
  run.Check(!ReadString(HKEY_LOCAL_MACHINE, kSettingsKey, L"AppPath"), "no AppPath recorded");
  run.Check(!FolderExists(folder), "no folder made");
  run.Check(TemporaryCopies() == copies_before, "no copy left in the temporary folder");
  run.Check(w.Click("btn_Dong") && w.WaitForExit(10s).has_value(), "Cancel ends the setup");
}

// TEMP names a folder that is missing: the carried archives cannot be copied out, and the error
// names the folder. Made, the next run completes in the same setup.
void TemporaryFolderFault(const std::wstring& program, Report& r) {
  wchar_t saved_temp[MAX_PATH] = {}, saved_tmp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TEMP", saved_temp, MAX_PATH);
  GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH);
  SetEnvironmentVariableW(L"TEMP", kMissingTemp.c_str());
  SetEnvironmentVariableW(L"TMP", kMissingTemp.c_str());
  SetupWindow w(program, "fault-temp");
  SetEnvironmentVariableW(L"TEMP", saved_temp);
  SetEnvironmentVariableW(L"TMP", saved_tmp);

  FaultRun run(w, r, "missing temporary folder");
  run.WalkToSummary(kFolder);
  run.RunToError();
  run.LastBox(L"SetupQLR", L"Cannot create file in " + kMissingTemp + L"\\");
  run.Check(!fs::exists(kFolder + L"\\Firebird-2.5.7.2"), "no server tree");

  run.Check(CreateDirectoryW(kMissingTemp.c_str(), nullptr), "the temporary folder made");
  run.Press("btn_TroLai", 4);
  run.Press("btn_TiepTuc", 5);
  run.Check(run.RunToResult(), "the second run ends on page 6");
  run.Result(true);
  run.Finish();
}

// Over the installation of the fault before: the program read-only, then held open by another
// process without sharing its writing. Each run stops at the program and leaves it as it was.
void ProgramFaults(const std::wstring& program, Report& r) {
  SetupWindow w(program, "fault-program");
  const auto before = WriteTime(kProgram);
  {
    FaultRun run(w, r, "read-only program");
    run.Check(SetFileAttributesW(kProgram.c_str(), FILE_ATTRIBUTE_READONLY), "the program made read-only");
    run.WalkToSummary(kFolder);
    run.Check(run.RunToResult(), "the run ends on page 6");
    run.LastBox(L"Quenlar", kCloseApplication);
    run.Result(false);
    run.Check(SameTime(WriteTime(kProgram), before), "the program is left as it was");
    run.Check(PartialFiles(kFolder) == 0, "no half-written file");
    SetFileAttributesW(kProgram.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  {
    FaultRun run(w, r, "program held open");
    HANDLE held = CreateFileW(kProgram.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    run.Check(held != INVALID_HANDLE_VALUE, "the program opened without sharing its writing");
    run.Press("btn_TroLai", 5);
    run.Check(run.RunToResult(), "the run ends on page 6");
    run.LastBox(L"Quenlar", kCloseApplication);
    run.Result(false);
    run.Check(SameTime(WriteTime(kProgram), before), "the program is left as it was");
    run.Check(PartialFiles(kFolder) == 0, "no half-written file");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
  FaultRun run(w, r, "program faults");
  run.Check(w.Click("btn_Dong") && w.WaitForExit(10s).has_value(), "Cancel after the failure ends the setup");
}

// A copy of the setup whose payload has one damaged byte: the program's entry fails its check and
// is not written; the program of the installation before stays. The sound setup then completes,
// the second run for the program's faults too.
void DamagedPayloadFault(const std::wstring& program, Report& r) {
  const auto before = WriteTime(kProgram);
  r.Check(MakeDamagedCopy(program, kDamagedCopy), "damaged payload: a copy with one byte flipped");
  {
    SetupWindow w(kDamagedCopy, "fault-payload");
    FaultRun run(w, r, "damaged payload");
    run.WalkToSummary(kFolder);
    run.Check(run.RunToResult(), "the run ends on page 6");
    run.LastBox(L"Quenlar", L"Entry VeReru_IB.exe could not be extracted from the payload");
    run.Result(false);
    run.Check(SameTime(WriteTime(kProgram), before), "the program is left as it was");
    run.Check(PartialFiles(kFolder) == 0, "no half-written file");
    run.Check(w.Click("btn_Dong") && w.WaitForExit(10s).has_value(), "Cancel ends the setup");
  }
  SetupWindow w(program, "fault-sound");
  FaultRun run(w, r, "sound setup");
  run.WalkToSummary(kFolder);
  run.Check(run.RunToResult(), "the run ends on page 6");
  run.Result(true);
  run.Check(!SameTime(WriteTime(kProgram), before), "the program is replaced");
  run.Finish();
}

}  // namespace

bool RunFaultScenario(const std::string& name, const std::wstring& program, Report& report) {
  if (name != "faults") return false;
  ResetMachine();
  ResetServer();  // a server left by another scenario would be stopped first, with its waits
  RemoveFaultLeftovers();
  FolderTooLongFault(program, report);
  FolderFaults(program, report);
  ResetMachine();
  TemporaryFolderFault(program, report);
  ProgramFaults(program, report);
  DamagedPayloadFault(program, report);
  ResetServer();
  ResetMachine();
  RemoveFaultLeftovers();
  return true;
}

}  // namespace e2e
