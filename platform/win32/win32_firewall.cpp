#include <windows.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

// The firewall object model's identifiers (the profile-based exceptions of Windows Firewall).
constexpr GUID kClsidNetFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
constexpr GUID kIidNetFwMgr = {0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
constexpr GUID kClsidNetFwAuthorizedApplication = {
    0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
constexpr GUID kIidNetFwAuthorizedApplication = {
    0xB5E64FFA, 0xC2C5, 0x444E, {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

class Win32FirewallProfile : public FirewallProfile {
 public:
  explicit Win32FirewallProfile(com_ptr<INetFwProfile> profile) : profile_(std::move(profile)) {}

  FirewallStatus Find(const std::wstring& image, bool& listed, bool& enabled) override {
    listed = enabled = false;
    com_ptr<INetFwAuthorizedApplications> apps;
    if (HRESULT hr = profile_->get_AuthorizedApplications(apps.put()); FAILED(hr))
      return {hr, "get_AuthorizedApplications"};
    unique_bstr path(SysAllocString(image.c_str()));
    if (!path) return {E_OUTOFMEMORY, "SysAllocString"};
    com_ptr<INetFwAuthorizedApplication> app;
    if (FAILED(apps->Item(path.get(), app.put()))) return {};  // not listed
    VARIANT_BOOL on = VARIANT_FALSE;
    if (HRESULT hr = app->get_Enabled(&on); FAILED(hr)) return {hr, "get_Enabled"};
    listed = true;
    enabled = on != VARIANT_FALSE;
    return {};
  }

  FirewallStatus Add(const std::wstring& image, const std::wstring& name) override {
    com_ptr<INetFwAuthorizedApplications> apps;
    if (HRESULT hr = profile_->get_AuthorizedApplications(apps.put()); FAILED(hr))
      return {hr, "get_AuthorizedApplications"};
    com_ptr<INetFwAuthorizedApplication> app;
    if (HRESULT hr = CoCreateInstance(kClsidNetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidNetFwAuthorizedApplication, app.put_void());
        FAILED(hr))
      return {hr, "CoCreateInstance"};
    unique_bstr path(SysAllocString(image.c_str()));
    if (!path) return {E_OUTOFMEMORY, "SysAllocString"};
    if (HRESULT hr = app->put_ProcessImageFileName(path.get()); FAILED(hr)) return {hr, "put_ProcessImageFileName"};
    unique_bstr title(SysAllocString(name.c_str()));
    if (SysStringLen(title.get()) == 0) return {E_OUTOFMEMORY, "SysAllocString"};
    if (HRESULT hr = app->put_Name(title.get()); FAILED(hr)) return {hr, "put_Name"};
    if (HRESULT hr = apps->Add(app.get()); FAILED(hr)) return {hr, "Add"};
    return {};
  }

 private:
  com_ptr<INetFwProfile> profile_;
};

class Win32Firewall : public Firewall {
 public:
  ComResult InitializeCom(uint32_t flags) override { return CoInitializeEx(nullptr, flags); }
  void UninitializeCom() override { CoUninitialize(); }

  FirewallStatus CurrentProfile(std::unique_ptr<FirewallProfile>& profile) override {
    profile.reset();
    com_ptr<INetFwMgr> manager;
    if (HRESULT hr = CoCreateInstance(kClsidNetFwMgr, nullptr, CLSCTX_INPROC_SERVER, kIidNetFwMgr, manager.put_void());
        FAILED(hr))
      return {hr, "CoCreateInstance"};
    com_ptr<INetFwPolicy> policy;
    if (HRESULT hr = manager->get_LocalPolicy(policy.put()); FAILED(hr)) return {hr, "get_LocalPolicy"};
    com_ptr<INetFwProfile> current;
    if (HRESULT hr = policy->get_CurrentProfile(current.put()); FAILED(hr)) return {hr, "get_CurrentProfile"};
    profile = std::make_unique<Win32FirewallProfile>(std::move(current));
    return {};
  }
};

}  // namespace

Firewall& RealFirewall() {
  static Win32Firewall firewall;
  return firewall;
}

}  // namespace platform::win32
