#include <climits>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

using namespace Korvu2::TAV::Objects;

namespace {

std::vector<uint8_t> words_to_bytes(const std::vector<int32_t>& words) {
    std::vector<uint8_t> out;
    for (int32_t w : words)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> shift));
    return out;
}

std::vector<uint8_t> stored(vxIO::ixriff_streamable& s) {
    s.prepare();
    const auto* p = static_cast<const uint8_t*>(s.chunk_data());
    std::vector<uint8_t> bytes(p, p + s.chunk_size());
    s.clear();
    return bytes;
}

// Either the constructor refuses the words with the one message, or it accepts
// them; never anything else.
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

const ImageGeometry kGeometry{640, 480, 3, 0x108};
const FeatureWindow kWindow{10, 20, 639, 99, 5, 79};

} // namespace

TEST(TypeStoredForm, ImageTypeWritesElevenLittleEndianWordsInFieldOrder) {
    CDataTypeImage type(kGeometry, kWindow);
    EXPECT_EQ(type.chunk_type(), vxIO::xriff_fixed_string<8>("DATATYPE"));
    EXPECT_TRUE(type.chunk_name().empty());
    const auto bytes = stored(type);
    EXPECT_EQ(bytes, words_to_bytes({0, 640, 480, 3, 0x108, 10, 20, 639, 99, 5, 79}));
    // Preparing again rebuilds rather than appends.
    type.prepare();
    type.prepare();
    EXPECT_EQ(type.chunk_size(), 44u);
    type.clear();
    EXPECT_EQ(type.chunk_size(), 0u);
}

TEST(TypeStoredForm, EveryClassRoundTripsThroughItsWords) {
    CDataTypeImage image(kGeometry, kWindow);
    auto bytes = stored(image);
    CDataTypeImage image2(bytes.data(), bytes.size());
    EXPECT_EQ(stored(image2), bytes); // origin and pixel type included, which Compare ignores

    CDataTypeFloat32Vector dv(INT32_MAX);
    bytes = stored(dv);
    EXPECT_EQ(bytes, words_to_bytes({1, INT32_MAX}));
    EXPECT_EQ(CDataTypeFloat32Vector(bytes.data(), bytes.size()).Dimension(), INT32_MAX);

    CLabelTypeString ls;
    bytes = stored(ls);
    EXPECT_EQ(bytes, words_to_bytes({0}));
    EXPECT_EQ(ls.chunk_type(), vxIO::xriff_fixed_string<8>::from_bytes("LBLTYPE\0"));
    EXPECT_NO_THROW(CLabelTypeString(bytes.data(), bytes.size()));

    CLabelTypeFloat32Vector lv(7);
    bytes = stored(lv);
    EXPECT_EQ(bytes, words_to_bytes({1, 7}));
    EXPECT_EQ(lv.chunk_type(), vxIO::xriff_fixed_string<8>::from_bytes("LBLTYPE\0"));
    EXPECT_EQ(CLabelTypeFloat32Vector(bytes.data(), bytes.size()).Dimension(), 7);
}

TEST(TypeStoredForm, HostileImageWordsAreRefused) {
    const std::vector<int32_t> good{0, 640, 480, 3, 0x108, 10, 20, 639, 99, 5, 79};
    ASSERT_FALSE(refused<CDataTypeImage>(words_to_bytes(good)));
    struct Case {
        const char* what;
        int index;
        int32_t value;
    } cases[] = {
        {"vector enum", 0, 1},          {"unknown enum", 0, 2},           {"zero width", 1, 0},
        {"negative height", 2, -1},     {"zero planes", 3, 0},            {"pixel type above 10 bits", 4, 0x1408},
        {"negative left", 5, -1},       {"left past right", 5, 640},      {"negative top", 6, INT32_MIN},
        {"right at width", 7, 640},     {"right at int max", 7, INT32_MAX}, {"bottom at height", 8, 480},
        {"bottom above top", 8, 19},    {"origin x negative", 9, -1},     {"origin x past window", 9, 630},
        {"origin y past window", 10, 80},
    };
    for (const Case& c : cases) {
        auto words = good;
        words[c.index] = c.value;
        EXPECT_TRUE(refused<CDataTypeImage>(words_to_bytes(words))) << c.what;
    }
    // A missing chunk, every truncation, and trailing bytes.
    EXPECT_TRUE(refused<CDataTypeImage>({}));
    EXPECT_THROW(CDataTypeImage(nullptr, 44), std::runtime_error);
    auto bytes = words_to_bytes(good);
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_TRUE(refused<CDataTypeImage>({bytes.begin(), bytes.begin() + n})) << n;
    bytes.push_back(0);
    EXPECT_TRUE(refused<CDataTypeImage>(bytes));
}

TEST(TypeStoredForm, FlippedBitsGiveARefusalOrAValidType) {
    const auto good = words_to_bytes({0, 64, 48, 1, 8, 1, 2, 62, 46, 3, 4});
    for (size_t i = 0; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            auto bytes = good;
            bytes[i] ^= static_cast<uint8_t>(1u << bit);
            try {
                CDataTypeImage type(bytes.data(), bytes.size());
                EXPECT_TRUE(CDataTypeImage::IsValid(type.Geometry(), type.Window())) << i << ":" << bit;
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Invalid type descriptors");
            }
        }
    }
}

TEST(TypeStoredForm, HostileVectorAndLabelWordsAreRefused) {
    struct Case {
        const char* what;
        std::function<bool(const std::vector<uint8_t>&)> refuse;
        std::vector<int32_t> words;
    } cases[] = {
        {"data vector: image enum", refused<CDataTypeFloat32Vector>, {0, 3}},
        {"data vector: zero dimension", refused<CDataTypeFloat32Vector>, {1, 0}},
        {"data vector: int min", refused<CDataTypeFloat32Vector>, {1, INT32_MIN}},
        {"data vector: enum only", refused<CDataTypeFloat32Vector>, {1}},
        {"data vector: extra word", refused<CDataTypeFloat32Vector>, {1, 3, 0}},
        {"label string: vector enum", refused<CLabelTypeString>, {1}},
        {"label string: extra word", refused<CLabelTypeString>, {0, 0}},
        {"label string: empty", refused<CLabelTypeString>, {}},
        {"label vector: string enum", refused<CLabelTypeFloat32Vector>, {0, 3}},
        {"label vector: negative dimension", refused<CLabelTypeFloat32Vector>, {1, -1}},
        {"label vector: enum only", refused<CLabelTypeFloat32Vector>, {1}},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.refuse(words_to_bytes(c.words))) << c.what;
}

TEST(ImageDataType, InvariantsHoldForCreatedAndChangedWindows) {
    EXPECT_THROW(CDataTypeImage(ImageGeometry{4, 4, 1, 8}, FeatureWindow{0, 0, 4, 3, 0, 0}), std::invalid_argument);
    CDataTypeImage type(ImageGeometry{4, 4, 1, 0xFFFFFFFF}, FeatureWindow{0, 0, 3, 3, 0, 0});
    EXPECT_EQ(type.PixelDataType(), 0x3FFu);
    const FeatureWindow refusedWindows[] = {
        {-1, 0, 3, 3, 0, 0}, {0, 0, 4, 3, 0, 0}, {2, 0, 1, 3, 0, 0}, {0, 0, 3, 3, 4, 0}, {0, 0, 3, 3, 0, -1},
    };
    for (const FeatureWindow& w : refusedWindows) {
        EXPECT_FALSE(type.SetWindow(w));
        EXPECT_EQ(type.WindowRight(), 3);
        EXPECT_EQ(type.OriginX(), 0);
    }
    EXPECT_TRUE(type.SetWindow({1, 2, 1, 3, 0, 1}));
    EXPECT_EQ(type.WindowWidth(), 1);
    EXPECT_EQ(type.WindowHeight(), 2);
    const Fringes f = type.GetFringes();
    EXPECT_EQ(f.left, 1);
    EXPECT_EQ(f.top, 2);
    EXPECT_EQ(f.right, 2);
    EXPECT_EQ(f.bottom, 0);
}
