// The list file reader: what it reads agrees with what TavLoad makes of the
// same file, a damaged item is refused when it is read, a file cut short
// after opening fails the read, and its refusals have their codes.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "list_fixture.hpp"
#include "support/list_file_bytes.hpp"
#include "support/temp_dir.hpp"

using namespace list_test;
using namespace tav_test;

namespace {

struct Form {
    bool vectorLabels, vectorData;
};

// Pixel types with a container of their own, a narrow one among them.
constexpr uint32_t kPixelTypes[] = {ZT_DT_U8, 0x00C, ZT_DT_S16, ZT_DT_F32};

int bytes_of(uint32_t type) { return (type & 0xFF) <= 8 ? 1 : (type & 0xFF) <= 16 ? 2 : 4; }

std::string image_blob(std::mt19937& rng, int32_t w, int32_t h, int32_t planes, uint32_t type) {
    std::string blob = "ZTCIMG\r\n" + le_bytes<int32_t>({1, w, h, planes});
    for (int32_t p = 0; p < planes; ++p)
        blob += u32s({type | (rng() % 2 ? 0x10000u : 0u)}); // flags above the type are free
    for (int32_t i = 0; i < w * h * planes; ++i) {
        const uint32_t v = rng() % (type == 0x00C ? 4096 : 256);
        blob += type == ZT_DT_F32 ? f32s({float(v) / 4}) : std::string(reinterpret_cast<const char*>(&v), bytes_of(type));
    }
    return blob;
}

// A random list file of the form: items with and without labels, pairs in or
// out of data order, excluded labels, maybe a mask (maybe one that does not
// fit), a comment and two times. With damage, one image item's header or
// pixel is broken; its index is returned.
std::string random_file(std::mt19937& rng, Form form, int& damaged) {
    const int32_t w = 1 + rng() % 4, h = 1 + rng() % 3, planes = 1 + rng() % 3, dim = 1 + rng() % 4;
    const uint32_t type = kPixelTypes[rng() % 4];
    const int labels = rng() % 5, items = rng() % 12;
    auto item = [&] {
        std::string values;
        for (int i = 0; i < dim; ++i)
            values += f32s({float(rng() % 100)});
        return form.vectorData ? leaf("ARRYFL32", "", values) : leaf("ZTIMG9  ", "", image_blob(rng, w, h, planes, type));
    };
    FileChunk data = composite("TavData", {}), names = composite("TavLabels", {});
    for (int i = 0; i < items; ++i)
        data.children.push_back(item());
    for (int l = 0; l < labels; ++l)
        names.children.push_back(form.vectorLabels ? leaf("ARRYFL32", "", f32s({float(l), 1}))
                                                   : leaf("TXTUTF8 ", "", "label " + std::to_string(l)));
    std::vector<std::vector<uint32_t>> of_label(labels);
    for (int d = 0; labels > 0 && d < items; ++d)
        if (rng() % 5 != 0)
            of_label[rng() % labels].push_back(d);
    std::string pairs, excluded;
    for (int l = 0; l < labels; ++l) {
        if (rng() % 2)
            std::shuffle(of_label[l].begin(), of_label[l].end(), rng);
        for (uint32_t d : of_label[l])
            pairs += u32s({uint32_t(l), d});
        if (rng() % 3 == 0)
            excluded += u32s({uint32_t(l)});
    }
    damaged = -1;
    if (!form.vectorData && items > 0 && rng() % 4 == 0) {
        damaged = rng() % items;
        std::string& blob = data.children[damaged].payload;
        const std::size_t at = type == 0x00C ? blob.size() - 1 : 12 + 4 * (rng() % 3);
        blob[at] = char(type == 0x00C ? 0x10 : blob[at] + 1);
    }
    const std::string dataType = form.vectorData ? u32s({1, uint32_t(dim)})
                                                 : le_bytes<int32_t>({0, w, h, planes, int32_t(type), 0, 0, w - 1, h - 1, 0, 0});
    std::vector<FileChunk> chunks = {data, names, leaf("ARRYU32 ", "LabelRefs", pairs),
                                     leaf("ARRYU32 ", "Excluded", excluded),
                                     info("comment " + std::to_string(rng() % 100), dataType,
                                          form.vectorLabels ? u32s({1, 2}) : u32s({0}))};
    if (rng() % 2) {
        FileChunk mask = item();
        mask.name = "MaskData";
        if (rng() % 3 == 0)
            mask.payload += "!";
        chunks.push_back(mask);
    }
    return list_file(chunks);
}

// The value at element i of a read buffer, as the image library gives pixels.
double element(const std::vector<uint8_t>& buffer, std::size_t i, uint32_t type) {
    if (type == ZT_DT_F32) {
        float f;
        std::memcpy(&f, &buffer[4 * i], 4);
        return f;
    }
    if (type == ZT_DT_S16) {
        int16_t v;
        std::memcpy(&v, &buffer[2 * i], 2);
        return v;
    }
    uint16_t v = 0;
    std::memcpy(&v, &buffer[bytes_of(type) * i], bytes_of(type));
    return v;
}

std::string label_string(TAVLABEL label, bool vector) {
    if (!vector)
        return label_text(label);
    float values[2] = {-1, -1};
    uint64_t count = 2;
    TavGetFloatVectorLabel(label, values, &count);
    return std::to_string(values[0]) + "," + std::to_string(values[1]);
}

// Everything a list and a reader of the same file give must agree.
void expect_same(TAV list, TAVREADER reader, Form form) {
    TavReaderInfo info{};
    ASSERT_EQ(TavReaderGetInfo(reader, &info), 0);
    ASSERT_EQ(info.itemCount, TavGetNumDataEntries(list));
    ASSERT_EQ(info.labelCount, TavGetNumLabelEntries(list));
    EXPECT_EQ(TavCompareDataTypes(TavReaderGetDataType(reader), TavGetDataType(list)), 0);
    EXPECT_EQ(TavCompareLabelTypes(TavReaderGetLabelType(reader), TavGetLabelType(list)), 0);
    for (int32_t l = 0; l < info.labelCount; ++l) {
        int32_t a = -1, b = -2;
        TavGetExcludedFlag(TavReaderGetLabel(reader, l), &a);
        TavGetExcludedFlag(TavGetLabel(list, l), &b);
        EXPECT_EQ(label_string(TavReaderGetLabel(reader, l), form.vectorLabels),
                  label_string(TavGetLabel(list, l), form.vectorLabels));
        EXPECT_EQ(a, b);
    }
    std::vector<int32_t> itemLabels(info.itemCount + 1);
    ASSERT_EQ(TavReaderGetItemLabels(reader, 0, info.itemCount, itemLabels.data()), 0);
    std::vector<uint8_t> all(info.itemSize * info.itemCount + 1);
    ASSERT_EQ(TavReaderReadRange(reader, 0, info.itemCount, all.data(), all.size()), 0);
    const std::size_t elements = info.itemSize / (info.dimension ? 4 : bytes_of(info.pixelDataType));
    for (int32_t d = 0; d < info.itemCount; ++d) {
        TAVDATA item = TavGetData(list, d);
        TAVLABEL label = TavGetLabelReference(item, 0);
        EXPECT_EQ(itemLabels[d], label ? TavGetLabelIndex(list, label) : -1) << d;
        std::vector<double> expected;
        if (form.vectorData) {
            std::vector<float> values(info.dimension);
            uint64_t count = values.size();
            ASSERT_EQ(TavGetFloatVectorData(item, values.data(), &count), 0);
            expected.assign(values.begin(), values.end());
        } else {
            ZTIMAGE image = 0;
            ASSERT_EQ(TavGetImageData(item, &image), 0);
            for (int32_t y = 0; y < info.height; ++y)
                for (int32_t x = 0; x < info.width; ++x)
                    for (int32_t p = 0; p < info.planes; ++p)
                        ZtImageGetPixel(image, p, x, y, &expected.emplace_back());
        }
        for (std::size_t i = 0; i < elements; ++i)
            ASSERT_EQ(element(all, d * elements + i, info.pixelDataType), expected[i]) << d << " " << i;
    }
    // Any indices, in any order, read as the whole range has them.
    std::mt19937 rng(info.itemCount);
    std::vector<int64_t> indices(info.itemCount ? 20 : 0);
    for (int64_t& i : indices)
        i = rng() % info.itemCount;
    std::vector<uint8_t> some(info.itemSize * indices.size());
    ASSERT_EQ(TavReaderReadItems(reader, indices.data(), indices.size(), some.data(), some.size()), 0);
    for (std::size_t k = 0; k < indices.size(); ++k)
        EXPECT_TRUE(std::equal(&some[k * info.itemSize], &some[(k + 1) * info.itemSize], &all[indices[k] * info.itemSize]));

    TAVDATA mask = TavReaderGetMaskData(reader), listMask = TavGetMaskData(list);
    EXPECT_EQ(mask != 0, listMask != 0);
    if (mask && listMask) {
        EXPECT_EQ(TavCompareData(mask, listMask), 0);
    }
    char a[64] = "", b[64] = "";
    uint64_t sa = 64, sb = 64;
    EXPECT_EQ(TavReaderGetComment(reader, a, &sa), 0);
    EXPECT_EQ(TavGetComment(list, b, &sb), 0);
    EXPECT_EQ(std::string(a), std::string(b));
    SYSTEMTIME created{}, modified{}, listCreated{}, listModified{};
    EXPECT_EQ(TavReaderGetTimes(reader, &created, &modified), 0);
    TavGetCreationDate(list, &listCreated);
    TavGetModificationDate(list, &listModified);
    EXPECT_EQ(std::memcmp(&created, &listCreated, sizeof created), 0);
    EXPECT_EQ(std::memcmp(&modified, &listModified, sizeof modified), 0);
}

} // namespace

TEST(TavReader, ReadsWhatTheLoadMakesOfRandomListsOfAllFourForms) {
    TempDir dir;
    std::mt19937 rng(2207);
    const std::string path = dir.file("list.tav");
    int damagedFiles = 0;
    for (int round = 0; round < 160; ++round) {
        const Form form{round % 2 == 1, round / 2 % 2 == 1};
        int damaged = -1;
        write_bytes(path, random_file(rng, form, damaged));
        TAV list = 0;
        TAVREADER reader = 0;
        const int32_t loaded = TavLoad(path.c_str(), &list);
        ASSERT_EQ(TavReaderOpen(path.c_str(), &reader), 0) << round;
        Owned owned{{list, reader}};
        EXPECT_EQ(IsTavReader(reader), 1);
        if (damaged < 0) {
            ASSERT_EQ(loaded, 0) << round;
            expect_same(list, reader, form);
            continue;
        }
        // The load refuses the file; the reader refuses only the damaged item.
        ++damagedFiles;
        EXPECT_EQ(loaded, TAV_E_FILE);
        TavReaderInfo info{};
        TavReaderGetInfo(reader, &info);
        std::vector<uint8_t> buffer(info.itemSize * info.itemCount);
        EXPECT_EQ(TavReaderReadRange(reader, 0, info.itemCount, buffer.data(), buffer.size()), TAV_E_FILE);
        for (int64_t d = 0; d < info.itemCount; ++d)
            EXPECT_EQ(TavReaderReadItems(reader, &d, 1, buffer.data(), buffer.size()), d == damaged ? TAV_E_FILE : 0);
    }
    EXPECT_GT(damagedFiles, 10);
}

TEST(TavReader, AFileCutShortAfterOpeningFailsTheReadOnly) {
    TempDir dir;
    const std::string bytes = list_file(sample_string_vector_file());
    const std::string path = dir.file("cut.tav");
    // The items lie from byte 64 to 184.
    for (off_t cut : {120, 40, 0}) {
        write_bytes(path, bytes);
        TAVREADER reader = 0;
        ASSERT_EQ(TavReaderOpen(path.c_str(), &reader), 0);
        Owned owned{{reader}};
        TavReaderInfo info{};
        TavReaderGetInfo(reader, &info);
        ASSERT_EQ(::truncate(path.c_str(), cut), 0);
        std::vector<uint8_t> buffer(info.itemSize * info.itemCount);
        ReportLog log;
        EXPECT_EQ(TavReaderReadRange(reader, 0, info.itemCount, buffer.data(), buffer.size()), TAV_E_FILE);
        EXPECT_EQ(log.take(), refusal(TAV_E_FILE, "TavReaderReadRange"));
    }
}

TEST(TavReader, RefusalsHaveTheirCodes) {
    TempDir dir;
    const std::string good = dir.file("good.tav"), enum2 = dir.file("enum2.tav");
    write_bytes(good, list_file(sample_string_vector_file()));
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[3].payload = u32s({2, 5});
    write_bytes(enum2, list_file(file));
    TAVREADER reader = 12345, opened = 0;
    ASSERT_EQ(TavReaderOpen(good.c_str(), &opened), 0);
    Owned owned{{opened}};
    const char* native = "TavReaderOpen_native";
    float buffer[8];
    int64_t indices[] = {0, 3};
    uint64_t size = 2;
    char text[2];
    const TAVLABEL label = TavReaderGetLabel(opened, 0);
    expect_calls({
        fails("missing", [&] { return TavReaderOpen(dir.file("none").c_str(), &reader); }, TAV_E_FILE, native),
        fails("data type enum 2", [&] { return TavReaderOpen(enum2.c_str(), &reader); }, TAV_E_INVALID_OPERATION,
              native),
        fails("null out", [&] { return TavReaderOpen(good.c_str(), nullptr); }, TAV_E_INVALID_ARGUMENT,
              "TavReaderOpen"),
        fails("not a reader", [&] { return TavReaderReadRange(label, 0, 1, buffer, 8); },
              TAV_E_INVALID_ARGUMENT, "TavReaderReadRange"),
        fails("past the end", [&] { return TavReaderReadRange(opened, 2, 2, buffer, sizeof buffer); },
              TAV_E_INDEX_OUT_OF_RANGE, "TavReaderReadRange"),
        fails("index past the end", [&] { return TavReaderReadItems(opened, indices, 2, buffer, sizeof buffer); },
              TAV_E_INDEX_OUT_OF_RANGE, "TavReaderReadItems"),
        fails("buffer too small", [&] { return TavReaderReadRange(opened, 0, 3, buffer, 23); },
              TAV_E_BUFFER_TOO_SMALL, "TavReaderReadRange"),
        fails("comment too long", [&] { return TavReaderGetComment(opened, text, &size); }, TAV_E_BUFFER_TOO_SMALL,
              "TavReaderGetComment"),
        {"no such label", [&] { return int64_t(TavReaderGetLabel(opened, 2)); }, 0,
         refusal(TAV_E_INDEX_OUT_OF_RANGE, "TavReaderGetLabel")},
    });
    EXPECT_EQ(reader, 12345u);
    EXPECT_EQ(IsTavReader(label), 0);
}
