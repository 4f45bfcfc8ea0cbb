// tav export FILE DIR: one subfolder per label, images as PNG, vector data as
// CSV, and an index of the labels.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "command.hpp"
#include "list_reader.hpp"
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

void write_images(std::vector<Raster> rasters, const fs::path& folder, const std::string& name) {
    for (size_t k = 0; k < rasters.size(); ++k) {
        std::string file = name + (rasters.size() > 1 ? ".plane" + std::to_string(k) : "") + ".png";
        write_png((folder / file).string(), rasters[k]);
    }
}

int run(const Args& args) {
    args.expect_positional(2);
    const std::string& path = args.positional()[0];
    const fs::path dir = args.positional()[1];
    const ListReader reader(path);
    const TavReaderInfo& info = reader.info();
    const int label_count = reader.label_count();

    std::vector<LabelValue> labels;
    std::vector<int> counts(static_cast<size_t>(label_count), 0);
    for (int j = 0; j < label_count; ++j)
        labels.push_back(label_value(reader.label(j)));
    for (int32_t j : reader.item_labels())
        if (j >= 0 && j < label_count)
            ++counts[static_cast<size_t>(j)];
    const std::vector<std::string> folders = folder_names(labels);
    check_target(dir, args.flag("--force"));
    std::error_code ec;

    std::string index = "index,folder,items,excluded,label\n";
    for (int j = 0; j < label_count; ++j) {
        int32_t excluded = 0;
        TavGetExcludedFlag(reader.label(j), &excluded);
        fs::create_directories(dir / folders[j], ec);
        if (ec)
            throw Failure("cannot create '" + (dir / folders[j]).string() + "': " + ec.message());
        index += std::to_string(j) + "," + csv_field(folders[j]) + "," + std::to_string(counts[j]) + "," +
                 (excluded ? "yes" : "no") + "," + csv_field(label_display(labels[j])) + "\n";
    }
    write_file(dir / kIndexName, index);

    // Items without a label (a damaged file) go to a folder of their own.
    std::map<std::string, std::string> csv; // folder -> rows of vector data
    {
        Progress progress("export", static_cast<size_t>(reader.item_count()));
        reader.for_each_batch([&](int64_t first, int64_t count, const unsigned char* bytes) {
            for (int64_t k = 0; k < count; ++k) {
                const int64_t i = first + k;
                const int32_t j = reader.item_labels()[static_cast<size_t>(i)];
                const std::string& folder = j >= 0 && j < label_count ? folders[j] : kOrphanFolder;
                if (folder == kOrphanFolder)
                    fs::create_directories(dir / folder, ec);
                char name[24];
                std::snprintf(name, sizeof name, "%06lld", static_cast<long long>(i));
                const unsigned char* item = bytes + size_t(k) * info.itemSize;
                if (reader.images()) {
                    write_images(samples_to_rasters(item, info.width, info.height, info.planes, info.pixelDataType),
                                 dir / folder, name);
                } else {
                    std::vector<float> values(info.dimension);
                    if (!values.empty())
                        std::memcpy(values.data(), item, values.size() * sizeof(float));
                    csv[folder] += csv_row(name, values);
                }
            }
            progress.step(static_cast<size_t>(first + count));
        });
    }
    for (const auto& [folder, rows] : csv)
        if (!rows.empty())
            write_file(dir / folder / "data.csv", rows);
    if (TAVDATA mask = TavReaderGetMaskData(reader.get())) {
        if (auto values = vector_values(mask)) {
            write_file(dir / "mask.csv", csv_row("mask", *values));
        } else {
            ZTIMAGE image = 0;
            if (TavGetImageData(mask, &image) != 0 || !image)
                fail_library("cannot read the mask");
            write_images(image_to_rasters(image), dir, "mask");
        }
    }
    std::printf("%s: %lld items in %d labels exported to %s\n", path.c_str(),
                static_cast<long long>(reader.item_count()), label_count, dir.c_str());
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
