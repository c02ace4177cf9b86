#pragma once
// The thin layer to the operating system. Every subsystem of the setup reaches Windows through
// these interfaces: platform/win32 makes the real calls, platform/sim simulates a Windows machine
// (drives mapped to folders of a sandbox, registry in memory, scripted processes and message
// boxes, a virtual clock) so the wizard and the install run are tested on the host.
//
// Current() is the platform in force. On Windows it is the real one unless a test installs
// another; on the host a test installs a sim::SimPlatform for its lifetime.

namespace platform {

class RegistryBackend;
class FileSystem;
class ModuleResources;
class Libraries;
class MessageBoxes;
class CodePages;
class Clock;
class Shell;
class Processes;
class ShellLinks;
class Firewall;

struct Platform {
  RegistryBackend& registry;
  FileSystem& files;
  ModuleResources& resources;
  Libraries& libraries;
  MessageBoxes& boxes;
  CodePages& codepages;
  Clock& clock;
  Shell& shell;
  Processes& processes;
  ShellLinks& shell_links;
  Firewall& firewall;
};

// The platform in force. Throws platform::Error when none is installed (host without a sim).
Platform& Current();

// Installs `p` (nullptr restores the default). Returns the previous one.
Platform* SetCurrent(Platform* p);

}  // namespace platform
