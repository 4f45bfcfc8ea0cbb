// TavStore, TavStoreW, TavLoad and TavLoadW: a stored list loads back equal
// in all four forms, and every failure has its code and reported name.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/list_file_bytes.hpp"
#include "support/reports.hpp"

using tav_test::ReportWatch;

namespace {

constexpr int kWidth = 8, kHeight = 6;

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tav_api_store_XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    bool empty() const { return std::filesystem::is_empty(dir_); }

private:
    std::filesystem::path dir_;
};

// How one of the four list forms makes its types and items; i varies the value.
struct Form {
    const char* name;
    std::function<TAVLABELTYPE()> labelType;
    std::function<TAVDATATYPE()> dataType;
    std::function<TAVLABEL(int)> label;
    std::function<TAVDATA(int)> data;
};

TAVLABEL string_label(int i) { return TavCreateStringLabel(("label \xC3\xA4 " + std::to_string(i)).c_str()); }
TAVLABEL vector_label(int i) {
    const float v[] = {float(i), -float(i), 0.25f};
    return TavCreateVectorLabel(v, 3);
}
TAVDATA vector_data(int i) {
    float v[5];
    for (int k = 0; k < 5; ++k)
        v[k] = float(i * 10 + k);
    return TavCreateVectorData(v, 5);
}
TAVDATA image_data(int i) {
    ZTIMAGE image = ZtImageCreate(kWidth, kHeight, 1, ZT_DT_U8);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ZtImageSetPixel(image, 0, x, y, double((i * 7 + x + y * kWidth) % 256));
    TAVDATA data = TavCreateImageData(image, 0, 0, kWidth, kHeight);
    ZtRelease(image);
    return data;
}
TAVDATATYPE image_type() { return TavCreateDataTypeImage(kWidth, kHeight, 1, ZT_DT_U8, 1, 1, 5, 4, 2, 1); }
TAVDATATYPE vector_type() { return TavCreateDataTypeFloatVector(5); }

const Form kForms[] = {
    {"string/image", TavCreateLabelTypeString, image_type, string_label, image_data},
    {"string/vector", TavCreateLabelTypeString, vector_type, string_label, vector_data},
    {"vector/image", [] { return TavCreateLabelTypeFloatVector(3); }, image_type, vector_label, image_data},
    {"vector/vector", [] { return TavCreateLabelTypeFloatVector(3); }, vector_type, vector_label, vector_data},
};

// A list of 14 items over 4 labels added out of order, label 1 excluded, a
// mask and a comment. Releases everything but the list.
TAV make_list(const Form& form) {
    TAVLABELTYPE lt = form.labelType();
    TAVDATATYPE dt = form.dataType();
    TAV list = TavCreate(lt, dt);
    for (int i = 0; i < 14; ++i) {
        TAVLABEL label = form.label((i * 3) % 4);
        TAVDATA data = form.data(i);
        EXPECT_EQ(TavAddItem(list, data, label), 0);
        ZtRelease(label);
        ZtRelease(data);
    }
    TavSetExcludedFlag(TavGetLabel(list, 1), 1);
    TAVDATA mask = form.data(99);
    EXPECT_EQ(TavSetMaskData(list, mask), 0);
    ZtRelease(mask);
    EXPECT_EQ(TavSetCommentW(list, u"comment \u00e9\u4e2d"), 0);
    ZtRelease(lt);
    ZtRelease(dt);
    return list;
}

std::u16string comment_of(TAV list) {
    uint64_t size = 0;
    TavGetCommentW(list, nullptr, &size);
    std::u16string text(size, u'\0');
    TavGetCommentW(list, text.data(), &size);
    return text;
}

SYSTEMTIME time_of(int32_t (*get)(TAV, SYSTEMTIME*), TAV list) {
    SYSTEMTIME t{};
    EXPECT_EQ(get(list, &t), 0);
    return t;
}

void expect_equal_lists(TAV a, TAV b) {
    EXPECT_EQ(TavGetLabelTypeEnum(a), TavGetLabelTypeEnum(b));
    EXPECT_EQ(TavGetDataTypeEnum(a), TavGetDataTypeEnum(b));
    EXPECT_EQ(TavCompareLabelTypes(TavGetLabelType(a), TavGetLabelType(b)), 0);
    EXPECT_EQ(TavCompareDataTypes(TavGetDataType(a), TavGetDataType(b)), 0);
    ASSERT_EQ(TavGetNumDataEntries(a), TavGetNumDataEntries(b));
    ASSERT_EQ(TavGetNumLabelEntries(a), TavGetNumLabelEntries(b));
    for (int32_t i = 0; i < TavGetNumDataEntries(a); ++i) {
        TAVDATA da = TavGetData(a, i), db = TavGetData(b, i);
        EXPECT_EQ(TavCompareData(da, db), 0) << i;
        ASSERT_EQ(TavGetNumLabelReferences(db), 1);
        EXPECT_EQ(TavGetLabelIndex(a, TavGetLabelReference(da, 0)), TavGetLabelIndex(b, TavGetLabelReference(db, 0)));
    }
    for (int32_t l = 0; l < TavGetNumLabelEntries(a); ++l) {
        TAVLABEL la = TavGetLabel(a, l), lb = TavGetLabel(b, l);
        EXPECT_EQ(TavCompareLabels(la, lb), 0) << l;
        int32_t fa = -1, fb = -1;
        TavGetExcludedFlag(la, &fa);
        TavGetExcludedFlag(lb, &fb);
        EXPECT_EQ(fa, fb) << l;
        ASSERT_EQ(TavGetNumDataReferences(la), TavGetNumDataReferences(lb));
        for (int32_t k = 0; k < TavGetNumDataReferences(la); ++k)
            EXPECT_EQ(TavGetDataIndex(a, TavGetDataReference(la, k)), TavGetDataIndex(b, TavGetDataReference(lb, k)));
    }
    EXPECT_EQ(TavCompareData(TavGetMaskData(a), TavGetMaskData(b)), 0);
    EXPECT_EQ(comment_of(a), comment_of(b));
    const SYSTEMTIME ca = time_of(TavGetCreationDate, a), cb = time_of(TavGetCreationDate, b);
    const SYSTEMTIME ma = time_of(TavGetModificationDate, a), mb = time_of(TavGetModificationDate, b);
    EXPECT_EQ(std::memcmp(&ca, &cb, sizeof ca), 0);
    EXPECT_EQ(std::memcmp(&ma, &mb, sizeof ma), 0);
}

TEST(StoreLoad, EveryFormLoadsBackEqual) {
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        Scratch dir;
        TAV list = make_list(form);
        const uint64_t refs = ZtRefCount(list);
        ReportWatch watch;
        ASSERT_EQ(TavStore(list, dir.file("list.tav").c_str()), 0);
        EXPECT_EQ(ZtRefCount(list), refs);

        TAV loaded = 0;
        ASSERT_EQ(TavLoadW(std::filesystem::path(dir.file("list.tav")).u16string().c_str(), &loaded), 0);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(ZtRefCount(loaded), 1u);
        expect_equal_lists(list, loaded);

        // The loaded list stores to the same bytes.
        ASSERT_EQ(TavStore(loaded, dir.file("again.tav").c_str()), 0);
        std::ifstream first(dir.file("list.tav"), std::ios::binary), second(dir.file("again.tav"), std::ios::binary);
        EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(first), {}, std::istreambuf_iterator<char>(second), {}));
        ZtRelease(loaded);
        ZtRelease(list);
    }
}

TEST(StoreLoad, StoreFailuresReportUnderTheInnerName) {
    Scratch dir;
    TAV list = make_list(kForms[1]);
    TAVLABELTYPE notAList = TavCreateLabelTypeString();
    const std::string missing = dir.file("missing/list.tav");
    struct Case {
        const char* what;
        std::function<int32_t()> call;
        int32_t code;
        const char* function;
    };
    const Case cases[] = {
        {"null list", [&] { return TavStore(0, dir.file("a.tav").c_str()); }, TAV_E_INVALID_ARGUMENT,
         "TavStore_native"},
        {"not a list", [&] { return TavStoreW(notAList, u"a.tav"); }, TAV_E_INVALID_ARGUMENT, "TavStore_native"},
        {"missing directory", [&] { return TavStore(list, missing.c_str()); }, TAV_E_FILE, "TavStore_native"},
        {"null wide path", [&] { return TavStoreW(list, nullptr); }, TAV_E_FILE, "TavStore_native"},
        {"null narrow path", [&] { return TavStore(list, nullptr); }, TAV_E_FILE, "TavStore_native"},
        {"directory as path", [&] { return TavStore(list, dir.file("").c_str()); }, TAV_E_FILE, "TavStore_native"},
    };
    const uint64_t refs = ZtRefCount(list);
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(c.call(), c.code) << c.what;
        EXPECT_TRUE(watch.one(c.code, c.function)) << c.what;
    }
    EXPECT_EQ(ZtRefCount(list), refs);
    EXPECT_TRUE(dir.empty());
    ZtRelease(notAList);
    ZtRelease(list);
}

TEST(StoreLoad, LoadFailuresKeepTheOutVariable) {
    using namespace tav_test;
    Scratch dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return dir.file(name);
    };
    auto file = sample_string_vector_file();
    chunk_named(file, "TavInfo2")->children[3].payload = u32s({2, 5});
    const std::string enum2 = write("enum2.tav", list_file(file));
    chunk_named(file, "TavInfo2")->children.pop_back();
    const std::string noLabelType = write("nolabeltype.tav", list_file(file));
    file = sample_string_vector_file();
    chunk_named(file, "LabelRefs")->payload = u32s({0, 7});
    const std::string badIndex = write("badindex.tav", list_file(file));
    const std::string empty = write("empty.tav", "");
    const std::string good = write("good.tav", list_file(sample_string_vector_file()));

    struct Case {
        std::string path;
        int32_t code;
    };
    const Case cases[] = {
        {dir.file("missing.tav"), TAV_E_FILE}, {empty, TAV_E_FILE},
        {enum2, TAV_E_INVALID_OPERATION},      {noLabelType, TAV_E_INVALID_OPERATION},
        {badIndex, TAV_E_FILE},                {dir.file(""), TAV_E_FILE},
    };
    for (const Case& c : cases) {
        TAV out = 12345;
        ReportWatch watch;
        EXPECT_EQ(TavLoad(c.path.c_str(), &out), c.code) << c.path;
        EXPECT_TRUE(watch.one(c.code, "TavLoad_native")) << c.path;
        EXPECT_EQ(out, 12345u);
    }
    TAV out = 12345;
    ReportWatch watch;
    EXPECT_EQ(TavLoadW(nullptr, &out), TAV_E_FILE);
    EXPECT_TRUE(watch.one(TAV_E_FILE, "TavLoad_native"));
    ReportWatch nullOut;
    EXPECT_EQ(TavLoad(good.c_str(), nullptr), TAV_E_INVALID_ARGUMENT);
    EXPECT_TRUE(nullOut.one(TAV_E_INVALID_ARGUMENT, "TavLoad"));
    EXPECT_EQ(TavLoad(good.c_str(), &out), 0);
    EXPECT_EQ(TavGetNumDataEntries(out), 3);
    ZtRelease(out);
}

} // namespace
