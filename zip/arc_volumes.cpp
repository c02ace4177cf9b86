// Finding an archive and its volumes: the drive check, the last part of a multi-volume set on a
// fixed drive or on removable media, and the disks the user is asked to insert.
#include <algorithm>
#include <cctype>

// files.h first: on Windows it brings windows.h, whose macros rename some members of the
// platform's interfaces; every header after it then sees the same names.
#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/arc_worker.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {

constexpr int kMaxNumberedParts = 999;
// A removable set whose last part is named "<name>.zip" among "<name>.z01", "<name>.z02", ...
constexpr int kZipExtensionNumber = 99999;
constexpr const char* kBackupLabel = "PKBACK# ";

// The number the decimal digits `s` (at most five) form, or -1 when `s` is not such a number.
int DecimalNumber(const std::string& s) {
  if (s.empty() || s.size() > 5) return -1;
  int n = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string FileNameOf(const std::string& path) { return path.substr(ExtractFilePath(path).size()); }

}  // namespace

// The disk number a "PKBACK# 001" label gives (1 for the first disk), or 0 for any other label.
int TArcWorker::BackupDiskNumber() const {
  const std::string prefix = kBackupLabel;
  if (VolumeLabel.size() != prefix.size() + 3 || VolumeLabel.compare(0, prefix.size(), prefix) != 0) return 0;
  return std::max(DecimalNumber(VolumeLabel.substr(prefix.size())), 0);
}

// The archive's drive must exist and its volume must answer; the label and read-only flag of the
// volume in it are taken. False when the volume cannot be read (no disk in the drive, say).
bool TArcWorker::CheckArchiveDrive(platform::DriveType type) {
  auto& files = platform::Current().files;
  const char first = char(std::toupper(static_cast<unsigned char>(DriveRoot[0])));
  const bool letter = first >= 'A' && first <= 'Z';
  if (letter) {
    if (type == platform::DriveType::NoRootDir || type == platform::DriveType::Unknown)
      throw EArchiver(kMsgDriveUndefined, DriveRoot);
  } else if (first != '\\') {
    throw EArchiver(kMsgInvalidDrive, DriveRoot);
  }
  CriticalErrorsOff errors_off;
  const auto volume = files.GetVolumeInformation(DriveRoot);
  if (!volume) return false;
  VolumeLabel = volume->label;
  VolumeReadOnly = volume->read_only;
  return !letter || files.FreeSpace(DriveRoot).has_value();
}

// Asks for another disk in the archive's drive and returns once the user says it is in.
void TArcWorker::AskForDisk(const std::string& text) {
  if (Unattended) throw EArchiver(kMsgUnattendedSpanning, true);
  std::string msg = text + ZipFmtLoadStr(kMsgInDrive, {DriveRoot});
  const int answer = ArcDialog("", msg, BoxContext(ArcBoxType::Warning, kContextDisk),
                               {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel});
  if (answer != mrOk) throw EArchiverAbort();
}

void TArcWorker::AskForLastDisk() {
  const int disk = BackupDiskNumber();
  if (disk == 1)
    AskForDisk(ZipLoadStr(kMsgFirstBackupDisk));
  else if (disk > 1)
    AskForDisk(ZipFmtLoadStr(kMsgNthBackupDisk, {disk}));
  else
    AskForDisk(ZipLoadStr(kMsgInsertLastDisk));
}

bool TArcWorker::LocateArchive(const std::string& name, bool quiet) {
  try {
    auto& files = platform::Current().files;
    const std::string full = ExpandFileName(name);
    DriveRoot = ExtractFileDrive(full) + "\\";
    const platform::DriveType type = files.GetDriveType(DriveRoot);
    OnFixedDrive = type != platform::DriveType::Removable && type != platform::DriveType::CdRom;
    if (!CheckArchiveDrive(type)) return false;

    // On removable media the disk in the drive may not be the one holding the end record: the
    // user is asked for it until it is there or the read is cancelled.
    for (;;) {
      const bool multi_volume = !files.FileExists(full);
      if (!multi_volume) {
        OpenedFileName = full;
      } else if (!(OnFixedDrive ? OpenMultiVolume(full, quiet) : FindLastPartOnDisk(full, quiet))) {
        return false;
      }
      current_volume_ = -1;
      if (ReadEndRecord()) break;
      if (!OnFixedDrive) {
        AskForLastDisk();
        if (!CheckArchiveDrive(files.GetDriveType(DriveRoot))) return false;
        continue;
      }
      if (multi_volume) {
        if (quiet) return false;
        throw EArchiver(kMsgCannotOpen, true);
      }
      // Never quiet: a file that is there but holds no archive is worth saying.
      ShowExceptionError(EArchiver(kMsgNotValidZip, true));
      OpenedFileName.clear();
      return false;
    }
    current_volume_ = end_record_.ThisDisk;
    return true;
  } catch (const EArchiver& e) {
    file_.Close();
    OpenedFileName.clear();
    if (!quiet || e.ResIdent() == kMsgNotValidZip) ShowExceptionError(e);
    return false;
  }
}

// Parts named "<name>001.zip", "<name>002.zip", ...: the first whose end record is found is the
// set's last part, valid when its disk number is its own position.
bool TArcWorker::OpenMultiVolume(const std::string& full, bool quiet) {
  auto& files = platform::Current().files;
  if (!SameText(ExtractFileExt(full), ".zip")) {
    if (quiet) return false;
    throw EArchiver(kMsgCannotOpen, true);
  }
  const std::string base = ChangeFileExt(full, "");
  for (int part = 1; part <= kMaxNumberedParts; ++part) {
    const std::string candidate = base + ZipFormat("%3.3d", {part}) + ".zip";
    if (!files.FileExists(candidate)) break;
    OpenedFileName = candidate;
    if (ReadEndRecord()) {
      file_.Close();
      // "<name>001.zip" beside "<name>001.z01" ends a set of ".z" volumes of another name; which
      // set was meant cannot be told.
      if (files.FileExists(ChangeFileExt(candidate, ".z01"))) throw EArchiver(kMsgCannotOpen, true);
      if (end_record_.ThisDisk != part - 1) throw EArchiver(kMsgNotValidZip, true);
      volume_style_ = VolumeStyle::Numbered;
      return true;
    }
  }
  OpenedFileName.clear();
  if (quiet) return false;
  throw EArchiver(kMsgCannotOpen, true);
}

// On removable media the named file may be one part of a set on this disk: "<name>NNN.zip" with
// NNN above 0 first, else "<name>.zNN" (".zip" counting as the highest number).
bool TArcWorker::FindLastPartOnDisk(const std::string& full, bool quiet) {
  auto& files = platform::Current().files;
  const std::string base = ChangeFileExt(full, "");
  const std::string folder = ExtractFilePath(full);
  const size_t stem = FileNameOf(base).size();
  for (const std::string& found : files.FindFiles(base + "???.zip")) {
    if (found.size() != stem + 7) continue;
    if (DecimalNumber(found.substr(stem, 3)) > 0) {
      OpenedFileName = folder + found;
      return true;
    }
  }
  for (const std::string& found : files.FindFiles(base + ".z??*")) {
    if (found.size() < stem + 2) continue;
    const std::string after = found.substr(stem + 2);
    const int number = SameText(after, "ip") ? kZipExtensionNumber : DecimalNumber(after);
    if (number > 0) {
      OpenedFileName = folder + found;
      return true;
    }
  }
  OpenedFileName.clear();
  if (quiet) return false;
  throw EArchiver(kMsgCannotOpen, true);
}

void TArcWorker::OpenVolume(int number) {
  file_.Close();
  current_volume_ = number;
  auto& files = platform::Current().files;
  const std::string archive = ExpandFileName(zip_file_name_);
  const std::string base = ChangeFileExt(archive, "");
  const std::string ext = ExtractFileExt(archive);
  const int total = int(end_record_.ThisDisk) + 1;
  auto z_name = [&] {
    if (number == int(end_record_.ThisDisk)) return ChangeFileExt(archive, ".zip");
    return base + (number + 1 < 10 ? ZipFormat(".z0%d", {number + 1}) : ZipFormat(".z%d", {number + 1}));
  };
  auto numbered_name = [&] { return base + ZipFormat("%3.3d", {number + 1}) + ext; };
  if (volume_style_ == VolumeStyle::Undecided) {
    // A backup set keeps one name on every disk; the disks are told apart by their labels.
    if (!OnFixedDrive && BackupDiskNumber() > 0)
      volume_style_ = VolumeStyle::SameName;
    else if (files.FileExists(z_name()))
      volume_style_ = VolumeStyle::ZNumbered;
    else if (files.FileExists(numbered_name()))
      volume_style_ = VolumeStyle::Numbered;
    else if (OnFixedDrive || SameText(ChangeFileExt(OpenedFileName, ""), base))
      volume_style_ = VolumeStyle::ZNumbered;  // the last part found was "<name>.zip" or "<name>.zNN"
    else
      volume_style_ = VolumeStyle::Numbered;
  }
  const std::string name = volume_style_ == VolumeStyle::ZNumbered  ? z_name()
                           : volume_style_ == VolumeStyle::Numbered ? numbered_name()
                                                                    : archive;
  if (Verbose) Report(ReportKind::MessageReported, 0, 0, ZipFmtLoadStr(kMsgTraceOpening, {name}));
  for (;;) {
    // A backup disk counts only with its own label; a disk of another set may hold the same name.
    bool right_disk = true;
    if (volume_style_ == VolumeStyle::SameName) {
      CriticalErrorsOff errors_off;
      const auto volume = files.GetVolumeInformation(DriveRoot);
      VolumeLabel = volume ? volume->label : std::string();
      right_disk = BackupDiskNumber() == number + 1;
    }
    if (right_disk && file_.OpenRead(name)) return;
    if (OnFixedDrive) throw EArchiver(kMsgInputMissing, true);
    AskForDisk(ZipLoadStr(kMsgInputMissing) + "\n" + ZipFmtLoadStr(kMsgInsertVolumeOf, {number + 1, total}));
  }
}

}  // namespace zip
