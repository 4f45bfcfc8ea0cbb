// TavAddItems gives the list a loop of TavAddItem gives, TavListReadItems and
// TavListGetItemLabels what the reader gives, and a refused call changes nothing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "list_fixture.hpp"
#include "support/temp_dir.hpp"

using namespace list_test;
using namespace tav_test;

namespace {

// A stored file's bytes with its times (chunks of type, name, size and 16
// bytes) blanked, so that lists made at different moments compare equal.
std::string without_times(std::string bytes) {
    for (auto at = bytes.find("SYSTIME"); at != std::string::npos; at = bytes.find("SYSTIME", at + 48))
        bytes.replace(at, 48, 48, '.');
    return bytes;
}

// An item's data made from its interleaved samples as a caller of TavAddItem
// would make it: 8- or 16-bit images, or width floats when planes is 0.
ZTHANDLE make_data(int32_t w, int32_t h, int32_t planes, uint32_t pixel, const uint8_t* item) {
    if (planes == 0)
        return TavCreateVectorData(reinterpret_cast<const float*>(item), static_cast<uint64_t>(w));
    Owned image{{ZtImageCreate(w, h, planes, pixel)}};
    for (int32_t k = 0; k < w * h * planes; ++k)
        ZtImageSetPixel(image.handles[0], k % planes, k / planes % w, k / planes / w,
                        pixel == ZT_DT_U8 ? item[k] : item[2 * k] + 256 * item[2 * k + 1]);
    return TavCreateImageData(image.handles[0], 0, 0, w, h);
}

} // namespace

TEST(TavListItems, AddItemsMakesTheListALoopOfAddItemMakesAndReadsBackAsTheReaderDoes) {
    struct Shape { int32_t w, h, planes; uint32_t pixel; std::size_t size; };
    const Shape shapes[] = {{5, 3, 1, ZT_DT_U8, 15}, {4, 2, 3, ZT_DT_U16, 48}, {6, 1, 0, ZT_DT_F32, 24}};
    std::mt19937 rng(23);
    TempDir dir;
    const std::string file = dir.file("bulk.tav");
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.planes);
        auto type = [&] { return s.planes ? TavCreateDataTypeImage(s.w, s.h, s.planes, s.pixel, 0, 0, s.w, s.h, 0, 0)
                                          : TavCreateDataTypeFloatVector(6); };
        const TestList loop(type()), bulk(type());
        constexpr int64_t count = 40;
        std::vector<uint8_t> buffer(s.size * count);
        std::generate(buffer.begin(), buffer.end(), [&] { return rng() % (s.planes ? 256 : 64); }); // floats not NaN
        Owned owned;
        std::vector<TAVLABEL> labels;
        for (int64_t i = 0; i < count; ++i)
            labels.push_back(owned.hold(TavCreateStringLabel(("class " + std::to_string(rng() % 3)).c_str())));
        labels[7] = labels[6]; // a handle that repeats
        for (int64_t i = 0; i < count; ++i) {
            ZTHANDLE data = make_data(s.w, s.h, s.planes, s.pixel, buffer.data() + i * s.size);
            ASSERT_EQ(TavAddItem(loop.list, data, labels[i]), 0);
            ZtRelease(data);
        }
        ASSERT_EQ(TavAddItems(bulk.list, buffer.data(), buffer.size(), count, labels.data()), 0);
        const std::string stored = without_times(stored_bytes(bulk.list, file));
        EXPECT_TRUE(stored.size() > buffer.size() && stored == without_times(stored_bytes(loop.list, file)));

        // From stored forms (bulk, loaded) and made images (loop), as the reader reads the file.
        TAV loaded = 0, reader = 0;
        ASSERT_EQ(TavStore(bulk.list, file.c_str()), 0);
        ASSERT_EQ(TavLoad(file.c_str(), &loaded), 0);
        ASSERT_EQ(TavReaderOpen(file.c_str(), &reader), 0);
        owned.hold(loaded), owned.hold(reader);
        const int64_t indices[] = {39, 0, 17, 17, 3};
        std::vector<uint8_t> expected(5 * s.size), got(5 * s.size), all(buffer.size());
        ASSERT_EQ(TavReaderReadItems(reader, indices, 5, expected.data(), expected.size()), 0);
        for (TAV list : {loop.list, bulk.list, loaded}) {
            ASSERT_EQ(TavListReadItems(list, indices, 5, got.data(), got.size()), 0);
            EXPECT_EQ(got, expected);
        }
        ASSERT_EQ(TavListReadItems(loaded, nullptr, count, all.data(), all.size()), 0);
        EXPECT_EQ(all, buffer);
        std::vector<int32_t> fromReader(count), fromList(count);
        ASSERT_EQ(TavReaderGetItemLabels(reader, 0, count, fromReader.data()), 0);
        for (TAV list : {bulk.list, loaded}) {
            ASSERT_EQ(TavListGetItemLabels(list, nullptr, count, fromList.data()), 0);
            EXPECT_EQ(fromList, fromReader);
        }
    }
}

// A label not equal to itself (NaN) gets a label of its own for each row, as
// when added one by one; equal labels of different handles share one.
TEST(TavListItems, AddItemsPlacesLabelsAsALoopOfAddItemDoes) {
    const float nan = NAN, one = 1, two = 2, values[] = {1, 2, 3, 4, 5, 6};
    Owned owned;
    const TAVLABEL n = owned.hold(TavCreateVectorLabel(&nan, 1)), a = owned.hold(TavCreateVectorLabel(&two, 1)),
                   b = owned.hold(TavCreateVectorLabel(&one, 1)), b2 = owned.hold(TavCreateVectorLabel(&one, 1));
    const TAVLABEL labels[] = {n, a, n, b, b2, a};
    const TestList loop(TavCreateDataTypeFloatVector(1), TavCreateLabelTypeFloatVector(1)),
        bulk(TavCreateDataTypeFloatVector(1), TavCreateLabelTypeFloatVector(1));
    for (int i = 0; i < 6; ++i) {
        const TAVDATA data = TavCreateVectorData(&values[i], 1);
        ASSERT_EQ(TavAddItem(loop.list, data, labels[i]), 0);
        ZtRelease(data);
    }
    ASSERT_EQ(TavAddItems(bulk.list, values, sizeof values, 6, labels), 0);
    TempDir dir;
    const std::string file = dir.file("labels.tav");
    EXPECT_EQ(without_times(stored_bytes(bulk.list, file)), without_times(stored_bytes(loop.list, file)));
    EXPECT_EQ(TavGetNumLabelEntries(bulk.list), 4);
}

TEST(TavListItems, RefusedCallsChangeNothing) {
    const TestList l(TavCreateDataTypeImage(2, 2, 1, 0x00C, 0, 0, 2, 2, 0, 0));
    Owned owned;
    const float one = 1;
    const TAVLABEL a = owned.hold(TavCreateStringLabel("a")), vector = owned.hold(TavCreateVectorLabel(&one, 1));
    uint16_t pixels[3][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 0xFFFF}}; // the last outside 12 bits
    const TAVLABEL good[] = {a, a, a}, wrongType[] = {a, vector, a}, notLabel[] = {a, a, l.list};
    ASSERT_EQ(TavAddItems(l.list, pixels, sizeof pixels, 1, good), 0);
    uint16_t read[4] = {};
    const int64_t beyond[] = {0, 1};
    expect_calls({
        fails("label of another type", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, wrongType); },
              TAV_E_INCOMPATIBLE, "TavAddItems"),
        fails("not a label", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, notLabel); },
              TAV_E_INVALID_ARGUMENT, "TavAddItems"),
        fails("sample out of range", [&] { return TavAddItems(l.list, pixels, sizeof pixels, 3, good); },
              TAV_E_INCOMPATIBLE, "TavAddItems", "image samples outside the pixel type's range"),
        fails("short buffer", [&] { return TavAddItems(l.list, pixels, sizeof pixels - 1, 3, good); },
              TAV_E_BUFFER_TOO_SMALL, "TavAddItems"),
        fails("index beyond", [&] { return TavListReadItems(l.list, beyond, 2, read, 16); },
              TAV_E_INDEX_OUT_OF_RANGE, "TavListReadItems"),
    });
    EXPECT_EQ(TavGetNumDataEntries(l.list), 1);
    ASSERT_EQ(TavListReadItems(l.list, nullptr, 1, read, sizeof read), 0);
    EXPECT_EQ(std::memcmp(read, pixels[0], sizeof read), 0);
}

// From 16 MiB on, items are made, read and loaded on two threads: every row comes
// back in place, and a damaged item in the second half fails the read and the load.
TEST(TavListItems, LargeListsKeepEveryRowInPlaceOnTwoThreads) {
    constexpr int32_t side = 64;
    constexpr int64_t count = 4200; // 17 MB of pixels
    constexpr std::size_t row = side * side;
    const TestList list(TavCreateDataTypeImage(side, side, 1, ZT_DT_U8, 0, 0, side, side, 0, 0));
    std::mt19937 rng(4200);
    std::vector<uint8_t> rows(row * count);
    std::generate(rows.begin(), rows.end(), [&] { return static_cast<uint8_t>(rng()); });
    Owned owned;
    const TAVLABEL names[] = {owned.hold(TavCreateStringLabel("a")), owned.hold(TavCreateStringLabel("b"))};
    std::vector<TAVLABEL> labels(count);
    for (int64_t i = 0; i < count; ++i)
        labels[i] = names[i % 3 == 0];
    ASSERT_EQ(TavAddItems(list.list, rows.data(), rows.size(), count, labels.data()), 0);
    TempDir dir;
    const std::string file = dir.file("large.tav");
    ASSERT_EQ(TavStore(list.list, file.c_str()), 0);
    TAV loaded = 0;
    TAVREADER reader = 0;
    ASSERT_EQ(TavLoad(file.c_str(), &loaded), 0);
    ASSERT_EQ(TavReaderOpen(file.c_str(), &reader), 0);
    owned.hold(loaded), owned.hold(reader);
    std::vector<uint8_t> got(rows.size());
    for (TAV from : {list.list, loaded}) {
        ASSERT_EQ(TavListReadItems(from, nullptr, count, got.data(), got.size()), 0);
        EXPECT_TRUE(got == rows);
    }
    ASSERT_EQ(TavReaderReadRange(reader, 0, count, got.data(), got.size()), 0);
    EXPECT_TRUE(got == rows);

    // The image header 28 bytes before the pixels of an item near the end.
    std::string bytes = read_bytes(file);
    const std::size_t pixels = bytes.find(std::string(rows.begin() + row * (count - 9), rows.begin() + row * (count - 8)));
    ASSERT_NE(pixels, std::string::npos);
    bytes[pixels - 28] ^= 1;
    write_bytes(file, bytes);
    TAVREADER damaged = 0;
    ASSERT_EQ(TavReaderOpen(file.c_str(), &damaged), 0);
    owned.hold(damaged);
    EXPECT_EQ(TavReaderReadRange(damaged, 0, count, got.data(), got.size()), TAV_E_FILE);
    TAV notLoaded = 0;
    EXPECT_EQ(TavLoad(file.c_str(), &notLoaded), TAV_E_FILE);
}
