// The registry accessor against a registry: on the host the simulated one, on Windows (under
// Wine) the real one, in a scratch key made and removed by each test. The same cases on both
// sides keep the simulation honest.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/registry.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>

#include "platform/sim/sim_platform.h"
#endif

namespace platform {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

class RegistryTest : public ::testing::TestWithParam<RootKey> {
 protected:
  void SetUp() override {
    static int counter = 0;
    std::string leaf = "QlrPlatformTest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    scratch_ = GetParam() == RootKey::ClassesRoot ? leaf : "Software\\" + leaf;
    Registry(GetParam()).DeleteKey("\\" + scratch_);
  }
  void TearDown() override { Registry(GetParam()).DeleteKey("\\" + scratch_); }

  // A value of a type the accessor never writes, put there through the registry itself.
  void PutRaw(const std::string& path, const std::string& name, ValueType type, const std::vector<uint8_t>& data) {
    RegistryBackend& backend = Current().registry;
    KeyHandle key = backend.Open(GetParam(), path, true, false);
    ASSERT_NE(key, 0u);
    ASSERT_TRUE(backend.Set(key, name, type, data));
    backend.Close(key, false);
  }

#ifndef _WIN32
  sim::SimPlatform sim_;
#endif
  std::string scratch_;
};

TEST_P(RegistryTest, OpenCreatesMissingKeysAlongThePathOnlyWhenAsked) {
  Registry reg(GetParam());
  const std::string deep = scratch_ + "\\Outer\\Inner";
  EXPECT_FALSE(reg.OpenKey(deep, false));
  EXPECT_FALSE(reg.OpenKeyReadOnly(deep));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.KeyExists(scratch_));

  ASSERT_TRUE(reg.OpenKey(deep, true));
  EXPECT_TRUE(reg.HasCurrentKey());
  EXPECT_EQ(reg.CurrentPath(), deep);
  reg.CloseKey();
  EXPECT_FALSE(reg.HasCurrentKey());

  // Names match without regard to case; asking whether a key exists opens nothing.
  EXPECT_TRUE(reg.KeyExists(scratch_ + "\\Outer"));
  EXPECT_TRUE(reg.KeyExists(scratch_ + "\\OUTER\\inner"));
  EXPECT_FALSE(reg.KeyExists(scratch_ + "\\Outer\\Other"));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_TRUE(reg.OpenKeyReadOnly(scratch_ + "\\outer\\INNER"));
}

TEST_P(RegistryTest, KeyPathsAreTakenAsWindowsTakesThem) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_ + "\\Trail", true));
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists(scratch_ + "\\Trail\\"));
  // Wine takes a doubled separator as one.
  ASSERT_TRUE(reg.OpenKey(scratch_ + "\\Doubled\\\\Part", true));
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists(scratch_ + "\\Doubled\\Part"));
}

TEST_P(RegistryTest, PathsResolveAgainstTheOpenKeyUnlessTheyStartAtTheRoot) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  ASSERT_TRUE(reg.OpenKey("Child", true));  // below the open key
  EXPECT_EQ(reg.CurrentPath(), scratch_ + "\\Child");
  EXPECT_TRUE(reg.KeyExists("\\" + scratch_ + "\\Child"));
  EXPECT_FALSE(reg.KeyExists("Child"));  // would be Child\Child

  // A failed open leaves the open key as it was.
  EXPECT_FALSE(reg.OpenKey("Missing", false));
  EXPECT_TRUE(reg.HasCurrentKey());
  EXPECT_EQ(reg.CurrentPath(), scratch_ + "\\Child");

  ASSERT_TRUE(reg.OpenKey("\\" + scratch_, false));  // from the root, not nested
  EXPECT_EQ(reg.CurrentPath(), scratch_);

  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey(scratch_ + "\\Second", true));  // no key open: from the root
  EXPECT_EQ(reg.CurrentPath(), scratch_ + "\\Second");

  // Changing the root closes the key, so the next relative path starts at the new root.
  const RootKey other = GetParam() == RootKey::CurrentUser ? RootKey::LocalMachine : RootKey::CurrentUser;
  reg.SetRoot(other);
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_EQ(reg.Root(), other);
  EXPECT_FALSE(reg.KeyExists(scratch_ + "\\Second"));
}

TEST_P(RegistryTest, StringsRoundTripWithNamesInAnyCase) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  EXPECT_EQ(reg.ReadString("AppPath"), "");  // absent: empty text, no error

  reg.WriteString("AppPath", "C:\\Quenlar Accounting");
  EXPECT_EQ(reg.ReadString("APPPATH"), "C:\\Quenlar Accounting");
  reg.WriteString("apppath", "D:\\Ke toan\xE1");  // replaces, keeps one value
  EXPECT_EQ(reg.ReadString("AppPath"), "D:\\Ke toan\xE1");
  reg.WriteString("Empty", "");
  EXPECT_EQ(reg.ReadString("Empty"), "");
  EXPECT_EQ(reg.GetDataType("Empty"), ValueType::String);

  // The empty name is the key's default value.
  reg.WriteString("", "zozazera_db");
  EXPECT_EQ(reg.ReadString(""), "zozazera_db");

  // Read back through a fresh accessor after closing: the data was stored, not cached.
  reg.CloseKey();
  Registry again(GetParam());
  ASSERT_TRUE(again.OpenKeyReadOnly(scratch_));
  EXPECT_EQ(again.ReadString("AppPath"), "D:\\Ke toan\xE1");
  EXPECT_EQ(again.ReadString(""), "zozazera_db");
}

TEST_P(RegistryTest, IntegersAndBooleansRoundTrip) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  for (int32_t v : {0, 1, -1, 0x12345678, INT32_MIN, INT32_MAX}) {
    reg.WriteInteger("DisableCMD", v);
    EXPECT_EQ(reg.ReadInteger("disablecmd"), v);
  }
  reg.WriteBool("On", true);
  reg.WriteBool("Off", false);
  EXPECT_EQ(reg.ReadInteger("On"), 1);
  EXPECT_EQ(reg.ReadInteger("Off"), 0);
  EXPECT_EQ(reg.GetDataType("On"), ValueType::Integer);
}

TEST_P(RegistryTest, ReadingTheWrongKindOrAnAbsentIntegerRaisesNamedErrors) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  reg.WriteInteger("Count", 7);
  reg.WriteString("Text", "7");
  EXPECT_EQ(ErrorOf([&] { reg.ReadString("Count"); }), "Invalid data type for 'Count'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");

  PutRaw(scratch_, "Blob", ValueType::Bytes, {1, 2, 3});
  EXPECT_EQ(ErrorOf([&] { reg.ReadString("Blob"); }), "Invalid data type for 'Blob'");
}

TEST_P(RegistryTest, DataTypesAreReportedAsStored) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  reg.WriteString("S", "x");
  reg.WriteInteger("I", 1);
  PutRaw(scratch_, "E", ValueType::ExpandString, {'%', 'T', 'E', 'M', 'P', '%'});
  PutRaw(scratch_, "B", ValueType::Bytes, {0, 0xFF});
  EXPECT_EQ(reg.GetDataType("S"), ValueType::String);
  EXPECT_EQ(reg.GetDataType("I"), ValueType::Integer);
  EXPECT_EQ(reg.GetDataType("E"), ValueType::ExpandString);
  EXPECT_EQ(reg.GetDataType("B"), ValueType::Bytes);
  EXPECT_EQ(reg.GetDataType("Absent"), ValueType::None);
  // An expandable string reads as text, unexpanded.
  EXPECT_EQ(reg.ReadString("E"), "%TEMP%");
}

TEST_P(RegistryTest, ValueNamesReplaceTheListsContents) {
  Registry reg(GetParam());
  std::vector<std::string> names{"stale"};
  reg.GetValueNames(names);  // no key open
  EXPECT_TRUE(names.empty());

  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  reg.WriteString("First", "1");
  reg.WriteInteger("second", 2);
  reg.WriteString("FIRST", "again");
  ASSERT_TRUE(reg.OpenKey(scratch_ + "\\Sub", true));  // subkeys are not values
  ASSERT_TRUE(reg.OpenKey("\\" + scratch_, false));
  names = {"stale"};
  reg.GetValueNames(names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"First", "second"}));
}

TEST_P(RegistryTest, DeleteKeyRemovesTheWholeSubtree) {
  Registry reg(GetParam());
  ASSERT_TRUE(reg.OpenKey(scratch_ + "\\Tree\\Branch\\Leaf", true));
  reg.WriteString("v", "1");
  ASSERT_TRUE(reg.OpenKey("\\" + scratch_ + "\\Tree", false));
  reg.WriteString("v", "2");
  ASSERT_TRUE(reg.OpenKey("\\" + scratch_ + "\\Keep", true));
  reg.CloseKey();

  EXPECT_TRUE(reg.DeleteKey(scratch_ + "\\tree"));
  EXPECT_FALSE(reg.KeyExists(scratch_ + "\\Tree"));
  EXPECT_FALSE(reg.KeyExists(scratch_ + "\\Tree\\Branch\\Leaf"));
  EXPECT_TRUE(reg.KeyExists(scratch_ + "\\Keep"));
  EXPECT_FALSE(reg.DeleteKey(scratch_ + "\\Tree"));  // already gone

  // Relative to the open key.
  ASSERT_TRUE(reg.OpenKey(scratch_, false));
  ASSERT_TRUE(reg.OpenKey("Gone\\Deeper", true));
  ASSERT_TRUE(reg.OpenKey("\\" + scratch_, false));
  EXPECT_TRUE(reg.DeleteKey("Gone"));
  EXPECT_FALSE(reg.KeyExists("\\" + scratch_ + "\\Gone"));
  EXPECT_TRUE(reg.KeyExists("\\" + scratch_ + "\\Keep"));
}

TEST_P(RegistryTest, WritesThatCannotBeStoredRaiseNamedErrors) {
  Registry reg(GetParam());
  EXPECT_EQ(ErrorOf([&] { reg.WriteString("NoKey", "x"); }), "Failed to set data for 'NoKey'");
  EXPECT_EQ(reg.ReadString("NoKey"), "");
  EXPECT_EQ(reg.GetDataType("NoKey"), ValueType::None);

  ASSERT_TRUE(reg.OpenKey(scratch_, true));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + scratch_));
  EXPECT_EQ(ErrorOf([&] { reg.WriteString("ReadOnly", "x"); }), "Failed to set data for 'ReadOnly'");
  EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("ReadOnlyInt", 1); }), "Failed to set data for 'ReadOnlyInt'");
  EXPECT_EQ(reg.GetDataType("ReadOnly"), ValueType::None);

  // A key deleted while open takes no more values.
  ASSERT_TRUE(reg.OpenKey("\\" + scratch_ + "\\Doomed", true));
  Registry other(GetParam());
  ASSERT_TRUE(other.DeleteKey(scratch_ + "\\Doomed"));
  EXPECT_EQ(ErrorOf([&] { reg.WriteBool("Late", true); }), "Failed to set data for 'Late'");
  EXPECT_FALSE(other.KeyExists(scratch_ + "\\Doomed"));
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryTest,
                         ::testing::Values(RootKey::CurrentUser, RootKey::LocalMachine, RootKey::ClassesRoot),
                         [](const ::testing::TestParamInfo<RootKey>& info) {
                           switch (info.param) {
                             case RootKey::CurrentUser: return std::string("CurrentUser");
                             case RootKey::LocalMachine: return std::string("LocalMachine");
                             default: return std::string("ClassesRoot");
                           }
                         });

}  // namespace
}  // namespace platform
