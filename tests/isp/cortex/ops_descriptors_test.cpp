// Descriptors the library holds: many connect and disconnect cycles against
// the simulated part, failed connects and repeated port hand-overs leave the
// process with exactly the descriptors it had; a released port holds none.
#include "tests/isp/cortex/opssimfixture.h"

#include "isp/core/session.h"
#include "platform/serialline.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

using namespace opstest;

namespace {

// Open descriptors of this process; the directory stream's own counts in
// every call alike.
int openDescriptors()
{
    DIR* d = ::opendir("/proc/self/fd");
    if (d == nullptr)
        return -1;
    int n = 0;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.')
            ++n;
    }
    ::closedir(d);
    return n;
}

constexpr int kCycles = 100;

TEST_F(OpsTest, ConnectDisconnectCyclesLeaveNoDescriptors)
{
    // As Vantrel runs it: with the diagnostic log on.
    ASSERT_EQ(qz_select_debug_mode(1, file("qz.log").c_str())->status, 1);
    // One cycle first, so whatever is made once per process is in place.
    connectOrFail();
    ASSERT_EQ(qz_disconnect()->status, 1);
    const int before = openDescriptors();
    ASSERT_GT(before, 0);
    for (int i = 0; i < kCycles; ++i) {
        connectOrFail();
        ASSERT_EQ(qz_disconnect()->status, 1) << "cycle " << i;
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(qz::session().cancelEvent, -1);
}

TEST_F(OpsTest, FailedConnectsLeaveNoDescriptors)
{
    const int before = openDescriptors();
    ConnectOptions unknownDevice = vantrelOptions(sim.slavePath());
    unknownDevice.device_id = 1;
    for (int i = 0; i < kCycles; ++i) {
        EXPECT_EQ(connect(vantrelOptions("/dev/no-such-port"))->status, -2);
        EXPECT_EQ(connect(unknownDevice)->status, -5);
    }
    // A part that stays silent: the port is opened, then closed again.
    sim::LpcFaults mute;
    mute.mute = true;
    sim.setFaults(mute);
    qz_set_autobaud_configuration(5, 50, 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(connect(vantrelOptions(sim.slavePath()))->status, -18);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(qz_get_comport_handle(), -1);
}

// The hand-over another library makes: it adopts the descriptor this library
// opened, and this library forgets it with take_over_port(-1, 0).
TEST_F(OpsTest, ReleasedPortHoldsNoEvents)
{
    connectOrFail();
    const int fd = qz_get_comport_handle();
    ASSERT_GE(fd, 0);
    ASSERT_GE(qz::session().cancelEvent, 0);
    const int connected = openDescriptors();
    qz_set_comport_handle(-1, 0);
    EXPECT_EQ(qz_get_comport_handle(), -1);
    EXPECT_EQ(qz::session().cancelEvent, -1);
    // The port stays open for whoever took it; only the cancel signal went.
    EXPECT_EQ(openDescriptors(), connected - 1);
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    // Releasing again, or disconnecting a released port, changes nothing.
    qz_set_comport_handle(-1, 0);
    EXPECT_EQ(qz_disconnect()->status, -7);
    EXPECT_EQ(openDescriptors(), connected - 1);
    EXPECT_EQ(qz::session().cancelEvent, -1);
    ::close(fd);
}

TEST_F(OpsTest, RepeatedHandOversLeaveNoDescriptors)
{
    int err = 0;
    const int fd = platform::serialOpen(sim.slavePath(), &err);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(platform::serialConfigureRaw(fd, 9600, &err));
    const int before = openDescriptors();
    for (int i = 0; i < kCycles; ++i) {
        qz_set_comport_handle(fd, i % 2 ? 9600 : 0);
        ASSERT_EQ(qz_get_comport_handle(), fd);
        qz_set_comport_handle(fd, 0); // adopted twice: still one cancel signal
        qz_set_comport_handle(-1, 0);
        ASSERT_EQ(qz::session().cancelEvent, -1) << "cycle " << i;
    }
    EXPECT_EQ(openDescriptors(), before);
    // An adopted port is the library's own: a fresh connect closes it first,
    // and disconnect closes the one that connect opened.
    qz_set_comport_handle(fd, 0);
    connectOrFail();
    ASSERT_EQ(qz_disconnect()->status, 1);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(openDescriptors(), before - 1);
}

} // namespace
