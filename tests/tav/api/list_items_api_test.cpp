// Many items at once: TavAddItems gives the list a loop of TavAddItem gives,
// TavListReadItems the buffer the reader gives, and a refused call changes
// nothing.
#include <cstring>
#include <random>

#include "list_fixture.hpp"
#include "support/lists.hpp"
#include "support/temp_dir.hpp"

using namespace list_test;
using namespace tav_test;

namespace {

struct Shape {
    int32_t width, height, planes;
    uint32_t pixel; // 0 for float vectors of width floats
};

std::size_t element_bytes(uint32_t pixel) { return (pixel & 0xFF) <= 8 ? 1 : (pixel & 0xFF) <= 16 ? 2 : 4; }

// A stored file's bytes with its times blanked, so that two lists made at
// different moments compare equal.
std::string without_times(std::string bytes) {
    // A time chunk: type, name, size, then the 16 bytes of the time.
    constexpr std::size_t kChunk = 8 + 16 + 8 + 16;
    for (auto at = bytes.find("SYSTIME"); at != std::string::npos; at = bytes.find("SYSTIME", at + kChunk))
        bytes.replace(at, std::min(kChunk, bytes.size() - at), std::min(kChunk, bytes.size() - at), '.');
    return bytes;
}

// Item i of a buffer, made as a caller of TavAddItem would make it.
ZTHANDLE make_data(const Shape& s, const uint8_t* item) {
    if (s.pixel == 0)
        return TavCreateVectorData(reinterpret_cast<const float*>(item), static_cast<uint64_t>(s.width));
    ZTIMAGE image = ZtImageCreate(s.width, s.height, s.planes, s.pixel);
    const std::size_t e = element_bytes(s.pixel);
    for (int32_t y = 0, k = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x)
            for (int32_t p = 0; p < s.planes; ++p, ++k) {
                uint32_t v = 0;
                std::memcpy(&v, item + k * e, e);
                ZtImageSetPixel(image, p, x, y, v);
            }
    ZTHANDLE data = TavCreateImageData(image, 0, 0, s.width, s.height);
    ZtRelease(image);
    return data;
}

} // namespace

TEST(TavListItems, AddItemsMakesTheListALoopOfAddItemMakesAndReadsBackAsTheReaderDoes) {
    const Shape shapes[] = {{5, 3, 1, ZT_DT_U8}, {4, 2, 3, ZT_DT_U16}, {6, 0, 0, 0}};
    std::mt19937 rng(23);
    TempDir dir;
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.planes);
        auto type = [&] {
            return s.pixel ? TavCreateDataTypeImage(s.width, s.height, s.planes, s.pixel, 0, 0, s.width, s.height, 0, 0)
                           : TavCreateDataTypeFloatVector(static_cast<uint64_t>(s.width));
        };
        const TestList loop(type()), bulk(type());
        const std::size_t size = s.pixel ? s.width * s.height * s.planes * element_bytes(s.pixel) : 4 * s.width;
        const int64_t count = 40;
        std::vector<uint8_t> buffer(size * count);
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = static_cast<uint8_t>(rng() % (s.pixel ? 256 : 64)); // small floats, never NaN
        Owned owned;
        std::vector<TAVLABEL> labels;
        for (int64_t i = 0; i < count; ++i)
            labels.push_back(owned.hold(TavCreateStringLabel(("class " + std::to_string(rng() % 3)).c_str())));
        labels[7] = labels[6]; // a handle that repeats

        for (int64_t i = 0; i < count; ++i) {
            ZTHANDLE data = make_data(s, buffer.data() + i * size);
            ASSERT_EQ(TavAddItem(loop.list, data, labels[i]), 0);
            ZtRelease(data);
        }
        ASSERT_EQ(TavAddItems(bulk.list, buffer.data(), buffer.size(), count, labels.data()), 0);
        const std::string file = dir.file("bulk.tav");
        const std::string stored = without_times(stored_bytes(bulk.list, file));
        EXPECT_GT(stored.size(), count * size);
        EXPECT_EQ(stored, without_times(stored_bytes(loop.list, file)));

        // Read back from the stored forms (bulk, and the loaded list) and
        // from made images (loop), against the reader on the stored file.
        ASSERT_EQ(TavStore(bulk.list, file.c_str()), 0);
        TAV loaded = 0;
        TAVREADER reader = 0;
        ASSERT_EQ(TavLoad(file.c_str(), &loaded), 0);
        ASSERT_EQ(TavReaderOpen(file.c_str(), &reader), 0);
        owned.hold(loaded), owned.hold(reader);
        const int64_t indices[] = {39, 0, 17, 17, 3};
        std::vector<uint8_t> expected(5 * size), got(5 * size);
        ASSERT_EQ(TavReaderReadItems(reader, indices, 5, expected.data(), expected.size()), 0);
        for (TAV list : {loop.list, bulk.list, loaded}) {
            std::fill(got.begin(), got.end(), 0);
            ASSERT_EQ(TavListReadItems(list, indices, 5, got.data(), got.size()), 0);
            EXPECT_EQ(got, expected);
        }
        std::vector<uint8_t> all(buffer.size());
        ASSERT_EQ(TavListReadItems(loaded, nullptr, count, all.data(), all.size()), 0);
        EXPECT_EQ(all, buffer);
    }
}

TEST(TavListItems, RefusedCallsChangeNothing) {
    const TestList l(TavCreateDataTypeImage(2, 2, 1, 0x00C, 0, 0, 2, 2, 0, 0));
    Owned owned;
    const TAVLABEL a = owned.hold(TavCreateStringLabel("a"));
    const TAVLABEL vector = owned.hold(TavCreateVectorLabel(std::vector<float>{1}.data(), 1));
    uint16_t pixels[3][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    const TAVLABEL good[] = {a, a, a}, wrongType[] = {a, vector, a}, notLabel[] = {a, a, l.list};
    ASSERT_EQ(TavAddItems(l.list, pixels, sizeof pixels, 1, good), 0);
    uint8_t before[8] = {}, after[8] = {};
    const int64_t beyond[] = {0, 1};
    pixels[2][3] = 0xFFFF; // outside 12 bits
    expect_calls({
        fails("label of another type", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, wrongType); },
              TAV_E_INCOMPATIBLE, "TavAddItems"),
        fails("not a label", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, notLabel); },
              TAV_E_INVALID_ARGUMENT, "TavAddItems"),
        fails("sample out of range", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, good); },
              TAV_E_INCOMPATIBLE, "TavAddItems", "image samples outside the pixel type's range"),
        fails("short buffer", [&] { return TavAddItems(l.list, pixels, sizeof pixels - 1, 3, good); },
              TAV_E_BUFFER_TOO_SMALL, "TavAddItems"),
        fails("negative count", [&] { return TavAddItems(l.list, pixels, sizeof pixels, -1, good); },
              TAV_E_INVALID_ARGUMENT, "TavAddItems"),
        fails("no labels", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 1, nullptr); },
              TAV_E_INVALID_ARGUMENT, "TavAddItems"),
        fails("index beyond", [&] { return TavListReadItems(l.list, beyond, 2, after, sizeof after); },
              TAV_E_INDEX_OUT_OF_RANGE, "TavListReadItems"),
        fails("short read buffer", [&] { return TavListReadItems(l.list, nullptr, 1, after, 7); },
              TAV_E_BUFFER_TOO_SMALL, "TavListReadItems"),
    });
    EXPECT_EQ(TavGetNumDataEntries(l.list), 1);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 1);
    EXPECT_EQ(std::memcmp(before, after, sizeof after), 0);
    ASSERT_EQ(TavListReadItems(l.list, nullptr, 1, after, sizeof after), 0);
    EXPECT_EQ(std::memcmp(after, pixels[0], sizeof after), 0);
}
