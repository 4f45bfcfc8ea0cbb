// tav ls FILE: one line per data item.
#include <cstdio>
#include <cstring>

#include "command.hpp"
#include "list_reader.hpp"
#include "list_text.hpp"

namespace tavtool {

namespace {

// "image 24x24, 1 plane, u8": every item of an image list has the list's
// geometry, so the data type tells it without reading the item.
std::string describe_image(const TavReaderInfo& info) {
    return "image " + std::to_string(info.width) + "x" + std::to_string(info.height) + ", " +
           std::to_string(info.planes) + (info.planes == 1 ? " plane, " : " planes, ") +
           pixel_type_name(info.pixelDataType);
}

std::string describe_vector(const float* values, uint64_t count, size_t shown = 6) {
    std::string out = "vector[" + std::to_string(count) + "]:";
    for (size_t i = 0; i < count && i < shown; ++i)
        out += " " + format_float(values[i]);
    return count > shown ? out + " ..." : out;
}

int run(const Args& args) {
    args.expect_positional(1);
    const ListReader reader(args.positional()[0]);
    std::vector<std::string> labels;
    for (int j = 0; j < reader.label_count(); ++j)
        labels.push_back(escape_text(label_display(label_value(reader.label(j)))));
    const auto print = [&](int64_t i, const std::string& data) {
        const int32_t j = reader.item_labels()[static_cast<size_t>(i)];
        std::printf("%lld\t%s\t%s\n", static_cast<long long>(i),
                    j >= 0 && j < reader.label_count() ? labels[static_cast<size_t>(j)].c_str() : "(no label)",
                    data.c_str());
    };
    if (reader.images()) {
        const std::string image = describe_image(reader.info());
        for (int64_t i = 0; i < reader.item_count(); ++i)
            print(i, image);
        return kExitOk;
    }
    const uint64_t dimension = reader.info().dimension;
    reader.for_each_batch([&](int64_t first, int64_t count, const unsigned char* bytes) {
        std::vector<float> values(dimension);
        for (int64_t k = 0; k < count; ++k) {
            if (dimension)
                std::memcpy(values.data(), bytes + size_t(k) * dimension * sizeof(float), dimension * sizeof(float));
            print(first + k, describe_vector(values.data(), dimension));
        }
    });
    return kExitOk;
}

} // namespace

const Command kLsCommand{"ls", "list the data items: index, label and a short description",
                         "usage: tav ls FILE\n"
                         "\n"
                         "Prints one line per data item, tab-separated: its index, its label and a\n"
                         "short description of the data (image size, planes and pixel type, or the\n"
                         "first values of a vector). Tabs, line breaks, other control characters\n"
                         "and bytes that are not UTF-8 in a label are shown as \\t, \\n, \\xNN; a\n"
                         "backslash as \\\\.\n",
                         {}, run};

} // namespace tavtool
