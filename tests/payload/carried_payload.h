#pragma once
// Carried resources for tests of the install run on the simulated machine. The built payload is
// the real thing (34 MB, the stand-ins); the small one has the same entry names with a few bytes
// each, so that tests of other steps run in a blink.
#include <string>

#include "platform/sim/sim_platform.h"

namespace install::testing {

// The build's resource folder: CACFILE and FIREBIRD as the payload build makes them.
void AddBuiltPayload(platform::sim::SimPlatform& sim);

// Every entry the deployment asks for holds "<name> v<version>"; the server archive holds the
// tree's folders, the two scripts and the runtime installer. `damaged` names an entry whose
// stored checksum is wrong, so that its extraction fails.
void AddSmallPayload(platform::sim::SimPlatform& sim, int version = 1, const std::string& damaged = "");

// What the small payload's entry `name` holds.
std::string SmallContent(const std::string& name, int version = 1);

}  // namespace install::testing
