#include "tools/payloadbuilder/manifest.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace payloadbuilder {

std::vector<ManifestEntry> ReadManifest(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read manifest " + path);
  std::vector<ManifestEntry> entries;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestEntry e;
    std::string method;
    fields >> e.size >> method;
    std::getline(fields >> std::ws, e.name);
    if (!fields.eof() && fields.fail()) e.name.clear();
    if (e.name.empty() || (method != "stored" && method != "deflated") || (e.IsFolder() && e.size != 0))
      throw std::runtime_error(path + ":" + std::to_string(number) + ": expected \"<size> stored|deflated <name>\"");
    e.deflated = method == "deflated";
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace payloadbuilder
