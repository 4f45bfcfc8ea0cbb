// tav export FILE DIR: one subfolder per label, images as PNG, vector data as
// CSV, and an index of the labels.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "command.hpp"
#include "list_file.hpp"
#include "list_text.hpp"
#include "png_file.hpp"
#include "progress.hpp"
#include "raster_image.hpp"

namespace tavtool {

namespace {

namespace fs = std::filesystem;

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A folder name for each label: the label's text where that is a safe, unused
// name; otherwise one made from its index.
std::vector<std::string> folder_names(const std::vector<LabelValue>& labels) {
    std::vector<std::string> names;
    std::set<std::string> used;
    for (size_t j = 0; j < labels.size(); ++j) {
        std::string name = labels[j].is_text ? labels[j].text : "";
        for (char& c : name)
            if (c == '/' || static_cast<unsigned char>(c) < 0x20)
                c = '_';
        if (name.empty() || name == "." || name == ".." || name.size() > 200 || used.count(name))
            name = "label_" + std::to_string(j);
        used.insert(name);
        names.push_back(name);
    }
    return names;
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush())
        throw Failure("cannot write '" + path.string() + "'");
}

std::string csv_row(const std::string& first, const std::vector<float>& values) {
    std::string row = first;
    for (float v : values)
        row += "," + format_float(v);
    return row + "\n";
}

// Writes one data object as name.png (name.planeK.png beyond four planes) or
// appends it as a row of csv.
void export_data(TAVDATA data, const fs::path& folder, const std::string& name, std::string& csv) {
    if (auto values = vector_values(data)) {
        csv += csv_row(name, *values);
        return;
    }
    ZTIMAGE image = 0;
    if (TavGetImageData(data, &image) != 0 || !image)
        fail_library("cannot read item " + name);
    auto rasters = image_to_rasters(image);
    for (size_t k = 0; k < rasters.size(); ++k) {
        std::string file = name + (rasters.size() > 1 ? ".plane" + std::to_string(k) : "") + ".png";
        write_png((folder / file).string(), rasters[k]);
    }
}

int run(const Args& args) {
    args.expect_positional(2);
    const std::string& path = args.positional()[0];
    const fs::path dir = args.positional()[1];
    Owned list = load_list(path);
    clear_library_error();
    const int items = TavGetNumDataEntries(list.get()), label_count = TavGetNumLabelEntries(list.get());
    if (items < 0 || label_count < 0)
        fail_library("cannot count the entries");

    std::vector<LabelValue> labels;
    for (int j = 0; j < label_count; ++j) {
        TAVLABEL label = TavGetLabel(list.get(), j);
        if (!label)
            fail_library("cannot read label " + std::to_string(j));
        labels.push_back(label_value(label));
    }
    const std::vector<std::string> folders = folder_names(labels);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        throw Failure("cannot create '" + dir.string() + "': " + ec.message());

    std::string index = "index,folder,items,excluded,label\n";
    for (int j = 0; j < label_count; ++j) {
        TAVLABEL label = TavGetLabel(list.get(), j);
        int32_t excluded = 0;
        TavGetExcludedFlag(label, &excluded);
        fs::create_directories(dir / folders[j], ec);
        if (ec)
            throw Failure("cannot create '" + (dir / folders[j]).string() + "': " + ec.message());
        index += std::to_string(j) + "," + csv_field(folders[j]) + "," +
                 std::to_string(TavGetNumDataReferences(label)) + "," + (excluded ? "yes" : "no") + "," +
                 csv_field(label_display(labels[j])) + "\n";
    }
    write_file(dir / "labels.csv", index);

    // Items whose label cannot be found (a damaged file) go to their own folder.
    const std::string orphans = "no_label";
    std::map<std::string, std::string> csv; // folder -> rows of vector data
    {
        Progress progress("export", static_cast<size_t>(items));
        for (int i = 0; i < items; ++i) {
            TAVDATA data = TavGetData(list.get(), i);
            if (!data)
                fail_library("cannot read item " + std::to_string(i));
            const int j = TavGetLabelIndex(list.get(), TavGetLabelReference(data, 0));
            const std::string folder = j >= 0 ? folders[j] : orphans;
            if (j < 0)
                fs::create_directories(dir / folder, ec);
            char name[16];
            std::snprintf(name, sizeof name, "%06d", i);
            export_data(data, dir / folder, name, csv[folder]);
            progress.step(static_cast<size_t>(i) + 1);
        }
    }
    for (const auto& [folder, rows] : csv)
        if (!rows.empty())
            write_file(dir / folder / "data.csv", rows);
    if (TAVDATA mask = TavGetMaskData(list.get())) {
        std::string rows;
        export_data(mask, dir, "mask", rows);
        if (!rows.empty())
            write_file(dir / "mask.csv", rows);
    }
    std::printf("%s: %d items in %d labels exported to %s\n", path.c_str(), items, label_count, dir.c_str());
    return kExitOk;
}

} // namespace

const Command kExportCommand{
    "export", "write a list's items as image and CSV files, one folder per label",
    "usage: tav export FILE DIR\n"
    "\n"
    "Writes every item of the list in FILE below DIR, in one subfolder per label\n"
    "(named by the label's text where that is a safe folder name, else label_N).\n"
    "Images become NNNNNN.png after the item's index: 8-bit pixels as they are,\n"
    "others in 16 bits (unsigned values up to 16 bits unchanged, the rest\n"
    "stretched to the full range); images with more than four planes give one\n"
    "gray PNG per plane. Vector data go to data.csv in the label's folder, one\n"
    "row per item (index, values). DIR/labels.csv lists the labels; mask data are\n"
    "written as DIR/mask.png or DIR/mask.csv.\n",
    {}, run};

} // namespace tavtool
