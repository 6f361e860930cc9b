// A read-back through the classic driver over a file that someone else owns
// keeps what the file was: owner, group, set-group-id bit and hard links.
#include "isp/classic/settings_ops.h"
#include "isp/core/serialport.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"
#include "tests/isp/core/keptfile.h"

#include <cstdlib>
#include <string>

namespace {

class ReadbackKeep : public classictest::ClassicFixture {
protected:
    void TearDown() override
    {
        if (!dir_.empty()) {
            std::remove((dir_ + "/read.hex").c_str());
            std::remove((dir_ + "/read.hex.link").c_str());
            ::rmdir(dir_.c_str());
        }
        ClassicFixture::TearDown();
    }
    std::string dir_;
};

TEST_F(ReadbackKeep, ReadDataKeepsOwnerModeAndLinksOfTheNamedFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file another owner";
    char tmpl[] = "/tmp/qzclassickeepXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const std::string out = dir_ + "/read.hex";
    ASSERT_TRUE(keptfile::make(out));
    startPart();
    connectPort(classictest::k89V51RD2);
    const char u = 'U';
    char c = 0;
    ASSERT_EQ(qz::port_write(&u, 1), 1);
    ASSERT_EQ(qz::port_read(&c, 1, 0), 1);
    const IspResult* r = qz::classic_read_data(0x0000, 0x001F, out.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const std::string text = file_text(out);
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");
    keptfile::expectKept(out, text);
}

} // namespace
