#include "list_summary.hpp"

#include <algorithm>

#include "failure.hpp"

namespace tavtool {

namespace {

DataTypeSummary summarize_data_type(TAVDATATYPE type, bool image) {
    DataTypeSummary s;
    if (!type)
        fail_library("cannot read the data type");
    if (image) {
        s.image = true;
        if (TavGetImageDataGeometry(type, &s.width, &s.height, &s.planes, &s.pixel_type) != 0 ||
            TavGetFeatureWindow(type, &s.window_left, &s.window_top, &s.window_width, &s.window_height, &s.origin_x,
                                &s.origin_y) != 0)
            fail_library("cannot read the data type");
    } else if (TavGetFloatVectorDataDim(type, &s.dimension) != 0) {
        fail_library("cannot read the data type");
    }
    return s;
}

std::string reader_comment(TAVREADER reader) {
    uint64_t size = 0;
    if (TavReaderGetComment(reader, nullptr, &size) != 0)
        fail_library("cannot read the comment");
    if (size <= 1)
        return {};
    std::string text(size, '\0');
    if (TavReaderGetComment(reader, text.data(), &size) != 0)
        fail_library("cannot read the comment");
    text.resize(size - 1);
    return text;
}

} // namespace

std::string describe_data_type(const DataTypeSummary& t) {
    if (!t.image)
        return "vector, dimension " + std::to_string(t.dimension);
    return "image " + std::to_string(t.width) + "x" + std::to_string(t.height) + ", " + std::to_string(t.planes) +
           (t.planes == 1 ? " plane, " : " planes, ") + pixel_type_name(t.pixel_type) + "; window " +
           std::to_string(t.window_left) + "," + std::to_string(t.window_top) + " " + std::to_string(t.window_width) +
           "x" + std::to_string(t.window_height) + ", origin " + std::to_string(t.origin_x) + "," +
           std::to_string(t.origin_y);
}

ListSummary summarize_list(const ListReader& reader) {
    clear_library_error();
    const TavReaderInfo& info = reader.info();
    ListSummary s;
    s.data_type = summarize_data_type(TavReaderGetDataType(reader.get()), reader.images());
    s.string_labels = info.labelTypeEnum == 0;
    s.label_dimension = info.labelDimension;
    s.items = info.itemCount;
    std::vector<int> counts(static_cast<size_t>(reader.label_count()), 0);
    for (int32_t j : reader.item_labels())
        if (j >= 0 && j < reader.label_count())
            ++counts[static_cast<size_t>(j)];
    for (int j = 0; j < reader.label_count(); ++j) {
        TAVLABEL label = reader.label(j);
        LabelSummary l;
        l.value = label_value(label);
        l.items = counts[static_cast<size_t>(j)];
        int32_t flag = 0;
        if (TavGetExcludedFlag(label, &flag) != 0)
            fail_library("cannot read label " + std::to_string(j));
        l.excluded = flag != 0;
        s.labels.push_back(std::move(l));
    }
    // As the list's own statistics: items per label over all labels.
    s.stat_labels = static_cast<int64_t>(counts.size());
    if (!counts.empty()) {
        s.stat_min = *std::min_element(counts.begin(), counts.end());
        s.stat_max = *std::max_element(counts.begin(), counts.end());
        int64_t sum = 0;
        for (int c : counts)
            sum += c;
        s.stat_mean = double(sum) / double(counts.size());
    }
    s.comment = reader_comment(reader.get());
    SYSTEMTIME created{}, modified{};
    if (TavReaderGetTimes(reader.get(), &created, &modified) != 0)
        fail_library("cannot read the times");
    s.created = format_time(created);
    s.modified = format_time(modified);
    if (TAVDATA mask = TavReaderGetMaskData(reader.get()))
        s.mask = describe_data(mask);
    return s;
}

} // namespace tavtool
