// The archive component's directory reader on arbitrary archives, and QueryZip on the same
// file. The archive lies on a simulated machine whose drives are kept in memory (/dev/shm), so
// every run reaches the reader's parsing with no disk in the way.
//
// Byte 0 picks the options: bit 0 lists folder entries, bits 1-2 the code page, bit 3 verbose
// reports, bits 4-5 how the bytes lie (one file; split in two volumes "a.z01" + "a.zip"; split
// as numbered parts "a001.zip" + "a002.zip" named through "a.zip"; one file named "a.exe" with a
// "a.zip" sibling), bit 6 unattended, bit 7 the files on a removable disk (labelled as the first
// disk of a backup set when bit 15 of bytes 1-2 is set) whose user answers the first three boxes
// and then cancels. Bytes 1-2 give where a split falls; the rest is the archive.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sim/sim_platform.h"
#include "zip/archiver.h"
#include "zip/arc_ui.h"
#include "zip/query_zip.h"

namespace {

constexpr const char* kFixedFolder = "C:\\Data";
constexpr const char* kRemovableFolder = "A:\\Data";
std::size_t g_touched = 0;  // what was read, kept so the reads are not left out

// A user who puts a disk in three times and then gives up.
class PatientUser : public zip::ScriptedArcUi {
 public:
  zip::ArcBoxAnswer ShowBox(const zip::ArcBoxRequest& request) override {
    if (shown.size() >= 3) return {zip::mrCancel, {}};
    return ScriptedArcUi::ShowBox(request);
  }
};

struct Machine {
  platform::sim::SimPlatform sim;
  PatientUser ui;
};

// One machine for the whole run; its sandbox is removed when the process ends.
Machine& TheMachine() {
  static Machine machine;
  static const bool laid_out = [] {
    machine.sim.files().CreateDir(kFixedFolder);
    std::filesystem::create_directories(machine.sim.Host(kRemovableFolder));
    return true;
  }();
  (void)laid_out;
  return machine;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The simulated drives in memory, unless the caller chose a place.
  if (!std::getenv("TMPDIR")) setenv("TMPDIR", "/dev/shm", 1);
  TheMachine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  Machine& m = TheMachine();
  const std::uint8_t options = data[0];
  const std::size_t split = std::size_t(data[1] | data[2] << 8);
  const std::uint8_t* archive = data + 3;
  const std::size_t length = size - 3;
  const std::size_t cut = length == 0 ? 0 : split % length;

  const bool removable = options & 0x80;
  const std::string folder = removable ? kRemovableFolder : kFixedFolder;
  m.sim.files().SetDrive('A', platform::DriveType::Removable,
                         platform::VolumeInfo{(split & 0x8000) ? "PKBACK# 001" : "DISK", 0x1234, "FAT"});
  auto put = [&](const std::string& name, const std::uint8_t* bytes, std::size_t count) {
    m.sim.files().WriteFile(folder + "\\" + name, bytes, count);
  };
  for (const char* name : {"a.zip", "a.z01", "a001.zip", "a002.zip", "a.exe"}) {
    m.sim.files().DeleteFile(std::string(kFixedFolder) + "\\" + name);
    m.sim.files().DeleteFile(std::string(kRemovableFolder) + "\\" + name);
  }
  std::string named = "a.zip";
  switch ((options >> 4) & 3) {
    case 0:
      put("a.zip", archive, length);
      break;
    case 1:
      put("a.z01", archive, cut);
      put("a.zip", archive + cut, length - cut);
      break;
    case 2:
      put("a001.zip", archive, cut);
      put("a002.zip", archive + cut, length - cut);
      break;
    case 3:
      put("a.exe", archive, length);
      put("a.zip", archive + cut, length - cut);
      named = "a.exe";
      break;
  }

  zip::TArchiver arc;
  m.ui.shown.clear();
  arc.SetUi(m.ui);
  arc.UseDirOnlyEntries = options & 1;
  arc.CodePage = static_cast<zip::CPOpts>(((options >> 1) & 3) % 3);
  arc.Verbose = options & 8;
  arc.Unattended = options & 0x40;
  const std::string path = folder + "\\" + named;
  const int query = zip::QueryZip(path);
  arc.SetZipFileName(path);

  // Everything the reader leaves behind must be readable.
  std::size_t sum = arc.ZipComment().size() + arc.SFXOffset() + arc.ZipSOC() + arc.ZipEOC();
  for (int i = 0; i < arc.Count(); ++i) {
    const zip::ZipDirEntry& e = arc.DirEntry(i);
    sum += e.FileName.size() + e.FileComment.size() + e.ExtraField.size();
    if (e.FileName.size() > 2 * 259 + 1) __builtin_trap();  // a stored name is below 260 bytes
  }
  if (arc.Count() > 0 && arc.ZipFileName().empty()) __builtin_trap();  // a failed read lists nothing
  if (((options >> 4) & 3) == 0 && !removable && arc.Count() > 0) {
    // One file read as an archive: QueryZip saw its end record too, and the record lies in it.
    if (query < 0 || !(query & 0x80)) __builtin_trap();
    if (uint64_t(arc.ZipEOC()) + 22 > arc.RealFileSize() || arc.RealFileSize() != length) __builtin_trap();
  }
  g_touched += sum;
  return 0;
}
