// Reading the loader's descriptor from its HEX file: markers, both
// versions, and the values the library refuses to work with.
#include "isp/extflash/descriptor.h"
#include "tests/isp/extflash/extflashfixture.h"

#include <functional>

namespace {

using exttest::DescriptorFields;
using qz::ext::LoaderDescriptor;

class DescriptorTest : public exttest::ExtFlashTest {
protected:
    int parse(const std::string& hex, LoaderDescriptor* d)
    {
        return qz::ext::parse_loader_descriptor(writeText("d.hex", hex).c_str(), d);
    }
};

TEST_F(DescriptorTest, VersionTwoFillsEveryField)
{
    desc.startMethod = 1;
    desc.ispBaud = 57600;
    desc.erasedByte = 0x00;
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(desc), &d), 1);
    EXPECT_EQ(d.version, 2);
    EXPECT_EQ(d.reserved[0], desc.reserved1);
    EXPECT_EQ(d.reserved[1], desc.reserved2);
    EXPECT_EQ(d.flashStart, desc.flashStart);
    EXPECT_EQ(d.flashEnd, desc.flashEnd);
    EXPECT_EQ(d.ramStart, desc.ramStart);
    EXPECT_EQ(d.ramEnd, desc.ramEnd);
    EXPECT_EQ(d.eraseBlockSize, desc.eraseBlockSize);
    EXPECT_EQ(d.erasedByte, 0x00);
    EXPECT_EQ(d.chunkSize, desc.chunkSize);
    EXPECT_EQ(d.startMethod, 1);
    EXPECT_EQ(d.ispBaud, 57600);
    EXPECT_STREQ(d.deviceName, "LPC1850");
    EXPECT_STREQ(d.firstText, "Sim NOR");
    EXPECT_STREQ(d.secondText, "simulated external flash");
}

TEST_F(DescriptorTest, VersionOneIsOwnDownloadWithTheIspBaudAtOffset44)
{
    desc.version = 1;
    desc.reserved44 = 115200;
    desc.deviceName = "ignored";
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(desc), &d), 1);
    EXPECT_EQ(d.version, 1);
    EXPECT_EQ(d.startMethod, qz::ext::kStartOwnDownload);
    EXPECT_EQ(d.ispBaud, 115200);
    EXPECT_STREQ(d.deviceName, "LPC1850");
    EXPECT_STREQ(d.firstText, "Sim NOR");
    EXPECT_STREQ(d.secondText, "simulated external flash");
}

TEST_F(DescriptorTest, TheLaterOfTwoStartMarkersCounts)
{
    DescriptorFields early = desc;
    early.flashEnd = 0x80007FFF;
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(early);
    image.resize(image.size() - 4); // its end marker would come before the later start
    const std::vector<std::uint8_t> later = sim::loader::descriptorBytes(desc);
    image.insert(image.end(), later.begin(), later.end());
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::hexText(desc.ramStart, image), &d), 1);
    EXPECT_EQ(d.flashEnd, desc.flashEnd);
}

TEST_F(DescriptorTest, WithoutAStartMarkerTheDescriptorStartsAtTheImage)
{
    desc.startMarker = false;
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(desc, 0), &d), 1);
    EXPECT_EQ(d.flashStart, desc.flashStart);
    EXPECT_EQ(d.chunkSize, desc.chunkSize);
}

struct Refusal {
    const char* name;
    std::function<void(DescriptorFields&)> change;
};

class DescriptorRefusalTest : public DescriptorTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DescriptorRefusalTest, IsRefused)
{
    GetParam().change(desc);
    LoaderDescriptor d{};
    EXPECT_EQ(parse(sim::loader::loaderHex(desc), &d), 0) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DescriptorRefusalTest,
    ::testing::Values(
        Refusal{"no end marker", [](DescriptorFields& s) { s.endMarker = false; }},
        Refusal{"version 3", [](DescriptorFields& s) { s.version = 3; }},
        Refusal{"chunk size 0", [](DescriptorFields& s) { s.chunkSize = 0; }},
        Refusal{"chunk larger than the flash",
                [](DescriptorFields& s) {
                    s.flashEnd = s.flashStart + 0xFF;
                    s.chunkSize = 0x200;
                }},
        Refusal{"flash end below start", [](DescriptorFields& s) { s.flashEnd = s.flashStart - 1; }},
        Refusal{"the whole 4 GiB",
                [](DescriptorFields& s) {
                    s.flashStart = 0;
                    s.flashEnd = 0xFFFFFFFF;
                }},
        Refusal{"erase block size 0", [](DescriptorFields& s) { s.eraseBlockSize = 0; }},
        Refusal{"RAM end below start", [](DescriptorFields& s) { s.ramEnd = s.ramStart - 1; }},
        Refusal{"flash length no multiple of the chunk", [](DescriptorFields& s) { s.chunkSize = 300; }}));

TEST_F(DescriptorTest, EndMarkerCloserThanEightBytesIsRefused)
{
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(desc);
    const std::uint8_t end[4] = {0xAA, 0x55, 0x7F, 0x3D};
    std::copy(end, end + 4, image.begin() + 4); // at start + 4
    image.resize(image.size() - 4);
    LoaderDescriptor d{};
    EXPECT_EQ(parse(sim::loader::hexText(desc.ramStart, image), &d), 0);
}

TEST_F(DescriptorTest, AnImageEndingInsideTheFieldsIsRefused)
{
    // The end marker lies early enough, but the fields reach past the image.
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(desc);
    const std::uint8_t end[4] = {0xAA, 0x55, 0x7F, 0x3D};
    std::copy(end, end + 4, image.begin() + 60);
    image.resize(200);
    for (int version : {1, 2}) {
        image[4] = static_cast<std::uint8_t>(version);
        LoaderDescriptor d{};
        EXPECT_EQ(parse(sim::loader::hexText(desc.ramStart, image), &d), 0) << version;
    }
}

TEST_F(DescriptorTest, AFileSpanningMoreThanSixteenMegabytesIsRefused)
{
    std::string hex = sim::loader::loaderHex(desc);
    // One more byte 32 MiB above: the span alone is refused, whatever the
    // descriptor holds.
    const std::string far = sim::loader::hexText(desc.ramStart + 0x2000000, {0x55});
    hex.erase(hex.rfind(":00000001FF"));
    LoaderDescriptor d{};
    EXPECT_EQ(parse(hex + far, &d), 0);
}

TEST_F(DescriptorTest, AFileWithoutDataOrWithoutFileIsRefused)
{
    LoaderDescriptor d{};
    EXPECT_EQ(parse(":00000001FF\n", &d), 0);
    EXPECT_EQ(qz::ext::parse_loader_descriptor(path("missing.hex").c_str(), &d), 0);
    EXPECT_EQ(qz::ext::parse_loader_descriptor("", &d), 0);
}

} // namespace
