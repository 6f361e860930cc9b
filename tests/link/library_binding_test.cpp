// Vantrel binds QuasmeriteARMCortex at load time: the program names the
// library as needed (so it does not start without it), finds it beside
// itself, and imports the upgrade's eight exports by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The folder the build puts every program and library in (this test's own).
fs::path binaryFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path();
}

bool run(const std::string& command, std::string* out)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return false;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out->append(buf, n);
    return pclose(p) == 0;
}

class LibraryBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = binaryFolder() / "Vantrel";
        if (!fs::exists(program))
            GTEST_SKIP() << "Vantrel is not built in " << binaryFolder();
        std::string version;
        if (!run("readelf --version", &version) || !run("nm --version", &version))
            GTEST_SKIP() << "binutils missing";
    }
    fs::path program;
};

TEST_F(LibraryBinding, ProgramNeedsTheLibraryAndFindsItBesideItself)
{
    std::string dynamic;
    ASSERT_TRUE(run("readelf -dW '" + program.string() + "'", &dynamic));
    EXPECT_NE(dynamic.find("Shared library: [libQuasmeriteARMCortex.so]"),
              std::string::npos)
        << dynamic;
    const std::size_t runpath = dynamic.find("Library runpath: [$ORIGIN");
    EXPECT_NE(runpath, std::string::npos) << dynamic;
    EXPECT_TRUE(fs::exists(binaryFolder() / "libQuasmeriteARMCortex.so"));
}

TEST_F(LibraryBinding, ProgramImportsTheUpgradesEightExportsByName)
{
    std::string undefined;
    ASSERT_TRUE(run("nm -D --undefined-only '" + program.string() + "'", &undefined));
    std::set<std::string> imported;
    std::istringstream lines(undefined);
    std::string kind, name;
    while (lines >> kind >> name) {
        if (name.rfind("qz_", 0) == 0)
            imported.insert(name);
    }
    const std::set<std::string> expected = {
        "qz_set_default_timeouts", "qz_select_debug_mode", "qz_connect", "qz_erase",
        "qz_program",              "qz_verify",            "qz_reset",   "qz_disconnect",
    };
    EXPECT_EQ(imported, expected);
}

} // namespace
