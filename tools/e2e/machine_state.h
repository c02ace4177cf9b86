#pragma once
// What the setup leaves on the machine, read and prepared through the real registry and file
// system of the Wine prefix, and the stand-in processes a scenario needs.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Removes every key, value and folder a run of the setup may leave, so each scenario starts on a
// machine where the setup has never run.
void ResetMachine();

bool KeyExists(HKEY root, const std::wstring& path);
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name);
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path);

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void WriteBytes(HKEY root, const std::wstring& path, const std::wstring& name, const std::vector<uint8_t>& data);

bool FolderExists(const std::wstring& path);
void MakeFile(const std::wstring& path);
// Copies one of the stand-in programs built beside the driver to `path` (folders made as needed).
void PlaceStandIn(const std::wstring& program, const std::wstring& path);
// The text of a UTF-16 file, nothing when it cannot be read.
std::optional<std::wstring> ReadTextFile(const std::wstring& path);

// A copy of the driver's idle program started under another file name (a stand-in server
// process for the setup's probe); ended when this goes.
class StandInProcess {
 public:
  explicit StandInProcess(const std::wstring& file_name);
  ~StandInProcess();
  StandInProcess(const StandInProcess&) = delete;
  StandInProcess& operator=(const StandInProcess&) = delete;
  DWORD Id() const { return process_.dwProcessId; }

 private:
  PROCESS_INFORMATION process_{};
  std::wstring path_;
};

}  // namespace e2e
