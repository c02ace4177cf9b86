// Carrying the earlier version's settings over, on the simulated registry.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::RootKey;
using platform::ValueType;

constexpr RootKey kUser = RootKey::CurrentUser;
constexpr RootKey kMachine = RootKey::LocalMachine;
constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kEarlier[] = "SoftWare\\Quenlar Corp\\ERP\\Accounting";
constexpr char kNetwork[] = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";

std::string Sub(const std::string& key, const char* sub) { return key + "\\" + sub; }

class MigrationTest : public ::testing::Test {
 protected:
  // Every key and value under a root, as "path|name" → type and data.
  std::map<std::string, std::pair<ValueType, std::vector<uint8_t>>> Dump(RootKey root, const std::string& path = "") {
    std::map<std::string, std::pair<ValueType, std::vector<uint8_t>>> out;
    if (!path.empty()) {
      platform::KeyHandle key = sim.registry().Open(root, path, false, true);
      out[path] = {};
      for (const std::string& name : sim.registry().ValueNames(key)) {
        ValueType type = ValueType::None;
        std::vector<uint8_t> data;
        sim.registry().Query(key, name, type, data);
        out[path + "|" + name] = {type, data};
      }
      sim.registry().Close(key, false);
    }
    for (const std::string& sub : sim.registry().SubkeyNames(root, path)) {
      out.merge(Dump(root, path.empty() ? sub : path + "\\" + sub));
    }
    return out;
  }

  ValueType TypeOf(RootKey root, const std::string& path, const std::string& name) {
    auto value = sim.registry().Get(root, path, name);
    return value ? value->type : ValueType::None;
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(MigrationTest, WithoutAnEarlierTreeOnlyTheNetworkOptionIsWritten) {
  const auto user_before = Dump(kUser);
  form.MigrateSettings();
  EXPECT_EQ(sim.registry().GetInteger(kMachine, kNetwork, "DisableDHCPMediaSense"), 1);
  EXPECT_EQ(TypeOf(kMachine, kNetwork, "DisableDHCPMediaSense"), ValueType::Integer);
  EXPECT_EQ(Dump(kUser), user_before);
}

TEST_F(MigrationTest, StringsAndIntegersAreCarriedToTheUserOtherTypesStayBehind) {
  sim.registry().PutString(kMachine, kEarlier, "TenCongTy", "Cong ty \xC1nh");
  sim.registry().PutInteger(kMachine, kEarlier, "SoLanMo", -5);
  sim.registry().Put(kMachine, kEarlier, "KhoaCu", ValueType::Bytes, {1, 2, 3});
  sim.registry().Put(kMachine, kEarlier, "ThuMucTam", ValueType::ExpandString, {'%', 'T', '%'});
  sim.registry().PutString(kMachine, kEarlier, "", "mac dinh");

  form.MigrateSettings();

  EXPECT_EQ(sim.registry().GetString(kUser, kSettings, "TenCongTy"), "Cong ty \xC1nh");
  EXPECT_EQ(TypeOf(kUser, kSettings, "TenCongTy"), ValueType::String);
  EXPECT_EQ(sim.registry().GetInteger(kUser, kSettings, "SoLanMo"), -5);
  EXPECT_EQ(TypeOf(kUser, kSettings, "SoLanMo"), ValueType::Integer);
  EXPECT_EQ(sim.registry().GetString(kUser, kSettings, ""), "mac dinh");
  EXPECT_FALSE(sim.registry().Get(kUser, kSettings, "KhoaCu"));
  EXPECT_FALSE(sim.registry().Get(kUser, kSettings, "ThuMucTam"));
  // Carried to the account that runs the setup, not to the machine.
  EXPECT_FALSE(sim.registry().Get(kMachine, kSettings, "TenCongTy"));
  EXPECT_FALSE(sim.registry().Exists(kMachine, "SoftWare\\Quenlar Corp"));
}

TEST_F(MigrationTest, TheEarlierValueWinsAndTheUsersOwnValuesStay) {
  sim.registry().PutString(kUser, kSettings, "TenCongTy", "moi");
  sim.registry().PutString(kUser, kSettings, "KieuSo", "ba");
  sim.registry().PutString(kUser, kSettings, "RiengNguoiDung", "giu");
  sim.registry().PutString(kMachine, kEarlier, "TenCongTy", "cu");
  sim.registry().PutInteger(kMachine, kEarlier, "KieuSo", 3);

  form.MigrateSettings();

  EXPECT_EQ(sim.registry().GetString(kUser, kSettings, "TenCongTy"), "cu");
  EXPECT_EQ(sim.registry().GetInteger(kUser, kSettings, "KieuSo"), 3);
  EXPECT_EQ(TypeOf(kUser, kSettings, "KieuSo"), ValueType::Integer);
  EXPECT_EQ(sim.registry().GetString(kUser, kSettings, "RiengNguoiDung"), "giu");
}

TEST_F(MigrationTest, EachPairIsCarriedToItsOwnKeyAndSubkeysAreNotFollowed) {
  sim.registry().PutString(kMachine, Sub(kEarlier, "TuyChon"), "KhoGiay", "A4");
  sim.registry().PutInteger(kMachine, Sub(kEarlier, "TuyChon\\BCMacDinh"), "SoBan", 2);
  sim.registry().PutString(kMachine, "SoftWare\\Quenlar Corp\\ERP\\InMaVach", "MayIn", "Zebra");
  sim.registry().PutString(kMachine, Sub(kEarlier, "Khac"), "BoQua", "x");
  sim.registry().PutString(kMachine, Sub(kEarlier, "TuyChon\\Khac"), "BoQua", "x");

  form.MigrateSettings();

  EXPECT_EQ(sim.registry().GetString(kUser, Sub(kSettings, "TuyChon"), "KhoGiay"), "A4");
  EXPECT_EQ(sim.registry().GetInteger(kUser, Sub(kSettings, "TuyChon\\BCMacDinh"), "SoBan"), 2);
  EXPECT_EQ(sim.registry().GetString(kUser, Sub(kSettings, "InMaVach"), "MayIn"), "Zebra");
  EXPECT_FALSE(sim.registry().Exists(kUser, Sub(kSettings, "Khac")));
  EXPECT_FALSE(sim.registry().Exists(kUser, Sub(kSettings, "TuyChon\\Khac")));
  // Only the settings of the earlier tree's own pairs: nothing lands at the wrong level.
  EXPECT_FALSE(sim.registry().Get(kUser, kSettings, "KhoGiay"));
  EXPECT_FALSE(sim.registry().Get(kUser, Sub(kSettings, "TuyChon"), "SoBan"));
}

TEST_F(MigrationTest, AbsentSourcesStillGetTheirTargetKeysEmpty) {
  sim.registry().PutString(kMachine, Sub(kEarlier, "TuyChon"), "KhoGiay", "A4");

  form.MigrateSettings();

  for (const char* sub : {"TuyChon\\BCMacDinh", "InMaVach"}) {
    const std::string key = Sub(kSettings, sub);
    ASSERT_TRUE(sim.registry().Exists(kUser, key)) << key;
    EXPECT_EQ(Dump(kUser, key).size(), 1u) << key << " holds values";
  }
}

TEST_F(MigrationTest, TheWholeEarlierTreeGoesAndASecondRunCopiesNothing) {
  sim.registry().PutString(kMachine, kEarlier, "TenCongTy", "cu");
  sim.registry().PutString(kMachine, "SoftWare\\Quenlar Corp\\SanPhamKhac\\Sau", "X", "y");
  sim.registry().PutInteger(kMachine, "SoftWare\\Quenlar Corp", "Goc", 1);

  form.MigrateSettings();
  EXPECT_FALSE(sim.registry().Exists(kMachine, "SoftWare\\Quenlar Corp"));
  EXPECT_TRUE(sim.registry().Exists(kMachine, "SoftWare"));

  sim.registry().PutString(kUser, kSettings, "TenCongTy", "doi sau");
  sim.registry().PutInteger(kMachine, kNetwork, "DisableDHCPMediaSense", 0);
  const auto user_before = Dump(kUser);
  form.MigrateSettings();
  EXPECT_EQ(Dump(kUser), user_before);
  EXPECT_EQ(sim.registry().GetInteger(kMachine, kNetwork, "DisableDHCPMediaSense"), 1);
}

TEST_F(MigrationTest, ANetworkOptionThatCannotBeWrittenIsPassedOver) {
  sim.registry().FailSets([](const std::string&, const std::string& name) { return name == "DisableDHCPMediaSense"; });
  sim.registry().PutString(kMachine, kEarlier, "TenCongTy", "cu");

  EXPECT_NO_THROW(form.MigrateSettings());
  EXPECT_FALSE(sim.registry().Get(kMachine, kNetwork, "DisableDHCPMediaSense"));
  EXPECT_EQ(sim.registry().GetString(kUser, kSettings, "TenCongTy"), "cu");
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

TEST_F(MigrationTest, AFailedCopyEndsTheStepWithNoKeyLeftOpenAndTheTreeKept) {
  sim.registry().PutString(kMachine, Sub(kEarlier, "TuyChon"), "KhoGiay", "A4");
  sim.registry().FailSets([](const std::string& path, const std::string&) {
    return path.find("TuyChon") != std::string::npos;
  });

  try {
    form.MigrateSettings();
    FAIL() << "no error raised";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'KhoGiay'");
  }
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
  EXPECT_TRUE(sim.registry().Exists(kMachine, kEarlier));
}

}  // namespace
