#include "tools/e2e/machine_state.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "tests/time_scale.h"
#include "tools/e2e/shortcut_places.h"

namespace e2e {

namespace {

// Owns an open key.
class Key {
 public:
  Key(HKEY root, const std::wstring& path, bool create) {
    LONG status = create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                         : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

void Set(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
  Key key(root, path, true);
  if (!key || RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    throw std::runtime_error("cannot prepare a registry value");
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

}  // namespace

void ResetMachine() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuenlarVN");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\QuenlarVN");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SoftWare\\Quenlar Corp");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".fdb");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"zozazera_db");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L".fdb");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"zozazera_db");
  DeleteValue(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Windows\\System", L"DisableCMD");
  DeleteValue(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\Tcpip\\Parameters", L"DisableDHCPMediaSense");
  std::error_code ignored;
  std::filesystem::remove_all(L"C:\\Quenlar", ignored);
  // The client library the payload lays into the system folder.
  wchar_t system[MAX_PATH + 1] = {};
  if (GetSystemDirectoryW(system, MAX_PATH)) std::filesystem::remove(std::wstring(system) + L"\\gds32.dll", ignored);
  RemoveShortcuts();
}

bool KeyExists(HKEY root, const std::wstring& path) { return static_cast<bool>(Key(root, path, false)); }

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(root, path.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  Key key(root, path, false);
  if (!key) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
  Set(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
  Set(root, path, name, REG_DWORD, &value, sizeof value);
}

void WriteBytes(HKEY root, const std::wstring& path, const std::wstring& name, const std::vector<uint8_t>& data) {
  Set(root, path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFile(const std::wstring& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make a file");
  CloseHandle(file);
}

void PlaceStandIn(const std::wstring& program, const std::wstring& path) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(std::filesystem::path(self).parent_path() / program, path,
                             std::filesystem::copy_options::overwrite_existing);
}

std::optional<std::wstring> ReadTextFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  BOOL ok = ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return text;
}

StandInProcess::StandInProcess(const std::wstring& file_name) {
  path_ = (std::filesystem::temp_directory_path() / L"qlr-e2e" / file_name).wstring();
  PlaceStandIn(L"qlr_e2e_idle.exe", path_);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + path_ + L"\"";
  if (!CreateProcessW(path_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_))
    throw std::runtime_error("cannot start the stand-in process");
}

StandInProcess::~StandInProcess() {
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, static_cast<DWORD>(qlr_test::Scaled(std::chrono::seconds(5)).count()));
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace e2e
