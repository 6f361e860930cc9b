// Reading the loader's descriptor from its HEX file: markers, both
// versions, and the values the library refuses to work with.
#include "isp/extflash/descriptor.h"
#include "tests/isp/extflash/extflashfixture.h"

#include <functional>

namespace {

using exttest::DescriptorSpec;
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
    spec.startMethod = 1;
    spec.ispBaud = 57600;
    spec.erasedByte = 0x00;
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(spec), &d), 1);
    EXPECT_EQ(d.version, 2);
    EXPECT_EQ(d.reserved[0], spec.reserved1);
    EXPECT_EQ(d.reserved[1], spec.reserved2);
    EXPECT_EQ(d.flashStart, spec.flashStart);
    EXPECT_EQ(d.flashEnd, spec.flashEnd);
    EXPECT_EQ(d.ramStart, spec.ramStart);
    EXPECT_EQ(d.ramEnd, spec.ramEnd);
    EXPECT_EQ(d.eraseBlockSize, spec.eraseBlockSize);
    EXPECT_EQ(d.erasedByte, 0x00);
    EXPECT_EQ(d.chunkSize, spec.chunkSize);
    EXPECT_EQ(d.startMethod, 1);
    EXPECT_EQ(d.ispBaud, 57600);
    EXPECT_STREQ(d.deviceName, "LPC1850");
    EXPECT_STREQ(d.firstText, "Sim NOR");
    EXPECT_STREQ(d.secondText, "simulated external flash");
}

TEST_F(DescriptorTest, VersionOneIsOwnDownloadWithTheIspBaudAtOffset44)
{
    spec.version = 1;
    spec.reserved44 = 115200;
    spec.deviceName = "ignored";
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(spec), &d), 1);
    EXPECT_EQ(d.version, 1);
    EXPECT_EQ(d.startMethod, qz::ext::kStartOwnDownload);
    EXPECT_EQ(d.ispBaud, 115200);
    EXPECT_STREQ(d.deviceName, "LPC1850");
    EXPECT_STREQ(d.firstText, "Sim NOR");
    EXPECT_STREQ(d.secondText, "simulated external flash");
}

TEST_F(DescriptorTest, TheLaterOfTwoStartMarkersCounts)
{
    DescriptorSpec early = spec;
    early.flashEnd = 0x80007FFF;
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(early);
    image.resize(image.size() - 4); // its end marker would come before the later start
    const std::vector<std::uint8_t> later = sim::loader::descriptorBytes(spec);
    image.insert(image.end(), later.begin(), later.end());
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::hexText(spec.ramStart, image), &d), 1);
    EXPECT_EQ(d.flashEnd, spec.flashEnd);
}

TEST_F(DescriptorTest, WithoutAStartMarkerTheDescriptorStartsAtTheImage)
{
    spec.startMarker = false;
    LoaderDescriptor d{};
    ASSERT_EQ(parse(sim::loader::loaderHex(spec, 0), &d), 1);
    EXPECT_EQ(d.flashStart, spec.flashStart);
    EXPECT_EQ(d.chunkSize, spec.chunkSize);
}

struct Refusal {
    const char* name;
    std::function<void(DescriptorSpec&)> change;
};

class DescriptorRefusalTest : public DescriptorTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DescriptorRefusalTest, IsRefused)
{
    GetParam().change(spec);
    LoaderDescriptor d{};
    EXPECT_EQ(parse(sim::loader::loaderHex(spec), &d), 0) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DescriptorRefusalTest,
    ::testing::Values(
        Refusal{"no end marker", [](DescriptorSpec& s) { s.endMarker = false; }},
        Refusal{"version 3", [](DescriptorSpec& s) { s.version = 3; }},
        Refusal{"chunk size 0", [](DescriptorSpec& s) { s.chunkSize = 0; }},
        Refusal{"chunk larger than the flash",
                [](DescriptorSpec& s) {
                    s.flashEnd = s.flashStart + 0xFF;
                    s.chunkSize = 0x200;
                }},
        Refusal{"flash end below start", [](DescriptorSpec& s) { s.flashEnd = s.flashStart - 1; }},
        Refusal{"the whole 4 GiB",
                [](DescriptorSpec& s) {
                    s.flashStart = 0;
                    s.flashEnd = 0xFFFFFFFF;
                }},
        Refusal{"erase block size 0", [](DescriptorSpec& s) { s.eraseBlockSize = 0; }},
        Refusal{"RAM end below start", [](DescriptorSpec& s) { s.ramEnd = s.ramStart - 1; }},
        Refusal{"flash length no multiple of the chunk", [](DescriptorSpec& s) { s.chunkSize = 300; }}));

TEST_F(DescriptorTest, EndMarkerCloserThanEightBytesIsRefused)
{
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(spec);
    const std::uint8_t end[4] = {0xAA, 0x55, 0x7F, 0x3D};
    std::copy(end, end + 4, image.begin() + 4); // at start + 4
    image.resize(image.size() - 4);
    LoaderDescriptor d{};
    EXPECT_EQ(parse(sim::loader::hexText(spec.ramStart, image), &d), 0);
}

TEST_F(DescriptorTest, AnImageEndingInsideTheFieldsIsRefused)
{
    // The end marker lies early enough, but the fields reach past the image.
    std::vector<std::uint8_t> image = sim::loader::descriptorBytes(spec);
    const std::uint8_t end[4] = {0xAA, 0x55, 0x7F, 0x3D};
    std::copy(end, end + 4, image.begin() + 60);
    image.resize(200);
    for (int version : {1, 2}) {
        image[4] = static_cast<std::uint8_t>(version);
        LoaderDescriptor d{};
        EXPECT_EQ(parse(sim::loader::hexText(spec.ramStart, image), &d), 0) << version;
    }
}

TEST_F(DescriptorTest, AFileSpanningMoreThanSixteenMegabytesIsRefused)
{
    std::string hex = sim::loader::loaderHex(spec);
    // One more byte 32 MiB above: the span alone is refused, whatever the
    // descriptor holds.
    const std::string far = sim::loader::hexText(spec.ramStart + 0x2000000, {0x55});
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
