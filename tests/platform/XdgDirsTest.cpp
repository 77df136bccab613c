#include "platform/fs/XdgDirs.h"

#include "tests/fuzz/UserDirsOracle.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/Mutations.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::string_view_literals;
using test::EnvOverride;
using test::TempDir;
using Paths = std::vector<std::filesystem::path>;

TEST(XdgDirs, FollowsTheBaseDirectoryRules) {
    struct Case {
        std::optional<std::string> xdg;
        std::string expectedConfig;
        std::string expectedData;
    };
    const Case cases[] = {
        {"/x/base", "/x/base", "/x/base"},
        {std::nullopt, "/h/.config", "/h/.local/share"},
        {"", "/h/.config", "/h/.local/share"},              // empty is ignored
        {"relative/dir", "/h/.config", "/h/.local/share"},  // relative is ignored
    };
    EnvOverride home("HOME", "/h");
    for (const auto& c : cases) {
        EnvOverride config("XDG_CONFIG_HOME", c.xdg);
        EnvOverride data("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(xdgConfigHome(), c.expectedConfig) << "XDG value " << c.xdg.value_or("(unset)");
        EXPECT_EQ(xdgDataHome(), c.expectedData) << "XDG value " << c.xdg.value_or("(unset)");
    }
}

TEST(XdgDirs, HomeFallsBackToThePasswordDatabase) {
    EnvOverride home("HOME", std::nullopt);
    EnvOverride config("XDG_CONFIG_HOME", std::nullopt);
    const auto fromPasswd = homeDir();
    EXPECT_FALSE(fromPasswd.empty()) << "no home folder from getpwuid_r";
    EXPECT_EQ(xdgConfigHome(), fromPasswd / ".config");
}

TEST(XdgUserDirs, KeysAndFallbackNames) {
    struct Case {
        UserDir dir;
        std::string_view key;
        std::string_view fallback;
    };
    const Case cases[] = {
        {UserDir::desktop, "XDG_DESKTOP_DIR", "Desktop"},
        {UserDir::documents, "XDG_DOCUMENTS_DIR", "Documents"},
        {UserDir::download, "XDG_DOWNLOAD_DIR", "Downloads"},
        {UserDir::videos, "XDG_VIDEOS_DIR", "Videos"},
        {UserDir::music, "XDG_MUSIC_DIR", "Music"},
        {UserDir::pictures, "XDG_PICTURES_DIR", "Pictures"},
        {UserDir::publicShare, "XDG_PUBLICSHARE_DIR", "Public"},
        {UserDir::templates, "XDG_TEMPLATES_DIR", "Templates"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userDirKey(c.dir), c.key);
        EXPECT_EQ(userDirFallbackName(c.dir), c.fallback);
    }
    EXPECT_EQ(kPersonalFolderOrder, (std::array{UserDir::desktop, UserDir::documents, UserDir::download,
                                                UserDir::videos, UserDir::music, UserDir::pictures}));
}

// One line of the file, and the music folder it gives for the home folder /home/u.
TEST(XdgUserDirs, ReadsOneAssignmentPerLine) {
    struct Case {
        std::string_view line;
        std::optional<std::string> music;  // none: switched off
    };
    const Case cases[] = {
        {R"(XDG_MUSIC_DIR="$HOME/Musik")", "/home/u/Musik"},
        {R"(XDG_MUSIC_DIR="/srv/media/music")", "/srv/media/music"},
        {R"(XDG_MUSIC_DIR="$HOME/My \"Tunes\"")", R"(/home/u/My "Tunes")"},
        {R"(XDG_MUSIC_DIR="$HOME/back\\slash \$x")", R"(/home/u/back\slash $x)"},
        {R"(XDG_MUSIC_DIR="$HOME/Sound/./Files/../Music/")", "/home/u/Sound/Music"},
        {"  XDG_MUSIC_DIR = \"$HOME/Blanks\"  # a comment\r", "/home/u/Blanks"},
        {R"(XDG_MUSIC_DIR="$HOME/")", std::nullopt},  // the home folder: switched off
        {R"(XDG_MUSIC_DIR="$HOME")", std::nullopt},
        {R"(XDG_MUSIC_DIR="/home/u/")", std::nullopt},
        {R"(XDG_MUSIC_DIR="/")", "/"},
        // Lines the reader skips: the usual folder stays.
        {R"(XDG_MUSIC_DIR="Music2")", "/home/u/Music"},      // relative
        {R"(XDG_MUSIC_DIR="$HOMEmusic")", "/home/u/Music"},  // not "$HOME/…"
        {R"(XDG_MUSIC_DIR="$HOME/Open)", "/home/u/Music"},   // no closing quote
        {R"(XDG_MUSIC_DIR="$HOME/End\)", "/home/u/Music"},   // escape at the end
        {R"(XDG_MUSIC_DIR="$HOME/A"B)", "/home/u/Music"},    // text after the value
        {R"(XDG_MUSIC_DIR="$HOME/A"#B)", "/home/u/Music"},   // the shell reads "A#B"
        {R"(XDG_MUSIC_DIR=$HOME/Bare)", "/home/u/Music"},    // no quotes
        {R"(# XDG_MUSIC_DIR="$HOME/Commented")", "/home/u/Music"},
        {R"(xdg_music_dir="$HOME/Lower")", "/home/u/Music"},
        {R"(XDG_MUSIC_DIRX="$HOME/Other")", "/home/u/Music"},
        {R"(XDG_DIR="$HOME/Short")", "/home/u/Music"},
        {"XDG_MUSIC_DIR=\"$HOME/N\0ul\""sv, "/home/u/Music"},
        {"", "/home/u/Music"},
    };
    for (const auto& c : cases) {
        const auto dirs = UserDirs::parse(c.line, "/home/u");
        const auto music = dirs.folder(UserDir::music);
        EXPECT_EQ(music ? std::optional(music->string()) : std::nullopt, c.music) << "line: " << c.line;
        EXPECT_EQ(dirs.folder(UserDir::desktop), std::filesystem::path("/home/u/Desktop")) << "line: " << c.line;
    }
}

TEST(XdgUserDirs, PersonalFoldersInOrderEachOnce) {
    const std::string file =
        "# written by the desktop\n"
        "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/\"\n"
        "XDG_MUSIC_DIR=\"$HOME/Medien\"\n"
        "XDG_VIDEOS_DIR=\"$HOME/Medien/\"\n"
        "XDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n"
        "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";  // a later line wins
    EXPECT_EQ(UserDirs::parse(file, "/home/u/").personalFolders(),
              (Paths{"/home/u/Schreibtisch", "/home/u/Documents", "/home/u/Medien", "/home/u/Fotos"}))
        << "Downloads switched off, videos and music one folder, documents the usual one";
    EXPECT_EQ(UserDirs::parse("", "/home/u").personalFolders(),
              (Paths{"/home/u/Desktop", "/home/u/Documents", "/home/u/Downloads", "/home/u/Videos", "/home/u/Music",
                     "/home/u/Pictures"}));
    EXPECT_EQ(UserDirs::parse("", "/").personalFolders().front(), std::filesystem::path("/Desktop"));
}

TEST(XdgUserDirs, WithoutAHomeOnlyAbsoluteValuesCount) {
    const std::string file = "XDG_MUSIC_DIR=\"/srv/music\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n";
    for (const char* home : {"", "relative/home"}) {
        const auto dirs = UserDirs::parse(file, home);
        EXPECT_EQ(dirs.folder(UserDir::music), std::filesystem::path("/srv/music")) << home;
        EXPECT_EQ(dirs.folder(UserDir::desktop), std::nullopt) << home;
        EXPECT_EQ(dirs.folder(UserDir::pictures), std::nullopt) << home;
        EXPECT_EQ(dirs.personalFolders(), Paths{"/srv/music"}) << home;
    }
}

TEST(XdgUserDirs, LoadReadsTheFileInTheConfigFolder) {
    TempDir dir;
    EnvOverride home("HOME", (dir / "home").string());
    EnvOverride config("XDG_CONFIG_HOME", (dir / "conf").string());
    EXPECT_EQ(UserDirs::load().folder(UserDir::documents), dir / "home/Documents") << "no file";
    dir.write("conf/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    const auto dirs = UserDirs::load();
    EXPECT_EQ(dirs.home(), dir / "home");
    EXPECT_EQ(dirs.folder(UserDir::documents), dir / "home/Dokumente");
    dir.write("conf/user-dirs.dirs", std::string(100 * 1024, '#') + "\nXDG_DOCUMENTS_DIR=\"$HOME/Huge\"\n");
    EXPECT_EQ(UserDirs::load().folder(UserDir::documents), dir / "home/Documents") << "an oversized file is not read";
}

TEST(XdgUserDirs, SurvivesSeededMutations) {
    const std::string valid =
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"/srv/a b/\\\"m\\\"\" # x\n"
        "XDG_VIDEOS_DIR=\"$HOME/./v/../w\"\nXDG_PICTURES_DIR=\"$HOME/\"\n";
    ASSERT_EQ(UserDirs::parse(valid, "/home/u").personalFolders(),
              (Paths{"/home/u/Desktop", "/home/u/Documents", "/home/u/Downloads", "/home/u/w", R"(/srv/a b/"m")"}));
    const test::MutationPlan plan{.seeds = {valid},
                                  .iterations = 3000,
                                  .randomSeed = 42,
                                  .insertions = std::string("\"\\$/.#= \t\r\nXDG_HOMEDIR\0\xff"sv)};
    test::forEachMutation(plan,
                          [](const std::string& text) { EXPECT_TRUE(fuzz::userDirsKeepTheirShape(text)) << text; });
}

}  // namespace
}  // namespace quorvanta::platform
