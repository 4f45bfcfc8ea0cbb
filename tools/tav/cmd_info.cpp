// tav info FILE [--json]: types, counts, labels, statistics and metadata.
#include <cstdio>
#include <iostream>

#include "command.hpp"
#include "json.hpp"
#include "list_reader.hpp"
#include "list_summary.hpp"
#include "list_text.hpp"

namespace tavtool {

namespace {

void print_text(const std::string& path, const ListSummary& s) {
    std::cout << "file:        " << path << "\n"
              << "data type:   " << describe_data_type(s.data_type) << "\n"
              << "label type:  "
              << (s.string_labels ? std::string("string") : "vector, dimension " + std::to_string(s.label_dimension))
              << "\n"
              << "items:       " << s.items << "\n"
              << "labels:      " << s.labels.size() << "\n";
    char stats[128];
    std::snprintf(stats, sizeof stats, "%lld labels, items per label min %lld, max %lld, mean %.2f",
                  static_cast<long long>(s.stat_labels), static_cast<long long>(s.stat_min),
                  static_cast<long long>(s.stat_max), s.stat_mean);
    std::cout << "statistics:  " << stats << "\n"
              << "comment:     " << escape_text(s.comment) << "\n"
              << "created:     " << s.created << "\n"
              << "modified:    " << s.modified << "\n"
              << "mask data:   " << (s.mask ? *s.mask : "none") << "\n";
    if (s.labels.empty())
        return;
    std::printf("\n%6s %8s  %-8s  %s\n", "index", "items", "excluded", "label");
    std::fflush(stdout);
    for (size_t i = 0; i < s.labels.size(); ++i) {
        const auto& l = s.labels[i];
        std::printf("%6zu %8d  %-8s  %s\n", i, l.items, l.excluded ? "yes" : "no",
                    escape_text(label_display(l.value)).c_str());
    }
}

std::string json_label(const LabelValue& v) {
    if (v.is_text)
        return json_string(v.text);
    std::string out = "[";
    for (size_t i = 0; i < v.values.size(); ++i)
        out += (i ? "," : "") + json_number(v.values[i]);
    return out + "]";
}

void print_json(const std::string& path, const ListSummary& s) {
    const auto& t = s.data_type;
    std::string out = "{\"file\":" + json_string(path) + ",\"data_type\":";
    if (t.image)
        out += "{\"kind\":\"image\",\"width\":" + std::to_string(t.width) + ",\"height\":" +
               std::to_string(t.height) + ",\"planes\":" + std::to_string(t.planes) + ",\"pixel_type\":" +
               json_string(pixel_type_name(t.pixel_type)) + ",\"window\":{\"left\":" +
               std::to_string(t.window_left) + ",\"top\":" + std::to_string(t.window_top) + ",\"width\":" +
               std::to_string(t.window_width) + ",\"height\":" + std::to_string(t.window_height) +
               "},\"origin\":{\"x\":" + std::to_string(t.origin_x) + ",\"y\":" + std::to_string(t.origin_y) + "}}";
    else
        out += "{\"kind\":\"vector\",\"dimension\":" + std::to_string(t.dimension) + "}";
    out += ",\"label_type\":";
    out += s.string_labels ? std::string("{\"kind\":\"string\"}")
                           : "{\"kind\":\"vector\",\"dimension\":" + std::to_string(s.label_dimension) + "}";
    out += ",\"items\":" + std::to_string(s.items) + ",\"label_count\":" + std::to_string(s.labels.size()) +
           ",\"labels\":[";
    for (size_t i = 0; i < s.labels.size(); ++i)
        out += std::string(i ? "," : "") + "{\"index\":" + std::to_string(i) + ",\"label\":" +
               json_label(s.labels[i].value) + ",\"items\":" + std::to_string(s.labels[i].items) +
               ",\"excluded\":" + (s.labels[i].excluded ? "true" : "false") + "}";
    out += "],\"statistics\":{\"labels\":" + std::to_string(s.stat_labels) + ",\"min\":" +
           std::to_string(s.stat_min) + ",\"max\":" + std::to_string(s.stat_max) + ",\"mean\":" +
           json_number(s.stat_mean) + "},\"comment\":" + json_string(s.comment) + ",\"created\":" +
           json_string(s.created) + ",\"modified\":" + json_string(s.modified) +
           ",\"mask\":" + (s.mask ? json_string(*s.mask) : "null") + "}";
    std::cout << out << "\n";
}

int run(const Args& args) {
    args.expect_positional(1);
    const std::string& path = args.positional()[0];
    const ListSummary summary = summarize_list(ListReader(path));
    if (args.flag("--json"))
        print_json(path, summary);
    else
        print_text(path, summary);
    return kExitOk;
}

} // namespace

const Command kInfoCommand{
    "info", "show a list's types, counts, labels, statistics and metadata",
    "usage: tav info FILE [--json]\n"
    "\n"
    "Shows the data type (image geometry, feature window, origin and pixel type,\n"
    "or the vector dimension), the label type, the item and label counts, the\n"
    "labels with their item counts and excluded flags, the statistics, the\n"
    "comment, the creation and modification times and the mask data. Control\n"
    "characters in labels and the comment are shown escaped (\\t, \\n, \\xNN).\n"
    "\n"
    "  --json   print the same as one JSON object\n",
    {{}, {"--json"}}, run};

} // namespace tavtool
