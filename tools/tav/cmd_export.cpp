// tav export FILE DIR: one subfolder per label, images as PNG, vector data as
// CSV, and an index of the labels.
#include <cerrno>
#include <cstdio>
#include <filesystem>
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

// Names below DIR that the export writes itself.
const std::string kIndexName = "labels.csv";
const std::string kOrphanFolder = "no_label";

bool reserved_name(const std::string& name) {
    return name == kIndexName || name == kOrphanFolder || name.rfind("mask.", 0) == 0;
}

// A folder name for each label: the label's text where that is a safe name
// not taken by another label or by the export's own files; otherwise
// label_N after its index (or the first free label_N_K).
std::vector<std::string> folder_names(const std::vector<LabelValue>& labels) {
    std::vector<std::string> names;
    std::set<std::string> used;
    const auto usable = [&](const std::string& name) { return !reserved_name(name) && !used.count(name); };
    for (const auto& label : labels) {
        std::string name = label.is_text ? label.text : "";
        for (char& c : name)
            if (c == '/' || static_cast<unsigned char>(c) < 0x20)
                c = '_';
        if (name.empty() || name == "." || name == ".." || name.size() > 200 || !usable(name))
            name.clear();
        names.push_back(name);
        used.insert(name);
    }
    // Made-up names last, so that they never take a label's own text.
    for (size_t j = 0; j < names.size(); ++j) {
        if (!names[j].empty())
            continue;
        std::string name = "label_" + std::to_string(j);
        for (int k = 1; !usable(name); ++k)
            name = "label_" + std::to_string(j) + "_" + std::to_string(k);
        names[j] = name;
        used.insert(name);
    }
    return names;
}

// Refuses a DIR that holds anything, unless forced: old files would mix
// with the new ones.
void check_target(const fs::path& dir, bool force) {
    std::error_code ec;
    if (!fs::exists(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec)
            throw Failure("cannot create '" + dir.string() + "': " + ec.message());
        return;
    }
    if (!fs::is_directory(dir, ec))
        throw Failure("'" + dir.string() + "' is not a folder");
    const bool empty = fs::is_empty(dir, ec);
    if (ec)
        throw Failure("cannot read '" + dir.string() + "': " + ec.message());
    if (!empty && !force)
        throw Failure("'" + dir.string() + "' is not empty (--force writes into it anyway)");
}

void write_file(const fs::path& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw Failure("cannot write '" + path.string() + "': " + system_error_text(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (!written || error != 0)
        throw Failure("cannot write '" + path.string() + "': " + system_error_text(error ? error : EIO));
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
    check_target(dir, args.flag("--force"));
    std::error_code ec;

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
    write_file(dir / kIndexName, index);

    // Items whose label cannot be found (a damaged file) go to their own folder.
    const std::string& orphans = kOrphanFolder;
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
    "usage: tav export FILE DIR [--force]\n"
    "\n"
    "Writes every item of the list in FILE below DIR, in one subfolder per label\n"
    "(named by the label's text where that is a safe folder name, else label_N).\n"
    "Images become NNNNNN.png after the item's index: 8-bit pixels as they are,\n"
    "others in 16 bits (unsigned values up to 16 bits unchanged, the rest\n"
    "stretched to the full range); images with more than four planes give one\n"
    "gray PNG per plane. Vector data go to data.csv in the label's folder, one\n"
    "row per item (index, values). DIR/labels.csv lists the labels; mask data are\n"
    "written as DIR/mask.png or DIR/mask.csv; these names and no_label are never\n"
    "used for a label's folder.\n"
    "\n"
    "  --force   write into DIR even when it is not empty (files of the same\n"
    "            names are replaced, others are left as they are)\n",
    {{}, {"--force"}}, run};

} // namespace tavtool
