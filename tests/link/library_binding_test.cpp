// Vantrel binds QuasmeriteARMCortex at load time: the program names the
// library as needed, so the loader refuses to start it without the library;
// it finds the library beside itself in the build tree and in lib/ beside
// bin/ once installed; and it imports the upgrade's eight exports by name.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

// The build names the program, its build tree and cmake; without a program
// target there is nothing to look at.
#ifndef VANTREL_PROGRAM
#define VANTREL_PROGRAM ""
#define VANTREL_BUILD_DIR ""
#define VANTREL_CMAKE_COMMAND "cmake"
#endif

namespace {

const char* const kLibrary = "libQuasmeriteARMCortex.so";

// Runs a shell command; its output (stderr too) goes to *out. The exit
// code, or -1 when it could not run or ended by a signal.
int run(const std::string& command, std::string* out)
{
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out->append(buf, n);
    const int status = pclose(p);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// Where the loader finds the library for `program`, without running it;
// empty when it finds none.
fs::path resolvedLibrary(const fs::path& program)
{
    std::string out;
    run("env -u LD_LIBRARY_PATH LD_TRACE_LOADED_OBJECTS=1 " + quoted(program), &out);
    std::istringstream lines(out);
    std::string line;
    const std::string arrow = std::string(kLibrary) + " => ";
    while (std::getline(lines, line)) {
        const std::size_t at = line.find(arrow);
        if (at == std::string::npos)
            continue;
        std::string target = line.substr(at + arrow.size());
        target = target.substr(0, target.find(" ("));
        if (target == "not found" || !fs::exists(target))
            return fs::path();
        return fs::canonical(target);
    }
    return fs::path();
}

class LibraryBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string version;
        if (run("readelf --version", &version) != 0 || run("nm --version", &version) != 0)
            GTEST_SKIP() << "binutils missing";
        if (program.empty())
            GTEST_SKIP() << "no Vantrel in this build";
        ASSERT_TRUE(fs::exists(program)) << program;
    }
    void TearDown() override
    {
        if (!prefix.empty())
            fs::remove_all(prefix);
    }

    const fs::path program = VANTREL_PROGRAM;
    fs::path prefix;
};

TEST_F(LibraryBinding, ProgramNeedsTheLibraryAndFindsItBesideItselfInTheBuildTree)
{
    std::string dynamic;
    ASSERT_EQ(run("readelf -dW " + quoted(program), &dynamic), 0);
    EXPECT_NE(dynamic.find("Shared library: [" + std::string(kLibrary) + "]"), std::string::npos) << dynamic;
    EXPECT_EQ(resolvedLibrary(program), fs::canonical(program.parent_path() / kLibrary));
}

TEST_F(LibraryBinding, InstalledProgramFindsTheLibraryInLibAndDoesNotStartWithoutIt)
{
    char pattern[] = "/tmp/vantrel-installXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix = pattern;
    std::string log;
    ASSERT_EQ(run(std::string("'") + VANTREL_CMAKE_COMMAND + "' --install '" + VANTREL_BUILD_DIR +
                      "' --prefix " + quoted(prefix),
                  &log),
              0)
        << log;
    const fs::path installed = prefix / "bin" / "Vantrel";
    ASSERT_TRUE(fs::exists(installed)) << log;
    ASSERT_TRUE(fs::exists(prefix / "lib" / kLibrary)) << log;
    EXPECT_EQ(resolvedLibrary(installed), fs::canonical(prefix / "lib" / kLibrary))
        << "the installed program takes its own copy, not the build tree's";

    // Without it, the loader stops the program before main (a program that
    // did start is ended by the time-out, which fails the test too).
    fs::remove(prefix / "lib" / kLibrary);
    std::string out;
    const int code =
        run("env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen timeout 20 " + quoted(installed), &out);
    EXPECT_EQ(code, 127) << out;
    EXPECT_NE(out.find(std::string(kLibrary) + ": cannot open shared object file"), std::string::npos) << out;
}

TEST_F(LibraryBinding, ProgramImportsTheUpgradesEightExportsByName)
{
    std::string undefined;
    ASSERT_EQ(run("nm -D --undefined-only " + quoted(program), &undefined), 0);
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
