#pragma once
// Carried resources for tests of the install run on the simulated machine. The built payload is
// the real thing (34 MB, the stand-ins); the small one has the same entry names with a few bytes
// each, so that tests of other steps run in a blink.
#include <cstddef>
#include <string>

#include "platform/sim/sim_platform.h"

namespace install::testing {

// The build's resource folder: CACFILE and FIREBIRD as the payload build makes them.
void AddBuiltPayload(platform::sim::SimPlatform& sim);

// Every entry the deployment asks for holds "<name> v<version>"; the server archive holds the
// tree's folders, the two scripts and the runtime installer. `damaged` names an entry whose
// stored checksum is wrong, so that its extraction fails.
void AddSmallPayload(platform::sim::SimPlatform& sim, int version = 1, const std::string& damaged = "");

// Replaces the small payload with one whose byte `offset` into the stored data of `entry` (its
// 12-byte encryption header first) is flipped, as a damaged copy of the setup carries it.
void FlipPayloadByte(platform::sim::SimPlatform& sim, const std::string& entry, size_t offset, int version = 1);

// What the small payload's entry `name` holds.
std::string SmallContent(const std::string& name, int version = 1);

}  // namespace install::testing
