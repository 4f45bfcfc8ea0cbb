// Everything `tav info` shows about a list, read through the list file reader.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "list_reader.hpp"
#include "list_text.hpp"

namespace tavtool {

struct DataTypeSummary {
    bool image = false;
    int width = 0, height = 0, planes = 0;
    uint32_t pixel_type = 0;
    int window_left = 0, window_top = 0, window_width = 0, window_height = 0;
    int origin_x = 0, origin_y = 0;
    uint64_t dimension = 0; // vector data
};

struct LabelSummary {
    LabelValue value;
    int items = 0;
    bool excluded = false;
};

struct ListSummary {
    DataTypeSummary data_type;
    bool string_labels = false;
    uint64_t label_dimension = 0;
    int64_t items = 0;
    std::vector<LabelSummary> labels;
    int64_t stat_labels = 0, stat_min = 0, stat_max = 0;
    double stat_mean = 0;
    std::string comment;
    std::string created, modified;
    std::optional<std::string> mask; // description of the mask data
};

ListSummary summarize_list(const ListReader& reader);
std::string describe_data_type(const DataTypeSummary& type);

} // namespace tavtool
