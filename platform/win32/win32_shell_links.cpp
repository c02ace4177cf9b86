#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/system_error_text.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

// The shell's identifiers, as the link makers name them.
constexpr GUID kIidShellFolder = {0x000214E6, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr size_t kShownNameMax = 200;

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// An item-ID list the shell handed out, freed with the shell's allocator.
class ItemIdList {
 public:
  explicit ItemIdList(IMalloc* allocator) : allocator_(allocator) {}
  ~ItemIdList() {
    if (list_ && allocator_) allocator_->Free(list_);
  }
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;

  LPITEMIDLIST get() const { return list_; }
  LPITEMIDLIST* put() { return &list_; }

 private:
  IMalloc* allocator_;
  LPITEMIDLIST list_ = nullptr;
};

// The item's name in the given form; empty when the shell gives none. The answer comes as a wide
// string, an offset into the list or a narrow string; StrRetToBufA takes all three (and frees the
// wide one).
bool DisplayName(IShellFolder* folder, LPCITEMIDLIST item, DWORD form, char* buffer, UINT size) {
  STRRET name = {};
  if (FAILED(folder->GetDisplayNameOf(item, form, &name))) return false;
  return SUCCEEDED(StrRetToBufA(&name, item, buffer, size));
}

std::string Search(IMalloc* allocator, WindowHandle owner, LPITEMIDLIST list, const std::string& shown_name) {
  com_ptr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.put()))) return {};
  com_ptr<IShellFolder> folder;
  // The desktop's own list is empty; the desktop folder is then the folder itself (binding to an
  // empty list is refused by some shells).
  if (list->mkid.cb == 0) {
    folder = std::move(desktop);
  } else if (FAILED(desktop->BindToObject(list, nullptr, kIidShellFolder, folder.put_void()))) {
    return {};
  }
  com_ptr<IEnumIDList> items;
  HWND window = reinterpret_cast<HWND>(owner);
  if (folder->EnumObjects(window, SHCONTF_NONFOLDERS, items.put()) != S_OK || !items) return {};

  std::string found;
  for (;;) {
    ItemIdList item(allocator);
    ULONG fetched = 0;
    if (items->Next(1, item.put(), &fetched) != S_OK || fetched != 1) break;
    char name[kShownNameMax + 1] = {};
    if (!DisplayName(folder.get(), item.get(), SHGDN_INFOLDER, name, sizeof name)) break;
    if (shown_name != name) continue;
    char path[MAX_PATH + 1] = {};
    if (DisplayName(folder.get(), item.get(), SHGDN_FORPARSING, path, sizeof path) && path[0]) found = path;
  }
  return found;
}

// A shortcut object and its file interface, released on every way out.
struct LinkObject {
  com_ptr<IShellLinkA> link;
  com_ptr<IPersistFile> file;

  LinkOutcome Create() {
    HRESULT hr = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, link.put_void());
    if (FAILED(hr)) {
      LinkOutcome outcome{LinkOutcome::kNoObject, hr, reinterpret_cast<uintptr_t>(link.get()),
                          SystemErrorText(GetLastError())};
      return outcome;
    }
    return {};
  }
  LinkOutcome Persist() {
    HRESULT hr = link->QueryInterface(kIidPersistFile, file.put_void());
    if (FAILED(hr)) return {LinkOutcome::kNoPersistFile, hr, 0, {}};
    return {};
  }
};

class Win32ShellLinks : public ShellLinks {
 public:
  ComResult InitializeCom(uint32_t flags) override { return CoInitializeEx(nullptr, flags); }
  void UninitializeCom() override { CoUninitialize(); }

  std::optional<std::string> SpecialFolderPath(int32_t folder) override {
    com_ptr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) return std::nullopt;
    ItemIdList list(allocator.get());
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, list.put())) || !list.get()) return std::nullopt;
    char path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(list.get(), path) || !path[0]) return std::nullopt;
    return std::string(path);
  }

  std::string FindInSpecialFolder(WindowHandle owner, int32_t folder, const std::string& shown_name) override {
    com_ptr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) return {};
    ItemIdList list(allocator.get());
    if (FAILED(SHGetSpecialFolderLocation(reinterpret_cast<HWND>(owner), folder, list.put())) || !list.get()) return {};
    return Search(allocator.get(), owner, list.get(), shown_name);
  }

  std::string FindInFolder(WindowHandle owner, const std::string& folder, const std::string& shown_name) override {
    com_ptr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) return {};
    com_ptr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put()))) return {};
    ItemIdList list(allocator.get());
    std::wstring path = Wide(folder);
    if (FAILED(desktop->ParseDisplayName(reinterpret_cast<HWND>(owner), nullptr, path.data(), nullptr, list.put(),
                                         nullptr)) ||
        !list.get())
      return {};
    return Search(allocator.get(), owner, list.get(), shown_name);
  }

  LinkOutcome Load(const std::string& link_file) override {
    LinkObject object;
    if (LinkOutcome outcome = object.Create(); outcome.step != LinkOutcome::kDone) return outcome;
    if (LinkOutcome outcome = object.Persist(); outcome.step != LinkOutcome::kDone) return outcome;
    HRESULT hr = object.file->Load(Wide(link_file).c_str(), STGM_SHARE_DENY_WRITE);
    if (FAILED(hr)) return {LinkOutcome::kNotLoaded, hr, 0, {}};
    return {};
  }

  LinkOutcome Save(const std::string& link_file, const ShellLink& link) override {
    LinkObject object;
    if (LinkOutcome outcome = object.Create(); outcome.step != LinkOutcome::kDone) return outcome;
    IShellLinkA* shortcut = object.link.get();
    if (!link.target.empty()) shortcut->SetPath(link.target.c_str());
    shortcut->SetDescription(link.description.c_str());
    if (!link.arguments.empty()) shortcut->SetArguments(link.arguments.c_str());
    if (!link.icon_file.empty()) shortcut->SetIconLocation(link.icon_file.c_str(), link.icon_index);
    if (!link.working_folder.empty()) shortcut->SetWorkingDirectory(link.working_folder.c_str());
    if (LinkOutcome outcome = object.Persist(); outcome.step != LinkOutcome::kDone) return outcome;
    object.file->Save(Wide(link_file).c_str(), FALSE);
    return {};
  }
};

}  // namespace

ShellLinks& RealShellLinks() {
  static Win32ShellLinks links;
  return links;
}

}  // namespace platform::win32
