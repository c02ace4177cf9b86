// Desktop and Start-menu shortcuts on the simulated shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::LinkOutcome;
using platform::ShellLink;
using Sim = platform::sim::SimShellLinks;

const std::string kDesktop = Sim::kDesktop;
const std::string kGroup = std::string(Sim::kPrograms) + "\\Quenlar";

class ShortcutsTest : public ::testing::Test {
 protected:
  Sim& links() { return sim.shell_links(); }
  std::optional<ShellLink> Link(const std::string& folder, const std::string& name) {
    return links().Read(folder + "\\" + name + ".lnk");
  }
  // The link files of a folder, as named on disk.
  std::set<std::string> Files(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sim.Host(folder), error))
      names.insert(entry.path().filename().string());
    return names;
  }
  void ExpectLink(const std::string& folder, const std::string& name, const std::string& target,
                  const std::string& working_folder) {
    SCOPED_TRACE(folder + "\\" + name);
    auto link = Link(folder, name);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, target);
    EXPECT_EQ(link->arguments, "");
    EXPECT_EQ(link->icon_file, target);
    EXPECT_EQ(link->icon_index, 0);
    EXPECT_EQ(link->working_folder, working_folder);
    EXPECT_EQ(link->description, "");
  }
  // A failure for the link files whose name ends in `suffix`.
  void FailFor(const std::string& suffix, LinkOutcome::Step step) {
    links().FailAt([suffix, step](const std::string& file) {
      return file.size() >= suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0
                 ? step
                 : LinkOutcome::kDone;
    });
  }
  void ExpectComBalanced(int depth = 0) {
    EXPECT_EQ(sim.com().Depth(), depth);
    EXPECT_EQ(sim.com().Unbalanced(), 0);
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(ShortcutsTest, AFreshInstallationGetsThreeOnTheDesktopAndFourInTheGroup) {
  form.CreateShortcuts();

  EXPECT_EQ(Files(kDesktop), (std::set<std::string>{"Quenlar Accounting.lnk", "Huong Dan Su dung Quenlar Accounting.lnk",
                                                     "Ho tro tu xa Quenlar Accounting.lnk"}));
  EXPECT_EQ(Files(kGroup), (std::set<std::string>{"Quenlar Accounting.lnk", "Huong Dan Su dung.lnk", "Ho tro tu xa.lnk",
                                                   "Uninstall Quenlar Accounting.lnk"}));
  ExpectLink(kDesktop, "Quenlar Accounting", "C:\\Quenlar\\zozazera.exe", "C:\\Quenlar");
  ExpectLink(kDesktop, "Huong Dan Su dung Quenlar Accounting", "C:\\Quenlar\\HuongDanSuDung.chm", "C:\\Quenlar");
  ExpectLink(kDesktop, "Ho tro tu xa Quenlar Accounting", "C:\\Quenlar\\HoTroTuXa.exe", "C:\\Quenlar");
  ExpectLink(kGroup, "Quenlar Accounting", "C:\\Quenlar\\zozazera.exe", "C:\\Quenlar");
  ExpectLink(kGroup, "Huong Dan Su dung", "C:\\Quenlar\\HuongDanSuDung.chm", "C:\\Quenlar");
  ExpectLink(kGroup, "Ho tro tu xa", "C:\\Quenlar\\HoTroTuXa.exe", "C:\\Quenlar");
  ExpectLink(kGroup, "Uninstall Quenlar Accounting", "C:\\Quenlar\\uninsqkt.exe", "C:\\Quenlar");
  EXPECT_EQ(links().Loads(), 0);
  EXPECT_EQ(sim.com().Initializations(), 7);
  ExpectComBalanced();
}

TEST_F(ShortcutsTest, AFolderEndingInASeparatorGivesDoubledSeparators) {
  form.Edit_AppPath.SetText(L"D:\\Ke Toan\\");
  form.CreateShortcuts();
  ExpectLink(kDesktop, "Quenlar Accounting", "D:\\Ke Toan\\\\zozazera.exe", "D:\\Ke Toan\\");
  ExpectLink(kGroup, "Uninstall Quenlar Accounting", "D:\\Ke Toan\\\\uninsqkt.exe", "D:\\Ke Toan\\");
}

TEST_F(ShortcutsTest, AShortcutFoundByItsShownNameIsLeftAsItIs) {
  const ShellLink older{"E:\\Cu\\zozazera.exe", "-cu", "E:\\Cu\\cu.ico", 3, "E:\\Cu", "older"};
  ASSERT_TRUE(links().SpecialFolderPath(platform::kFolderDesktop));
  ASSERT_TRUE(links().Write(kDesktop + "\\Quenlar Accounting.lnk", older));
  // Only the letter case differs: not found, and the new one is saved over it (the file system
  // does not tell the names apart).
  ASSERT_TRUE(links().Write(kDesktop + "\\ho tro tu xa quenlar accounting.lnk", older));

  form.CreateShortcuts();

  auto kept = Link(kDesktop, "Quenlar Accounting");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->target, older.target);
  EXPECT_EQ(kept->arguments, older.arguments);
  EXPECT_EQ(kept->icon_file, older.icon_file);
  EXPECT_EQ(kept->working_folder, older.working_folder);
  EXPECT_EQ(kept->description, older.description);
  EXPECT_EQ(links().Loads(), 1);
  ExpectLink(kDesktop, "Ho tro tu xa Quenlar Accounting", "C:\\Quenlar\\HoTroTuXa.exe", "C:\\Quenlar");
  EXPECT_EQ(Files(kDesktop).size(), 3u);
}

TEST_F(ShortcutsTest, AFailureInsideTheGroupFallsBackAndKeepsWhatWasMade) {
  FailFor("\\Quenlar\\Ho tro tu xa.lnk", LinkOutcome::kNoObject);

  form.CreateShortcuts();

  // The group's first two stay; the fallback finds "Quenlar Accounting" and leaves it, saves
  // "Huong dan su dung" over its differently spelt twin, and adds the uninstaller.
  EXPECT_EQ(Files(kGroup).size(), 3u);
  EXPECT_FALSE(Link(kGroup, "Ho tro tu xa"));
  ExpectLink(kGroup, "Quenlar Accounting", "C:\\Quenlar\\zozazera.exe", "C:\\Quenlar");
  ExpectLink(kGroup, "Huong dan su dung", "C:\\Quenlar\\HuongDanSuDung.chm", "C:\\Quenlar");
  ExpectLink(kGroup, "Uninstall Quenlar Accounting", "C:\\Quenlar\\uninsqkt.exe", "C:\\Quenlar");
  EXPECT_EQ(links().Loads(), 1);
  EXPECT_EQ(Files(Sim::kPrograms), (std::set<std::string>{"Quenlar"}));
  ExpectComBalanced();
}

TEST_F(ShortcutsTest, FailuresOutsideTheGroupEndTheStep) {
  const struct {
    const char* suffix;
    const char* message;
  } cases[] = {
      {"\\Desktop\\Ho tro tu xa Quenlar Accounting.lnk", "Unable to create shortcut file"},
      // The group fails, then its fallback.
      {"Uninstall Quenlar Accounting.lnk", "Unable to create shortcut file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.suffix);
    FailFor(c.suffix, LinkOutcome::kNoObject);
    try {
      form.CreateShortcuts();
      ADD_FAILURE() << "no error raised";
    } catch (const platform::Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    ExpectComBalanced();
  }
}

TEST_F(ShortcutsTest, TheLinkMakersReportEachFailureByItsMessage) {
  const std::string folder = kDesktop;
  ASSERT_TRUE(links().SpecialFolderPath(platform::kFolderDesktop));
  ASSERT_TRUE(links().Write(folder + "\\Co San.lnk", ShellLink{"C:\\a.exe", "", "", 0, "", ""}));
  const struct {
    const char* name;
    LinkOutcome::Step step;
    const char* message;
  } cases[] = {
      {"Co San", LinkOutcome::kNoObject,
       "Couldn't get IShellLink to existing file. hres=80040154 2147746132. psl=0. : "
       "The operation completed successfully."},
      {"Co San", LinkOutcome::kNoPersistFile,
       "Couldn't get a persist-file interface to the IShellLink for existing file"},
      {"Co San", LinkOutcome::kNotLoaded, "Error loading the existing IShellLink"},
      {"Moi", LinkOutcome::kNoObject, "Unable to create shortcut file"},
      {"Moi", LinkOutcome::kNoPersistFile, "Unable to get IPersistFile interface on shortcut just created"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    FailFor(std::string(c.name) + ".lnk", c.step);
    try {
      form.CreateLinkInFolder(form.Handle(), "C:\\Quenlar\\zozazera.exe", "", "C:\\Quenlar\\zozazera.exe", 0, c.name,
                              folder);
      ADD_FAILURE() << "no error raised";
    } catch (const platform::Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    ExpectComBalanced();
  }
  EXPECT_FALSE(Link(folder, "Moi"));
}

TEST_F(ShortcutsTest, ALinkMakerSetsOnlyWhatItIsGiven) {
  ASSERT_TRUE(links().SpecialFolderPath(platform::kFolderPrograms));
  form.CreateLinkInSpecialFolder(0, "zozazera.exe", "/tro-giup", "", 5, "Tro giup", platform::kFolderPrograms);
  auto link = Link(Sim::kPrograms, "Tro giup");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, "zozazera.exe");
  EXPECT_EQ(link->arguments, "/tro-giup");
  EXPECT_EQ(link->icon_file, "");
  EXPECT_EQ(link->working_folder, "");  // a target without "\" has none
}

TEST_F(ShortcutsTest, AShellThatNamesNoProgramsFolderEndsTheStepWithAnError) {
  links().SetSpecialFolder(platform::kFolderPrograms, std::nullopt);
  EXPECT_THROW(form.CreateShortcuts(), platform::Error);
  EXPECT_EQ(Files(kDesktop).size(), 3u);
  ExpectComBalanced();
}

TEST_F(ShortcutsTest, ComInitialisedInAnotherModeServesAndIsLeftSo) {
  ASSERT_EQ(sim.com().Initialize(0), platform::kSOk);  // multithreaded, by someone else
  form.CreateShortcuts();
  EXPECT_EQ(Files(kGroup).size(), 4u);
  ExpectComBalanced(1);
}

}  // namespace
