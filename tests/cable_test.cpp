// The cable driver's byte sequences and shadow rules, on a recording port.
#include <gtest/gtest.h>

#include "cable/cable.h"
#include "recording_port.h"

using Bytes = std::vector<unsigned char>;

class CableTest : public ::testing::Test
{
protected:
    CRecordingPort port;
    CPortScope scope{&port};
};

TEST_F(CableTest, BeforePowerOnPinsReadLowAndNothingIsWritten)
{
    EXPECT_EQ(0, GetTms());
    EXPECT_EQ(0, GetTdi());
    EXPECT_TRUE(port.accesses.empty());
}

TEST_F(CableTest, CableOnAndOffWriteEnableThenZeroOnce)
{
    EXPECT_EQ(TRUE, CableOn());
    EXPECT_EQ(TRUE, CableOff());
    ASSERT_EQ(2u, port.accesses.size());
    for (const auto& access : port.accesses)
    {
        EXPECT_TRUE(access.bWrite);
        EXPECT_EQ(0x378, access.address);
    }
    EXPECT_EQ((Bytes{0x10, 0x00}), port.DataWrites());
}

TEST_F(CableTest, PowerOverwritesTmsAndTdi)
{
    SetTms(1);
    SetTdi(1);
    PortPower(1);
    EXPECT_EQ(0, GetTms());
    EXPECT_EQ(0, GetTdi());
    PulseTck();
    EXPECT_EQ((Bytes{0x10, 0x10, 0x10, 0x12, 0x12}), port.DataWrites());
}

TEST_F(CableTest, PinsChangeOnlyTheShadow)
{
    CableOn();
    const size_t nBefore = port.accesses.size();
    SetTms(1);
    SetTdi(7);  // any non-zero level counts as 1
    EXPECT_EQ(1, GetTms());
    EXPECT_EQ(1, GetTdi());
    SetTdi(0);
    EXPECT_EQ(1, GetTms());
    EXPECT_EQ(0, GetTdi());
    EXPECT_EQ(nBefore, port.accesses.size());
}

TEST_F(CableTest, PulseWritesTckLowTwiceThenHighTwice)
{
    CableOn();
    SetTms(1);
    SetTdi(1);
    port.accesses.clear();
    PulseTck();
    EXPECT_EQ((Bytes{0x15, 0x15, 0x17, 0x17}), port.DataWrites());
    for (const auto& access : port.accesses)
        EXPECT_EQ(0x378, access.address);

    // TCK never enters the shadow: the next pulse starts from the same byte.
    port.accesses.clear();
    SetTdi(0);
    PulseTck();
    EXPECT_EQ((Bytes{0x14, 0x14, 0x16, 0x16}), port.DataWrites());
    EXPECT_EQ(1, GetTms());
}

TEST_F(CableTest, TdoIsStatusBitFourReadOnce)
{
    const struct
    {
        unsigned char status;
        BYTE tdo;
    } cases[] = {{0x10, 1}, {0x7F, 1}, {0xEF, 0}, {0x00, 0}, {0xFF, 1}};
    for (const auto& c : cases)
    {
        port.accesses.clear();
        port.status = c.status;
        EXPECT_EQ(c.tdo, GetTdo()) << "status " << int(c.status);
        ASSERT_EQ(1u, port.accesses.size());
        EXPECT_FALSE(port.accesses[0].bWrite);
        EXPECT_EQ(0x379, port.accesses[0].address);
    }
}
