#include "tests/payload/carried_payload.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "install/archive_password.h"
#include "tools/zipwriter/zipwriter.h"

namespace install::testing {
namespace {

// The payload's names as the archive stores them, in archive order.
constexpr const char* kPayloadEntries[] = {
    "qlfs.dll", "autsav.dll", "libxl.dll", "tbsl.exe", "MauDatInQLR.mbc", "PhieuXKNB.mbc", "MauHDTuIn0.mbc",
    "MauHDTuIn1.mbc", "LogoQLR.jpg", "qlrHoTro.exe", "SoDuDau_HangHoa.xls", "SoDuDau-Taikhoan.xls",
    "Mau-Nhap-DM-HangHoa.xls", "Mau-Nhap-DM-KhachHang.xls", "Mau-Nhap-DM-TSCD.xls",
    "Mau Import - Phieu nhap xuat hang hoa.xls", "fb_gds32.dll", "vereru_ib.exe", "reskt.dll", "HuongDan SuDung.chm",
    "uninsqkt.exe", "WindowsXP-KB935448-x86-ENU.exe", "REGSVR32.exe", "KeyHelp.ocx", "admin.ib"};

constexpr const char* kServerEntries[] = {
    "Firebird-2.5.7.2/firebird.conf", "Firebird-2.5.7.2/bin/", "Firebird-2.5.7.2/bin/fbserver.exe",
    "Firebird-2.5.7.2/bin/install_super.bat", "Firebird-2.5.7.2/bin/uninstall.bat", "Firebird-2.5.7.2/system32/",
    "Firebird-2.5.7.2/system32/vccrt8_Win32.msi", "Firebird-2.5.7.2/udf/"};

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AddEngine(platform::sim::SimPlatform& sim) { sim.resources().Add("DLL", "ZIPENG179", ReadHostFile(QLR_ENGINE_FILE)); }

}  // namespace

void AddBuiltPayload(platform::sim::SimPlatform& sim) { sim.resources().AddFolder(QLR_PAYLOAD_RESOURCES); }

std::string SmallContent(const std::string& name, int version) { return name + " v" + std::to_string(version); }

namespace {

std::string SmallPayloadArchive(int version, const std::string& damaged) {
  zipwriter::Archive payload;
  for (const char* name : kPayloadEntries) {
    zipwriter::Entry e;
    e.name = name;
    e.data = SmallContent(name, version);
    e.flags = 2;
    e.password = install::ArchivePassword();
    if (e.name == damaged) e.declaredCrc = zipwriter::Crc32(e.data) ^ 1u;
    payload.entries.push_back(std::move(e));
  }
  return zipwriter::Build(payload);
}

}  // namespace

void AddSmallPayload(platform::sim::SimPlatform& sim, int version, const std::string& damaged) {
  zipwriter::Archive server;
  for (const char* name : kServerEntries) {
    zipwriter::Entry e;
    e.name = name;
    if (e.name.back() == '/') {
      e.method = zipwriter::kStored;
      e.externalAttributes = 0x10;
    } else {
      e.data = SmallContent(name, version);
    }
    server.entries.push_back(std::move(e));
  }
  sim.resources().Add("ZIP", "CACFILE", Bytes(SmallPayloadArchive(version, damaged)));
  sim.resources().Add("ZIP", "FIREBIRD", Bytes(zipwriter::Build(server)));
  AddEngine(sim);
}

void FlipPayloadByte(platform::sim::SimPlatform& sim, const std::string& entry, size_t offset, int version) {
  std::string archive = SmallPayloadArchive(version, "");
  // The entry's local header: signature, 26 bytes to the name's length, then the name and extra.
  for (size_t at = archive.find("PK\x03\x04"); at != std::string::npos; at = archive.find("PK\x03\x04", at + 4)) {
    auto u16 = [&](size_t pos) { return size_t(uint8_t(archive[pos])) | size_t(uint8_t(archive[pos + 1])) << 8; };
    const size_t name_length = u16(at + 26);
    if (archive.compare(at + 30, name_length, entry) != 0) continue;
    archive[at + 30 + name_length + u16(at + 28) + offset] ^= '\xFF';
    sim.resources().Add("ZIP", "CACFILE", Bytes(archive));
    return;
  }
  throw std::invalid_argument("no entry " + entry + " in the small payload");
}

}  // namespace install::testing
