// Start method 1 against a stand-in Cortex driver: loading it, the calls
// it gets, taking its port over, and each way it can fail.
#include "isp/core/serialport.h"
#include "tests/isp/extflash/extflashfixture.h"
#include "tests/isp/extflash/fake_cortex.h"

#include <dlfcn.h>

namespace {

using exttest::Persona;

class CortexStartTest : public exttest::ExtFlashTest {
protected:
    void SetUp() override
    {
        ExtFlashTest::SetUp();
        desc.startMethod = 1;
        desc.ispBaud = 57600;
        use("libFakeCortex.so");
    }
    void TearDown() override
    {
        ExtFlashTest::TearDown();
        if (fake_ && fake_->fd >= 0)
            close(fake_->fd);
        if (lib_)
            dlclose(lib_);
    }

    // Holds the stand-in loaded and fresh, and has the library look for it.
    void use(const std::string& file)
    {
        if (lib_)
            dlclose(lib_);
        const std::string folder = platform_folder();
        lib_ = dlopen((folder + file).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_, nullptr) << dlerror();
        auto state = reinterpret_cast<FakeCortexState* (*)()>(dlsym(lib_, "fake_cortex_state"));
        ASSERT_NE(state, nullptr);
        fake_ = state();
        *fake_ = FakeCortexState{1, 1, 1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -2, -2, {}, -1};
        qz::ext::set_cortex_library_file(file.c_str());
    }

    static std::string platform_folder()
    {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0)
            return {};
        std::string p(self, static_cast<std::size_t>(n));
        return p.substr(0, p.rfind('/') + 1);
    }

    void* lib_ = nullptr;
    FakeCortexState* fake_ = nullptr;
};

TEST_F(CortexStartTest, WritesAndStartsTheLoaderThenTakesThePortOver)
{
    prepare(Persona::Loader);
    const IspResult* r = connect(2);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(fake_->connects, 1);
    EXPECT_EQ(fake_->connectBaud, 57600); // the descriptor's ISP baud
    EXPECT_EQ(fake_->connectSize, QZ_CONNECT_OPTIONS_SIZE);
    EXPECT_STREQ(fake_->program2Path, loaderPath.c_str());
    EXPECT_EQ(fake_->resets, 1);
    EXPECT_EQ(fake_->resetSkip, 1);
    EXPECT_EQ(fake_->resetAddress, desc.ramStart);
    EXPECT_EQ(fake_->resetFlags, 3u);
    // Its port is ours now, and it was told to forget it, not to close it.
    EXPECT_EQ(fake_->disconnects, 0);
    EXPECT_EQ(fake_->lastSetHandle, -1);
    EXPECT_EQ(fake_->lastSetBaud, 0);
    EXPECT_GE(qz::get_port_handle(), 0);
    EXPECT_EQ(sim->queries(), 1);
    // The part is never reset on the way: only the loader's start pause.
    EXPECT_EQ(exttest::sleeps(rec.take()), std::vector<std::string>{"sleep 300"});
}

TEST_F(CortexStartTest, TheAdoptedPortIsTheOneTheCortexDriverOpened)
{
    prepare(Persona::Loader);
    // A loader that announces itself as it starts: the announcement is no
    // answer to the query, nor to the first command.
    sim->stop();
    ASSERT_TRUE(sim->start(Persona::Loader, true));
    // On the line before the connect looks, as after the real start pause.
    for (int i = 0; i < 5000 && sim->bytesSent() < 12; ++i)
        usleep(1000);
    ASSERT_EQ(sim->bytesSent(), 12u);
    const IspResult* r = connect(2);
    ASSERT_EQ(r->status, 1) << r->text;
    ASSERT_GE(fake_->openedFd, 0);
    EXPECT_EQ(qz::get_port_handle(), fake_->openedFd);
    // The loader answers through the adopted port, one reply per request
    // (programming is not retried).
    const std::string data = writeText("data.hex", sim::loader::hexText(desc.flashStart, {1, 2, 3}));
    EXPECT_EQ(qz_program(data.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    EXPECT_EQ(sim->flash()[2], 3);
    EXPECT_EQ(qz::get_port_handle(), fake_->openedFd);
}

TEST_F(CortexStartTest, WithHardwareConfigZeroTheCortexPortIsClosedAndOpenedAgain)
{
    prepare(Persona::Loader);
    ASSERT_EQ(connect(0)->status, 1);
    EXPECT_EQ(fake_->disconnects, 1);
    EXPECT_EQ(fake_->setHandles, 0);
    EXPECT_TRUE(qz::port_is_open());
}

TEST_F(CortexStartTest, AFailedCortexConnectStillFindsALoaderThatRuns)
{
    prepare(Persona::Loader);
    fake_->connectOk = 0;
    ASSERT_EQ(connect(0)->status, 1);
    EXPECT_EQ(fake_->program2s, 0);
    EXPECT_EQ(exttest::sleeps(rec.take()), std::vector<std::string>{"sleep 1200"});
}

// A start that fails on the way: the Cortex driver is disconnected where it
// holds a connection, and no port is left open.
struct StartFailure {
    const char* name;
    void (*arrange)(FakeCortexState&, sim::LoaderSim&);
    const char* text;
    int disconnects;
    int resets;
};

class CortexStartFailureTest : public CortexStartTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(CortexStartFailureTest, FailsWithItsTextAndLeavesNoPortOpen)
{
    const StartFailure& f = GetParam();
    prepare(Persona::Loader);
    f.arrange(*fake_, *sim);
    const IspResult* r = connect(2);
    EXPECT_EQ(r->status, -18) << f.name;
    EXPECT_EQ(std::string(r->text), std::string("Operation Failed.  ") + f.text) << f.name;
    EXPECT_EQ(fake_->disconnects, f.disconnects) << f.name;
    EXPECT_EQ(fake_->resets, f.resets) << f.name;
    EXPECT_FALSE(qz::port_is_open()) << f.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CortexStartFailureTest,
    ::testing::Values(
        // Adopting the released handle of a failed connect gives a clean failure.
        StartFailure{"Cortex connect fails", [](FakeCortexState& c, sim::LoaderSim&) { c.connectOk = 0; },
                     "Bootloader in RAM is not executing (2)", 0, 0},
        StartFailure{"loader silent after its start",
                     [](FakeCortexState&, sim::LoaderSim& s) { s.setFaults({0, 0, 0, true}); },
                     "Bootloader in RAM is not executing (2)", 0, 1},
        StartFailure{"RAM write fails", [](FakeCortexState& c, sim::LoaderSim&) { c.program2Ok = 0; },
                     "Programming bootloader into RAM", 1, 0},
        StartFailure{"start fails", [](FakeCortexState& c, sim::LoaderSim&) { c.resetOk = 0; },
                     "Starting bootloader in RAM (1)", 1, 1}));

TEST_F(CortexStartTest, ADriverNotBesideThisLibraryIsLoadedByItsName)
{
    // A name that is no file beside the code: the loader's own search
    // (here a path) finds it.
    qz::ext::set_cortex_library_file((platform_folder() + "libFakeCortex.so").c_str());
    prepare(Persona::Loader);
    const IspResult* r = connect(2);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(fake_->connects, 1);
}

TEST_F(CortexStartTest, AMissingLibraryOrExportFailsToLoadTheDriver)
{
    prepare(Persona::Loader);
    for (const char* file : {"libNoSuchCortexDriver.so", "libFakeCortexNoReset.so"}) {
        if (std::string(file) == "libFakeCortexNoReset.so")
            use(file);
        else
            qz::ext::set_cortex_library_file(file);
        const IspResult* r = connect(2);
        EXPECT_EQ(r->status, -5) << file;
        EXPECT_STREQ(r->text,
                     "Invalid value or command sent. Please try the operation again.  Failed to load driver for "
                     "Cortex UART")
            << file;
        EXPECT_EQ(fake_->connects, 0) << file;
        EXPECT_FALSE(qz::port_is_open());
    }
}

TEST_F(CortexStartTest, AConnectWithoutDisconnectBeforeItClosesTheEarlierPort)
{
    prepare(Persona::Loader);
    ASSERT_EQ(connect(2)->status, 1);
    const int descriptors = exttest::openDescriptors();
    const IspResult* r = connect(2);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(qz::get_port_handle(), fake_->openedFd);
    EXPECT_EQ(exttest::openDescriptors(), descriptors);
}

TEST_F(CortexStartTest, RepeatedConnectsLeaveNoDescriptorOpen)
{
    prepare(Persona::Loader);
    ASSERT_EQ(connect(2)->status, 1);
    ASSERT_EQ(qz_disconnect()->status, 1);
    const int before = exttest::openDescriptors();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(connect(i % 2 == 0 ? 2 : 0)->status, 1) << i;
        ASSERT_EQ(qz_disconnect()->status, 1) << i;
    }
    fake_->connectOk = 0; // the Cortex side fails: handle -1 adopted
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(connect(2)->status, -18) << i;
    EXPECT_EQ(exttest::openDescriptors(), before);
}

} // namespace
