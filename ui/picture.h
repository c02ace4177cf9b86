#pragma once
#include <string>

namespace ui {

// A picture of the program's own resources: a PNG (resource type "PNG") or an icon group, by name.
// Decoding is the back end's, with the platform's own codecs.
struct Picture {
  enum class Kind { None, Png, Icon };
  Kind kind = Kind::None;
  std::string resource;  // resource name, e.g. "LOGO"
  int width = 0;         // natural size in pixels
  int height = 0;
  bool operator==(const Picture&) const = default;
};

}  // namespace ui
