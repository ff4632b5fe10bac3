#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <regex>
#include <set>

#include "app/HelpText.h"
#include "app/cli/CliCommands.h"
#include "support/TempDir.h"

namespace quillet::test {
namespace {

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command in folder and returns its standard output; status gets its exit status.
std::string output(const std::string& command, const std::string& folder, int* status = nullptr) {
    TempDir capture;
    const int rc = runCommand("cd " + shellQuoted(folder) + " && (" + command + ") >" + capture.file("out") + " 2>" +
                              capture.file("err"));
    if (status) *status = rc;
    return readFile(capture.file("out"));
}

std::set<std::string> lineSet(const std::string& text) {
    std::set<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        out.insert(text.substr(pos, end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

bool onPath(const std::string& tool) {
    return runCommand("command -v " + tool + " >/dev/null 2>&1") == 0;
}

// Width and height from a PNG file's header, {0, 0} when it is none.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path) {
    const std::string d = readFile(path);
    if (d.size() < 24 || d.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
        return v;
    };
    return {be(16), be(20)};
}

// One install below /usr into a scratch folder, shared by the tests of this file. The
// build's install script runs from a copy that keeps its record of the installed files in
// the scratch folder, so nothing is written into the build tree.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new TempDir;
        std::string script = readFile(QUILLET_BUILD_DIR "/cmake_install.cmake");
        const std::string manifest = "\"" QUILLET_BUILD_DIR "/${CMAKE_INSTALL_MANIFEST}\"";
        if (const std::size_t at = script.find(manifest); at != std::string::npos)
            script.replace(at, manifest.size(), "\"" + root_->path() + "/${CMAKE_INSTALL_MANIFEST}\"");
        root_->write("install.cmake", script);
        status_ = runCommand("cd " + shellQuoted(root_->path()) + " && DESTDIR=" + shellQuoted(root_->path() + "/") +
                             " cmake -DCMAKE_INSTALL_PREFIX=/usr -P install.cmake >log 2>&1");
    }
    static void TearDownTestSuite() {
        delete root_;
        root_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(status_, 0) << readFile(root_->file("log")); }
    static std::string usr(const std::string& relative) { return root_->path() + "/usr/" + relative; }

    static TempDir* root_;
    static int status_;
};
TempDir* Installed::root_ = nullptr;
int Installed::status_ = -1;

TEST_F(Installed, LaysOutEveryFileInItsPlace) {
    struct stat st {};
    ASSERT_EQ(::stat(usr("bin/quillet").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXOTH);
    for (const char* f :
         {"share/quillet/done.wav", "share/quillet/error.wav", "share/quillet/remind.wav",
          "share/quillet/manual/index.html", "share/applications/local.quillet.quillet.desktop",
          "share/metainfo/local.quillet.quillet.metainfo.xml", "share/icons/hicolor/scalable/apps/quillet.svg",
          "share/man/man1/quillet.1", "share/bash-completion/completions/quillet"})
        EXPECT_FALSE(readFile(usr(f)).empty()) << f;

    // Every picture the manual shows is installed with it.
    const std::string manual = readFile(usr("share/quillet/manual/index.html"));
    const std::regex picture(R"re((?:src|srcset)="(images/[^" ]+))re");
    int pictures = 0;
    for (auto m = std::sregex_iterator(manual.begin(), manual.end(), picture); m != std::sregex_iterator();
         ++m, ++pictures)
        EXPECT_GT(pngSize(usr("share/quillet/manual/" + (*m)[1].str())).first, 0u) << (*m)[1];
    EXPECT_GT(pictures, 10);

    // An icon of each theme size, drawn at that size.
    for (std::uint32_t size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u, 512u}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(pngSize(usr("share/icons/hicolor/" + name + "/apps/quillet.png")), std::make_pair(size, size))
            << name;
    }

    // The launcher starts the installed program with its icon; the metainfo names the launcher.
    const std::set<std::string> launcher = lineSet(readFile(usr("share/applications/local.quillet.quillet.desktop")));
    EXPECT_TRUE(launcher.count("Exec=quillet") && launcher.count("Icon=quillet"));
    const std::string metainfo = readFile(usr("share/metainfo/local.quillet.quillet.metainfo.xml"));
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">local.quillet.quillet.desktop</launchable>"),
              std::string::npos);
    EXPECT_NE(metainfo.find("<release version=\"1.5.04\""), std::string::npos);
}

TEST_F(Installed, LauncherAndMetainfoPassTheirValidatorsWherePresent) {
    if (!onPath("desktop-file-validate") || !onPath("appstreamcli"))
        GTEST_SKIP() << "desktop-file-utils or appstream missing";
    int status = -1;
    const std::string said =
        output("desktop-file-validate " + usr("share/applications/local.quillet.quillet.desktop") +
                   " && appstreamcli validate --no-net " + usr("share/metainfo/local.quillet.quillet.metainfo.xml"),
               root_->path(), &status);
    EXPECT_EQ(status, 0) << said;
}

// The program finds its manual beside itself when installed, and in the sources when it runs
// from the build tree.
TEST_F(Installed, ProgramFindsTheManualOfItsOwnTree) {
    const struct {
        std::string program, manual;
    } cases[] = {
        {usr("bin/quillet"), usr("share/quillet/manual/index.html")},
        {QUILLET_EXECUTABLE, QUILLET_SOURCE_DOCS "/index.html"},
    };
    for (const auto& c : cases) {
        const std::set<std::string> help = lineSet(output(shellQuoted(c.program) + " --help", root_->path()));
        EXPECT_TRUE(help.count("  user manual       " + c.manual)) << c.program;
        EXPECT_FALSE(readFile(c.manual).empty()) << c.manual;
    }
}

// The words and options of the man page, as they read once rendered.
std::string manText() {
    std::string page = readFile(QUILLET_MAN_PAGE), text;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page.compare(i, 2, "\\-") == 0) {
            text += '-';
            ++i;
        } else if (page.compare(i, 3, "\\fB") == 0 || page.compare(i, 3, "\\fR") == 0) {
            i += 2;
        } else if (page.compare(i, 2, "\\&") == 0) {
            ++i;
        } else {
            text += page[i];
        }
    }
    return text;
}

// The section of the page that starts with the heading, up to the next heading.
std::string section(const std::string& text, const std::string& heading) {
    const std::size_t at = text.find(heading);
    if (at == std::string::npos) return {};
    std::size_t end = text.find("\n.S", at + heading.size());
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(ManPage, DescribesEveryCommandOptionAndFlagOfTheHelp) {
    const std::string text = manText();
    ASSERT_FALSE(text.empty());
    for (const cli::Command& c : cli::commands()) {
        const std::string own =
            section(text, ".SS \"quillet " + c.words + (c.synopsis.empty() ? "\"" : " " + c.synopsis + "\""));
        ASSERT_FALSE(own.empty()) << c.words;
        EXPECT_NE(own.find(c.summary), std::string::npos) << c.words;
        for (const cli::OptionSpec& o : c.options)
            EXPECT_NE(own.find(o.name), std::string::npos) << c.words << " " << o.name;
    }
    // Every flag the --help text explains is a tagged paragraph of OPTIONS.
    const std::string options = section(text, ".SH OPTIONS");
    const std::string help = helpText(Paths::inFolder("/nowhere"));
    const std::string flagPart = help.substr(0, help.find("\nFiles"));
    const std::regex flag(R"(\n  (\S+)  )");
    int flags = 0;
    for (auto m = std::sregex_iterator(flagPart.begin(), flagPart.end(), flag); m != std::sregex_iterator();
         ++m, ++flags)
        EXPECT_NE(options.find(".TP\n" + (*m)[1].str() + "\n"), std::string::npos) << (*m)[1];
    EXPECT_GE(flags, 5);
    EXPECT_NE(text.find(".TH QUILLET 1 \"\" \"Quillet v1.5.04\""), std::string::npos);
}

TEST(ManPage, RendersWithoutWarningsWhereGroffIsPresent) {
    if (!onPath("groff")) GTEST_SKIP() << "groff missing";
    TempDir scratch;
    int status = -1;
    const std::string warnings = output("groff -man -Tutf8 -ww -z " QUILLET_MAN_PAGE " 2>&1", scratch.path(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(warnings, "");
}

// The completion as bash runs it, offering what the command table holds.
class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.mkdir("target");
        folder_.write("b.lsp", "x");
        folder_.write("notes.txt", "x");
        ASSERT_EQ(runCommand(env_ + shellQuoted(QUILLET_EXECUTABLE) + " project add 'My Docs' --dest " +
                             shellQuoted(home_.file("dest")) + " >/dev/null"),
                  0);
    }
    // What completing the last of the words offers, as bash splits a command line.
    std::set<std::string> offered(const std::vector<std::string>& words) {
        std::string array = shellQuoted(QUILLET_EXECUTABLE);
        for (const std::string& w : words) array += " " + shellQuoted(w);
        const std::string script = "source " QUILLET_COMPLETION "; COMP_WORDS=(" + array +
                                   "); COMP_CWORD=" + std::to_string(words.size()) +
                                   "; _quillet; for w in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$w\"; done";
        return lineSet(output(env_ + "bash -c " + shellQuoted(script), folder_.path()));
    }
    TempDir folder_, home_;  // the folder completed in; the project records
    const std::string env_ = "QUILLET_HOME=" + shellQuoted(home_.path()) + " ";
};

TEST_F(Completion, OffersTheCommandsOfTheTable) {
    std::set<std::string> groups{"help"}, projectActions, addOptions{"--help"};
    for (const cli::Command& c : cli::commands()) {
        groups.insert(c.words.substr(0, c.words.find(' ')));
        if (c.words.rfind("project ", 0) == 0) projectActions.insert(c.words.substr(8));
        if (c.words == "project add")
            for (const cli::OptionSpec& o : c.options) addOptions.insert(o.name);
    }
    std::set<std::string> allGroups = groups;
    allGroups.insert("MINIMIZE=TRUE");
    groups.erase("help");
    EXPECT_EQ(offered({""}), allGroups);
    EXPECT_EQ(offered({"help", ""}), groups);
    EXPECT_EQ(offered({"project", ""}), projectActions);
    EXPECT_EQ(offered({"project", "add", "New", "--"}), addOptions);
}

TEST_F(Completion, OffersProjectsArchivesAndFoldersWhereTheyBelong) {
    const struct {
        std::vector<std::string> words;
        std::set<std::string> offered;
    } cases[] = {
        {{"backup", "my"}, {"My\\ Docs"}},
        {{"component", "list", ""}, {"My\\ Docs"}},
        {{"-P", "=", "M"}, {"My\\ Docs"}},  // bash splits -P=NAME at the "="
        {{"-P", "="}, {"=My\\ Docs"}},
        {{"-p=my"}, {"-p=My\\ Docs"}},
        {{"project", "add", ""}, {}},  // a new name: nothing to offer
        {{"contents", ""}, {"b.lsp", "target"}},
        {{"restore", "b.lsp", "--to", "t"}, {"target"}},
        {{"restore", "b.lsp", "--to", "target", "--ov"}, {"--overwrite"}},
        {{"project", "add", "N", "--dest", ""}, {"target"}},
        {{"--con"}, {"--console"}},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& w : c.words) line += w + " ";
        EXPECT_EQ(offered(c.words), c.offered) << line;
    }
}

}  // namespace
}  // namespace quillet::test
