#pragma once
// The named objects the driver and its hook in the setup's thread share. One driver runs at a time
// in a Wine prefix, and each prefix has its own object namespace.
namespace e2e {

inline constexpr wchar_t kHeldEvent[] = L"Local\\qlr-e2e-progress-held";
inline constexpr wchar_t kReleaseEvent[] = L"Local\\qlr-e2e-progress-release";
inline constexpr wchar_t kPositionMapping[] = L"Local\\qlr-e2e-progress-position";
// The window of positions the run is held in: far enough from both ends for the picture to show
// the bar partly filled.
inline constexpr int kHoldFrom = 25;
inline constexpr int kHoldTo = 75;

}  // namespace e2e
