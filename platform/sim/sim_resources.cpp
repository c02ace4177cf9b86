#include "platform/sim/sim_resources.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <memory>

#include "platform/error.h"
#include "platform/sim/host_path.h"

namespace platform::sim {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string FindEntry(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return std::string();
  while (dirent* e = readdir(dir.get()))
    if (SameName(e->d_name, name)) return folder + "/" + e->d_name;
  return std::string();
}

// A resource name or type is a plain name: nothing that could step out of its folder.
bool PlainName(const std::string& s) {
  return !s.empty() && s != "." && s != ".." && s.find('/') == std::string::npos && s.find('\\') == std::string::npos;
}

}  // namespace

SimResources::SimResources(std::string own_folder) { folders_.push_back(std::move(own_folder)); }

void SimResources::AddFolder(const std::string& host_folder) { folders_.push_back(host_folder); }

void SimResources::Add(const std::string& type, const std::string& name, const std::vector<uint8_t>& bytes) {
  if (!PlainName(type) || !PlainName(name)) throw Error("Invalid resource name '" + type + "/" + name + "'");
  std::string folder = FindEntry(folders_[0], type);
  if (folder.empty()) {
    folder = folders_[0] + "/" + Upper(type);
    ::mkdir(folders_[0].c_str(), 0777);
    ::mkdir(folder.c_str(), 0777);
  }
  std::string file = FindEntry(folder, name);
  if (file.empty()) file = folder + "/" + Upper(name);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw Error("Cannot write resource '" + file + "'");
  loaded_.erase(Upper(type) + "/" + Upper(name));  // a later Find sees the new bytes
}

std::optional<std::span<const uint8_t>> SimResources::Find(const std::string& type, const std::string& name) {
  if (!PlainName(type) || !PlainName(name)) return std::nullopt;
  const std::string key = Upper(type) + "/" + Upper(name);
  if (auto it = loaded_.find(key); it != loaded_.end()) return std::span<const uint8_t>(*it->second);
  for (const auto& folder : folders_) {
    std::string type_folder = FindEntry(folder, type);
    if (type_folder.empty()) continue;
    std::string file = FindEntry(type_folder, name);
    struct stat st;
    if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) continue;
    store_.push_back(std::move(bytes));
    loaded_[key] = &store_.back();
    return std::span<const uint8_t>(store_.back());
  }
  return std::nullopt;
}

std::optional<std::string> SimResources::FindString(unsigned id) {
  auto bytes = Find("STRING", "#" + std::to_string(id));
  if (!bytes || bytes->empty()) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace platform::sim
