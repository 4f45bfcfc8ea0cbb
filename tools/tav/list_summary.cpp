#include "list_summary.hpp"

#include "failure.hpp"

namespace tavtool {

namespace {

DataTypeSummary summarize_data_type(TAV list) {
    DataTypeSummary s;
    TAVDATATYPE type = TavGetDataType(list); // borrowed
    if (!type)
        fail_library("cannot read the data type");
    if (TavGetDataTypeEnum(list) == 0) {
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

ListSummary summarize_list(TAV list) {
    clear_library_error();
    ListSummary s;
    s.data_type = summarize_data_type(list);
    const int label_kind = TavGetLabelTypeEnum(list);
    if (label_kind < 0)
        fail_library("cannot read the label type");
    s.string_labels = label_kind == 0;
    if (!s.string_labels && TavGetFloatVectorLabelDim(TavGetLabelType(list), &s.label_dimension) != 0)
        fail_library("cannot read the label type");

    s.items = TavGetNumDataEntries(list);
    const int labels = TavGetNumLabelEntries(list);
    if (s.items < 0 || labels < 0)
        fail_library("cannot count the entries");
    for (int i = 0; i < labels; ++i) {
        TAVLABEL label = TavGetLabel(list, i);
        if (!label)
            fail_library("cannot read label " + std::to_string(i));
        LabelSummary l;
        l.value = label_value(label);
        l.items = TavGetNumDataReferences(label);
        int32_t flag = 0;
        if (l.items < 0 || TavGetExcludedFlag(label, &flag) != 0)
            fail_library("cannot read label " + std::to_string(i));
        l.excluded = flag != 0;
        s.labels.push_back(std::move(l));
    }
    if (TavGetStatistics(list, &s.stat_labels, &s.stat_min, &s.stat_max, &s.stat_mean) != 0)
        fail_library("cannot read the statistics");
    s.comment = list_comment(list);
    SYSTEMTIME created{}, modified{};
    if (TavGetCreationDate(list, &created) != 0 || TavGetModificationDate(list, &modified) != 0)
        fail_library("cannot read the times");
    s.created = format_time(created);
    s.modified = format_time(modified);
    // Null without a report when the list has no mask.
    if (TAVDATA mask = TavGetMaskData(list))
        s.mask = describe_data(mask);
    return s;
}

} // namespace tavtool
