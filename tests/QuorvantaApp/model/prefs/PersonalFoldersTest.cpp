#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/model/prefs/SourceConfig.h"

#include "tests/QuorvantaApp/model/prefs/PrefsPrinters.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using test::EnvOverride;
using test::TempDir;

// A home folder with the given folders (and files) in a temporary folder, its user-dirs.dirs
// written when there is one ("@TMP@" in it standing for the temporary folder), HOME and
// XDG_CONFIG_HOME pointing at them while it lives.
class TempHome {
public:
    TempHome(const std::optional<std::string>& userDirs, const std::vector<std::string>& folders,
             const std::vector<std::string>& files = {})
        : home_("HOME", (dir_ / "home").string()), config_("XDG_CONFIG_HOME", (dir_ / "config").string()) {
        fs::create_directories(dir_ / "home");
        for (const auto& folder : folders) fs::create_directories(dir_ / folder);
        for (const auto& file : files) dir_.write(file, "x");
        if (!userDirs) return;
        std::string text = *userDirs;
        if (const auto at = text.find("@TMP@"); at != std::string::npos) text.replace(at, 5, dir_.path().string());
        dir_.write("config/user-dirs.dirs", text);
    }
    // A folder under the temporary folder as personalFolders() gives it: no leading "/".
    std::string relative(std::string_view below) const { return (dir_ / below).relative_path().string(); }

private:
    TempDir dir_;
    EnvOverride home_;
    EnvOverride config_;
};

TEST(PersonalFolders, FollowTheUserDirectories) {
    struct Case {
        std::string name;
        std::optional<std::string> userDirs;  // none: no file at all
        std::vector<std::string> folders;     // made below the temporary folder
        std::vector<std::string> files;
        std::vector<std::string> expected;  // below the temporary folder
    };
    const std::string all =
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_VIDEOS_DIR=\"$HOME/Videos\"\n"
        "XDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n";
    const std::vector<std::string> english = {"home/Pictures",  "home/Music",     "home/Videos", "home/Movies",
                                              "home/Downloads", "home/Documents", "home/Desktop"};
    const std::vector<std::string> inOrder = {"home/Desktop", "home/Documents", "home/Downloads",
                                              "home/Videos",  "home/Music",     "home/Pictures"};
    const Case cases[] = {
        {"no file: the English names, in order", std::nullopt, english, {}, inOrder},
        {"every key as the desktop writes it", all, english, {}, inOrder},
        {"localised names",
         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n",
         {"home/Dokumente", "home/Documents", "home/Bilder", "home/Music"},
         {},
         {"home/Dokumente", "home/Music", "home/Bilder"}},
        {"an absolute value",
         "XDG_MUSIC_DIR=\"@TMP@/elsewhere/Musik\"\n",
         {"elsewhere/Musik", "home/Music", "home/Desktop"},
         {},
         {"home/Desktop", "elsewhere/Musik"}},
        {"an escaped quote",
         "XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"\n",
         {"home/My \"Pics\""},
         {},
         {"home/My \"Pics\""}},
        {"a disabled entry",
         "XDG_DESKTOP_DIR=\"$HOME/\"\n",
         {"home/Desktop", "home/Documents"},
         {},
         {"home/Documents"}},
        {"a missing key takes the English name",
         "XDG_MUSIC_DIR=\"$HOME/Musik\"\n",
         {"home/Musik", "home/Videos"},
         {},
         {"home/Videos", "home/Musik"}},
        {"a listed folder that does not exist", all, {"home/Music"}, {}, {"home/Music"}},
        {"a file is no folder", std::nullopt, {"home/Music"}, {"home/Desktop"}, {"home/Music"}},
        {"two keys naming one folder",
         "XDG_VIDEOS_DIR=\"$HOME/Media\"\nXDG_MUSIC_DIR=\"$HOME/Media\"\n",
         {"home/Media", "home/Pictures"},
         {},
         {"home/Media", "home/Pictures"}},
    };
    for (const auto& c : cases) {
        TempHome home(c.userDirs, c.folders, c.files);
        std::vector<std::string> expected;
        for (const auto& below : c.expected) expected.push_back(home.relative(below));
        const auto folders = SourceConfig::personalFolders();
        EXPECT_EQ(folders, expected) << c.name;
        for (const auto& folder : folders)
            EXPECT_TRUE(!folder.empty() && folder.front() != '/' && fs::is_directory("/" + folder))
                << c.name << ": " << folder;
    }
}

// A first start: nothing stored, a home with only some personal folders.
TEST(PersonalFolders, FirstStartOnAnEmptyStore) {
    TempHome home(std::nullopt, {"home/Documents", "home/Music", "home/Movies"});
    platform::MemorySettings store;
    Prefs prefs(store);
    EXPECT_EQ(prefs.categories(), Category::defaults());
    for (const auto& category : prefs.categories()) EXPECT_EQ(category.name, "") << category.id;
    EXPECT_TRUE(prefs.sources().empty());
    EXPECT_FALSE(prefs.configured());
    EXPECT_EQ(prefs.includeOnly(), "");
    EXPECT_TRUE(prefs.hiddenVolumes().empty());
    EXPECT_TRUE(prefs.contentFolders().empty());

    EXPECT_EQ(prefs.source("uuid-of-the-system-disk", true),
              (SourceConfig{.enabled = true,
                            .whole = false,
                            .folders = {home.relative("home/Documents"), home.relative("home/Music")},
                            .rescan = {}}));
    for (const char* key : {"uuid-of-the-system-disk", "uuid-2", "/media/u/X"})
        EXPECT_EQ(prefs.source(key, false),
                  (SourceConfig{.enabled = false, .whole = true, .folders = {}, .rescan = {}}))
            << key;
    EXPECT_FALSE(prefs.isKnown("uuid-of-the-system-disk"));
    EXPECT_TRUE(store.data(Prefs::sourcesKey) == std::nullopt) << "asking for defaults stores nothing";
}

}  // namespace
}  // namespace quorvanta::app
