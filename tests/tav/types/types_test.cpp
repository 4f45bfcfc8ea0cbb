#include <climits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

using namespace Korvu2::TAV::Objects;

namespace {

std::vector<uint8_t> bytes_of(const std::vector<int32_t>& words) {
    std::vector<uint8_t> out;
    for (int32_t w : words)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> shift));
    return out;
}

// True when T refuses the bytes with the one message; false when it takes them.
template <class T>
bool refused(const std::vector<uint8_t>& bytes) {
    try {
        T type(bytes.data(), bytes.size());
        return false;
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid type descriptors");
        return true;
    }
}

const std::vector<int32_t> kImageWords{0, 640, 480, 3, 0x108, 10, 20, 639, 99, 5, 79};

} // namespace

TEST(TypeStoredForm, WordsACreatedTypeCouldNeverHoldAreRefused) {
    const struct {
        int index;
        int32_t value;
    } imageCases[] = {
        {0, 1}, {0, 2}, {1, 0}, {2, -1}, {3, 0}, {4, 0x1408}, {5, -1}, {5, 640}, {6, -1}, {6, INT32_MIN},
        {7, 640}, {7, INT32_MAX}, {8, 480}, {8, 19}, {9, -1}, {9, 630}, {10, 80},
    };
    for (const auto& c : imageCases) {
        auto words = kImageWords;
        words[c.index] = c.value;
        EXPECT_TRUE(refused<CDataTypeImage>(bytes_of(words))) << c.index << "=" << c.value;
    }
    // Every truncation, a trailing byte, and a missing chunk.
    const auto good = bytes_of(kImageWords);
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_TRUE(refused<CDataTypeImage>({good.begin(), good.begin() + n})) << n;
    auto longer = good;
    longer.push_back(0);
    EXPECT_TRUE(refused<CDataTypeImage>(longer));
    EXPECT_THROW(CDataTypeImage(nullptr, 44), std::runtime_error);

    for (const auto& words : std::vector<std::vector<int32_t>>{{0, 3}, {1, 0}, {1, INT32_MIN}, {1}, {1, 3, 0}}) {
        EXPECT_TRUE(refused<CDataTypeFloat32Vector>(bytes_of(words)));
        EXPECT_TRUE(refused<CLabelTypeFloat32Vector>(bytes_of(words)));
    }
    for (const auto& words : std::vector<std::vector<int32_t>>{{1}, {0, 0}, {}})
        EXPECT_TRUE(refused<CLabelTypeString>(bytes_of(words)));
}

TEST(TypeCompare, ImageTypesDifferInGeometryAndWindowButNotInOriginOrPixelType) {
    const CDataTypeImage base(bytes_of(kImageWords).data(), kImageWords.size() * 4);
    const struct {
        int index;
        int32_t value;
        int32_t expected;
    } cases[] = {
        {1, 641, CompareDifferent}, {2, 481, CompareDifferent}, {3, 2, CompareDifferent},
        {5, 11, CompareDifferent},  {6, 19, CompareDifferent},  {7, 638, CompareDifferent},
        {8, 100, CompareDifferent},  {4, 0x110, CompareEqual},   {9, 6, CompareEqual},
        {10, 78, CompareEqual},
    };
    for (const auto& c : cases) {
        auto words = kImageWords;
        words[c.index] = c.value;
        const auto bytes = bytes_of(words);
        const CDataTypeImage other(bytes.data(), bytes.size());
        EXPECT_EQ(base.Compare(other), c.expected) << c.index;
        EXPECT_EQ(other.Compare(base), c.expected) << c.index;
    }
    EXPECT_EQ(base.Compare(CDataTypeFloat32Vector(3)), CompareOtherClass);
}
