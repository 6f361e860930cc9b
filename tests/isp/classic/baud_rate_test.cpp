#include "isp/classic/baud_rate.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

struct ReloadCase {
    int family;
    double mhz;
    int clocks;
    int baud;
    unsigned reload;
    float error;
};

TEST(BaudReload, ValuesAndErrors)
{
    const ReloadCase cases[] = {
        {0, 11.0592, 12, 57600, 65530, 0.0f},  // D 32
        {0, 11.0592, 12, 19200, 65518, 0.0f},
        {0, 11.0592, 6, 57600, 65524, 0.0f},   // D 16
        {2, 11.0592, 12, 56000, 65530, -2.857143f},
        {4, 7.3728, 0, 115200, 48, 0.0f},      // f / baud - 16
        {7, 7.3728, 12, 9600, 752, 0.0f},
        {10, 7.3728, 12, 128000, 42, 0.6897f},
    };
    for (const ReloadCase& c : cases) {
        SCOPED_TRACE(c.baud);
        unsigned reload = 0;
        const float err = baud_reload_error(c.family, c.mhz, c.clocks, c.baud, &reload);
        EXPECT_EQ(reload, c.reload);
        EXPECT_NEAR(err, c.error, 0.01f);
    }
}

TEST(BaudReload, RatesThatCannotBeMadeReportAMillion)
{
    unsigned reload = 7;
    // A reload that rounds up to 65536.
    EXPECT_EQ(baud_reload_error(0, 1.0, 12, 115200, &reload), kUnmakeableError);
    // A clock too slow for the generator: f / baud below 16.
    EXPECT_EQ(baud_reload_error(4, 1.0, 12, 115200, &reload), kUnmakeableError);
    // Families without a generator the driver sets.
    for (int family : {1, 5, 6, 9})
        EXPECT_EQ(baud_reload_error(family, 11.0592, 12, 9600, &reload), kUnmakeableError);
    EXPECT_EQ(reload, 7u) << "left alone";
    EXPECT_EQ(baud_reload_error(0, 11.0592, 12, 0, &reload), kUnmakeableError);
}

TEST(ClassicBaudRates, ListInOrder)
{
    EXPECT_EQ(ClassicBaudRateList.size(), 13u);
    EXPECT_EQ(baud_rate_index(1200), 0);
    EXPECT_EQ(baud_rate_index(115200), 11);
    EXPECT_EQ(baud_rate_index(128000), 12);
    EXPECT_EQ(baud_rate_index(230400), -1);
    for (std::size_t i = 1; i < ClassicBaudRateList.size(); ++i)
        EXPECT_LT(ClassicBaudRateList[i - 1], ClassicBaudRateList[i]);
}

} // namespace
} // namespace qz
