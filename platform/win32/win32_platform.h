#pragma once
// The real Windows: one instance of each part, behind platform::Current().
#include "platform/clock.h"
#include "platform/codepages.h"
#include "platform/files.h"
#include "platform/firewall.h"
#include "platform/libraries.h"
#include "platform/message_boxes.h"
#include "platform/processes.h"
#include "platform/registry_backend.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/shell_links.h"

namespace platform::win32 {

RegistryBackend& RealRegistry();
FileSystem& RealFiles();
ModuleResources& RealResources();
Libraries& RealLibraries();
MessageBoxes& RealBoxes();
CodePages& RealCodePages();
Clock& RealClock();
Shell& RealShell();
Processes& RealProcesses();
ShellLinks& RealShellLinks();
Firewall& RealFirewall();

}  // namespace platform::win32
