#pragma once
// Screenshots of the whole display, taken by the script that runs the driver (ImageMagick's
// `import` on the X display Wine draws on): the driver leaves a request file naming the picture
// in the folder given by QLR_E2E_SHOTS and waits until the script has taken it and removed the
// request. Without that variable no pictures are taken.
#include <string>

namespace e2e {

// False when a picture was asked for and not taken in time. With `settle`, the window is first
// given a moment to finish painting; without, the picture shows the display as it is (a moving
// progress bar).
bool TakeScreenshot(const std::string& name, bool settle = true);

}  // namespace e2e
