// A read-back through qz_read_data over a file that someone else owns keeps
// what the file was: owner, group, set-group-id bit and its hard links.
#include "tests/isp/cortex/opssimfixture.h"
#include "tests/isp/core/keptfile.h"

#include <string>

using namespace opstest;

namespace {

TEST_F(OpsTest, ReadBackKeepsOwnerModeAndLinksOfTheNamedFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file another owner";
    sim.setFlash(withVectorChecksum(firmwareImage(0x8000, 0x8000, 3)));
    connectOrFail();
    const std::string out = file("kept.hex");
    files.push_back(out + ".link");
    ASSERT_TRUE(keptfile::make(out));
    ASSERT_EQ(qz_read_data(0, 0x3F, out.c_str(), nullptr, 0)->status, 1);
    const std::string text = file_text(out);
    EXPECT_EQ(text.substr(0, 16), ":020000040000FA\n");
    keptfile::expectKept(out, text);
}

} // namespace
