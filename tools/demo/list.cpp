// Builds a small list in memory through the public functions and prints a
// summary: types, labels with their items, statistics, comment and times.
// Then stores it in a file (the argument, or one in the temp folder) and
// loads it back.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <tav/tav.h>

namespace {

std::string label_text(TAVLABEL label) {
    uint64_t size = 0;
    if (TavGetStringLabel(label, nullptr, &size) != 0)
        return "?";
    std::string text(size, '\0');
    TavGetStringLabel(label, text.data(), &size);
    text.pop_back();
    return text;
}

std::string data_text(TAVDATA data) {
    uint64_t count = 0;
    TavGetFloatVectorData(data, nullptr, &count);
    std::vector<float> values(count);
    TavGetFloatVectorData(data, values.data(), &count);
    std::string text = "(";
    for (std::size_t i = 0; i < values.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%g", i ? ", " : "", values[i]);
        text += number;
    }
    return text + ")";
}

void print_time(const char* what, const SYSTEMTIME& t) {
    std::printf("%-13s %04u-%02u-%02u %02u:%02u:%02u.%03u\n", what, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond, t.wMilliseconds);
}

// Same items and labels in the same order, same links, comment and times.
bool same_list(TAV a, TAV b) {
    if (TavGetNumDataEntries(a) != TavGetNumDataEntries(b) || TavGetNumLabelEntries(a) != TavGetNumLabelEntries(b))
        return false;
    for (int32_t i = 0; i < TavGetNumDataEntries(a); ++i)
        if (TavCompareData(TavGetData(a, i), TavGetData(b, i)) != 0 ||
            TavGetLabelIndex(a, TavGetLabelReference(TavGetData(a, i), 0)) !=
                TavGetLabelIndex(b, TavGetLabelReference(TavGetData(b, i), 0)))
            return false;
    for (int32_t i = 0; i < TavGetNumLabelEntries(a); ++i)
        if (TavCompareLabels(TavGetLabel(a, i), TavGetLabel(b, i)) != 0)
            return false;
    char ca[256] = {}, cb[256] = {};
    uint64_t sa = sizeof ca, sb = sizeof cb;
    SYSTEMTIME ta[2]{}, tb[2]{};
    TavGetCreationDate(a, &ta[0]);
    TavGetModificationDate(a, &ta[1]);
    TavGetCreationDate(b, &tb[0]);
    TavGetModificationDate(b, &tb[1]);
    return TavGetComment(a, ca, &sa) == 0 && TavGetComment(b, cb, &sb) == 0 && std::strcmp(ca, cb) == 0 &&
           std::memcmp(ta, tb, sizeof ta) == 0;
}

} // namespace

int main(int argc, char** argv) {
    TAVLABELTYPE labelType = TavCreateLabelTypeString();
    TAVDATATYPE dataType = TavCreateDataTypeFloatVector(2);
    TAV list = TavCreate(labelType, dataType);
    if (list == 0) {
        std::fprintf(stderr, "could not create a list\n");
        return 1;
    }
    struct Sample {
        const char* name;
        float x, y;
    } samples[] = {{"pear", 0.9f, 0.2f}, {"apple", 0.1f, 0.8f}, {"pear", 0.8f, 0.3f},
                   {"fig", 0.5f, 0.5f},  {"apple", 0.2f, 0.7f}, {"pear", 0.7f, 0.1f}};
    for (const Sample& s : samples) {
        const float values[2] = {s.x, s.y};
        TAVLABEL label = TavCreateStringLabel(s.name);
        TAVDATA data = TavCreateVectorData(values, 2);
        if (TavAddItem(list, data, label) != 0)
            std::fprintf(stderr, "could not add %s\n", s.name);
        ZtRelease(label);
        ZtRelease(data);
    }
    TavSetComment(list, "fruit measured by two features");
    // Deleting "fig"'s only item takes the label with it.
    TavDeleteData(list, 3);

    std::printf("list: label type %d (string), data type %d (float vector)\n", TavGetLabelTypeEnum(list),
                TavGetDataTypeEnum(list));
    std::printf("%d data items, %d labels (sorted)\n", TavGetNumDataEntries(list), TavGetNumLabelEntries(list));
    for (int32_t i = 0; i < TavGetNumLabelEntries(list); ++i) {
        TAVLABEL label = TavGetLabel(list, i);
        std::printf("  label %d \"%s\":", i, label_text(label).c_str());
        for (int32_t j = 0; j < TavGetNumDataReferences(label); ++j) {
            TAVDATA data = TavGetDataReference(label, j);
            std::printf(" #%d %s", TavGetDataIndex(list, data), data_text(data).c_str());
        }
        std::printf("\n");
    }
    int64_t labels = 0, least = 0, most = 0;
    double mean = 0;
    TavGetStatistics(list, &labels, &least, &most, &mean);
    std::printf("items per label: min %lld, max %lld, mean %.2f\n", static_cast<long long>(least),
                static_cast<long long>(most), mean);
    uint64_t size = 0;
    TavGetComment(list, nullptr, &size);
    std::string comment(size, '\0');
    TavGetComment(list, comment.data(), &size);
    std::printf("comment: %s\n", comment.c_str());
    SYSTEMTIME created{}, modified{};
    TavGetCreationDate(list, &created);
    TavGetModificationDate(list, &modified);
    print_time("created:", created);
    print_time("modified:", modified);

    const std::string path =
        argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "tav_demo_fruit.tav").string();
    if (TavStore(list, path.c_str()) != 0) {
        std::fprintf(stderr, "could not store the list in %s\n", path.c_str());
        return 1;
    }
    TAV loaded = 0;
    if (TavLoad(path.c_str(), &loaded) != 0) {
        std::fprintf(stderr, "could not load %s\n", path.c_str());
        return 1;
    }
    const bool same = same_list(list, loaded);
    std::printf("stored in %s (%ju bytes) and loaded back: %d data items, %d labels, %s\n", path.c_str(),
                static_cast<uintmax_t>(std::filesystem::file_size(path)), TavGetNumDataEntries(loaded),
                TavGetNumLabelEntries(loaded), same ? "equal to the original" : "DIFFERENT from the original");

    for (ZTHANDLE h : {loaded, list, labelType, dataType})
        ZtRelease(h);
    return same ? 0 : 1;
}
