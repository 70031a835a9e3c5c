// Packed bits against the same bits kept one to a byte.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tap/Bits.h"
#include "test_bits.h"

namespace {

std::vector<unsigned char> RandomBits(std::minstd_rand& random, size_t nBits)
{
    std::vector<unsigned char> bits(nBits);
    for (unsigned char& bit : bits)
        bit = static_cast<unsigned char>(random() & 1);
    return bits;
}

} // namespace

// Appends, slices and searches at every alignment of their ends give the bits a byte-per-bit copy
// gives, and no bit past the end is ever set.
TEST(BitsTest, AppendSliceAndSearchAgreeWithTheBitsOneByOneAtEveryAlignment)
{
    std::minstd_rand random(7);
    for (size_t nHave = 0; nHave < 20; ++nHave)
    {
        for (size_t nFrom = 0; nFrom < 12; ++nFrom)
        {
            const std::vector<unsigned char> head = RandomBits(random, nHave), other = RandomBits(random, 40);
            const size_t nCount = random() % 30;
            CBits packed = Packed(head);
            packed.Append(Packed(other), nFrom, nCount);
            std::vector<unsigned char> model = head;
            model.insert(model.end(), other.begin() + static_cast<long>(nFrom),
                         other.begin() + static_cast<long>(nFrom + nCount));
            ASSERT_EQ(model, Unpacked(packed)) << nHave << " bits, then " << nCount << " from " << nFrom;
            EXPECT_EQ(packed, Packed(model)) << "equal values compare equal, the last byte's spare bits clear";
            const CBits slice = packed.Slice(nFrom, nCount);
            EXPECT_EQ(std::vector<unsigned char>(model.begin() + static_cast<long>(std::min(nFrom, model.size())),
                                                 model.begin() + static_cast<long>(std::min(nFrom + nCount, model.size()))),
                      Unpacked(slice));
            bool bAny = false;
            for (size_t i = nFrom; i < std::min(nFrom + nCount, model.size()); ++i)
                bAny = bAny || model[i] != 0;
            EXPECT_EQ(bAny, packed.AnySet(nFrom, nCount));
        }
    }
    // The first bit that differs under the mask, and none where the mask hides every difference.
    for (size_t nBits : {1u, 7u, 8u, 9u, 64u, 100u})
    {
        for (size_t nAt = 0; nAt < nBits; nAt += 3)
        {
            const std::vector<unsigned char> expected = RandomBits(random, nBits);
            std::vector<unsigned char> read = expected, mask(nBits, 1);
            read[nAt] ^= 1;
            EXPECT_EQ(nAt, FirstDifference(Packed(read), Packed(expected), Packed(mask)));
            mask[nAt] = 0;
            EXPECT_EQ(SIZE_MAX, FirstDifference(Packed(read), Packed(expected), Packed(mask)));
        }
    }
    CBits three = CBits::FromPacked({0xFF}, 3);
    three.push_back(false);
    EXPECT_EQ((std::vector<unsigned char>{1, 1, 1, 0}), Unpacked(three)) << "packed bytes past their length are cleared";
}

// A value cut short loses the bits past its end for good: made longer again, the new bits are
// the ones asked for, not what stood there before; a copy keeps its own.
TEST(BitsTest, AValueCutShortAndMadeLongerHoldsOnlyTheNewBits)
{
    CBits value(20, true);
    const CBits kept = value;
    value.resize(5);
    EXPECT_EQ(CBits(5, true), value);
    value.resize(13);
    EXPECT_EQ((std::vector<unsigned char>{1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}), Unpacked(value));
    value.resize(17, true);
    EXPECT_EQ(Unpacked(value, 13), (std::vector<unsigned char>{1, 1, 1, 1}));
    EXPECT_EQ(CBits(20, true), kept) << "the copy taken before is whole";
}

// A copy shares its bytes until one of the two changes, and then only that one changes.
TEST(BitsTest, ACopyChangesAloneAndAClearedCopyLeavesTheOtherWhole)
{
    CBits first(20, true);
    CBits second = first;
    EXPECT_EQ(first.Bytes(), second.Bytes()) << "shared, not copied";
    second.Set(3, false);
    second.push_back(false);
    EXPECT_TRUE(first[3]);
    EXPECT_EQ(20u, first.size());
    EXPECT_FALSE(second[3]);
    EXPECT_EQ(21u, second.size());
    CBits third = first;
    third.clear();
    EXPECT_TRUE(third.empty());
    EXPECT_EQ(CBits(20, true), first);
}
