#include <exception>
#include <string>
#include <vector>

#include "app/setup_form.h"
#include "install/key_scope.h"

namespace {

using install::KeyScope;

constexpr char kNetworkKey[] = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr char kEarlierTree[] = "\\SoftWare\\Quenlar Corp";
constexpr char kEarlierSettings[] = "SoftWare\\Quenlar Corp\\ERP\\Accounting";
constexpr char kEarlierBarcodes[] = "SoftWare\\Quenlar Corp\\ERP\\InMaVach";

// Carries the string and integer values of one key over; other types stay behind and go with the
// earlier tree. Sub-keys are not followed: those that matter are pairs of their own.
void CopyValues(platform::Registry& source, const std::string& source_path, platform::Registry& target,
                const std::string& target_path) {
  KeyScope target_key(target, target_path, KeyScope::kCreate);
  KeyScope source_key(source, source_path, KeyScope::kReadOnly);
  std::vector<std::string> names;
  if (source_key) source.GetValueNames(names);
  for (const std::string& name : names) {
    switch (source.GetDataType(name)) {
      case platform::ValueType::String:
        target.WriteString(name, source.ReadString(name));
        break;
      case platform::ValueType::Integer:
        target.WriteInteger(name, source.ReadInteger(name));
        break;
      default:
        break;
    }
  }
}

}  // namespace

void TFCaiDat::MigrateSettings() {
  platform::Registry source(platform::RootKey::LocalMachine);

  // A machine where the setup may not touch the network settings still gets the rest.
  try {
    KeyScope network(source, kNetworkKey, KeyScope::kCreate);
    if (network) source.WriteBool("DisableDHCPMediaSense", true);
  } catch (const std::exception&) {
  }

  if (!source.KeyExists(kEarlierSettings)) return;

  platform::Registry user(platform::RootKey::CurrentUser);
  const std::string settings = kEarlierSettings;
  CopyValues(source, settings, *FUserRegistry, FSettingsKey);
  CopyValues(source, settings + "\\TuyChon", *FUserRegistry, FSettingsKey + "\\TuyChon");
  CopyValues(source, settings + "\\TuyChon\\BCMacDinh", *FUserRegistry, FSettingsKey + "\\TuyChon\\BCMacDinh");
  CopyValues(source, kEarlierBarcodes, user, FSettingsKey + "\\InMaVach");

  // The whole earlier tree goes, so the carrying over happens once; a tree that cannot be deleted
  // is carried over again by the next run.
  source.DeleteKey(kEarlierTree);
}
