// tav create-from-dir DIR OUT --size WxH [...]: one class per subfolder, every
// image in it fitted to the list's geometry and added under the folder name.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "command.hpp"
#include "image_file.hpp"
#include "list_file.hpp"
#include "progress.hpp"
#include "raster_image.hpp"

namespace tavtool {

namespace {

namespace fs = std::filesystem;

struct Source {
    std::string label;
    fs::path path;
};

// Subfolders and their image files in name order, so that the same folder
// always gives the same list. Hidden entries are left out.
std::vector<Source> collect_sources(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw Failure("'" + dir.string() + "' is not a folder");
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_directory() && entry.path().filename().string()[0] != '.')
            folders.push_back(entry.path());
    if (ec)
        throw Failure("cannot read '" + dir.string() + "': " + ec.message());
    std::sort(folders.begin(), folders.end());
    std::vector<Source> sources;
    for (const auto& folder : folders) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            // A name's first byte decides hiddenness; names are never empty here.
            const std::string name = entry.path().filename().string();
            if (name[0] != '.' && is_image_file_name(name) && !entry.is_directory())
                files.push_back(entry.path());
        }
        if (ec)
            std::fprintf(stderr, "tav: create-from-dir: skipped folder '%s': %s\n", folder.string().c_str(),
                         ec.message().c_str());
        ec.clear();
        std::sort(files.begin(), files.end());
        for (auto& f : files)
            sources.push_back({folder.filename().string(), std::move(f)});
    }
    return sources;
}

Owned make_list(const Args& args, int& width, int& height, int& planes) {
    auto size = args.value("--size");
    if (!size)
        throw UsageError("--size WxH is required");
    std::tie(width, height) = parse_size(*size, "--size");
    planes = args.value("--planes") ? parse_int(*args.value("--planes"), 1, 4, "--planes") : 1;
    std::vector<int> window{0, 0, width, height}, origin{0, 0};
    if (auto w = args.value("--window"))
        window = parse_int_list(*w, 4, "--window");
    if (auto o = args.value("--origin"))
        origin = parse_int_list(*o, 2, "--origin");
    clear_library_error();
    Owned data_type(TavCreateDataTypeImage(width, height, planes, ZT_DT_U8, window[0], window[1], window[2],
                                           window[3], origin[0], origin[1]));
    if (!data_type)
        fail_library("invalid geometry");
    Owned label_type(TavCreateLabelTypeString());
    if (!label_type)
        fail_library("cannot create the label type");
    Owned list(TavCreate(label_type.get(), data_type.get()));
    if (!list)
        fail_library("cannot create the list");
    return list;
}

int run(const Args& args) {
    args.expect_positional(2);
    const fs::path dir = args.positional()[0];
    const std::string out = args.positional()[1];
    int width = 0, height = 0, planes = 0;
    Owned list = make_list(args, width, height, planes);
    // Fails before the images are read rather than after.
    const fs::path out_folder = fs::path(out).parent_path();
    std::error_code ec;
    if (!out_folder.empty() && !fs::is_directory(out_folder, ec))
        throw Failure("cannot store '" + out + "': no folder '" + out_folder.string() + "'");
    const std::vector<Source> sources = collect_sources(dir);

    size_t skipped = 0;
    {
        Progress progress("create-from-dir", sources.size());
        for (size_t i = 0; i < sources.size(); ++i) {
            const Source& s = sources[i];
            try {
                Owned image = raster_to_image(read_image_file(s.path.string()), planes);
                Owned fitted = fit_image(image.get(), width, height);
                clear_library_error();
                if (TavAddNamedImageItem(list.get(), s.label.c_str(), fitted.get(), 0, 0) != 0)
                    fail_library("cannot add");
            } catch (const Failure& e) {
                ++skipped;
                progress.note("tav: create-from-dir: skipped '" + s.path.string() + "': " + e.what());
            }
            progress.step(i + 1);
        }
    }
    const int items = TavGetNumDataEntries(list.get());
    if (items <= 0)
        throw Failure("no usable PNG, PGM or PPM images in the subfolders of '" + dir.string() + "'");
    // The folder's own name, also for "." or a path ending in a slash.
    const fs::path canonical = fs::weakly_canonical(dir, ec);
    const std::string comment =
        "Created from the folder '" + (ec ? dir : canonical).filename().string() + "'";
    TavSetComment(list.get(), comment.c_str());
    store_list(list.get(), out);
    std::printf("%s: %d items in %d labels", out.c_str(), items, TavGetNumLabelEntries(list.get()));
    if (skipped)
        std::printf(" (%zu %s skipped)", skipped, skipped == 1 ? "image" : "images");
    std::printf("\n");
    return kExitOk;
}

} // namespace

const Command kCreateFromDirCommand{
    "create-from-dir", "build a list file from a folder of labelled images",
    "usage: tav create-from-dir DIR OUT --size WxH [--planes N] [--window L,T,W,H] [--origin X,Y]\n"
    "\n"
    "Every subfolder of DIR is one class, named by the folder. Every PNG, PGM or\n"
    "PPM image in it is fitted to WxH (the centred area when it is larger in both\n"
    "directions, scaled otherwise) and added with 8-bit pixels. Images that\n"
    "cannot be read are reported and skipped. The list is stored as OUT.\n"
    "\n"
    "  --size WxH          image width and height of the list (required)\n"
    "  --planes N          1 gray (default), 2 gray+alpha, 3 RGB, 4 RGBA\n"
    "  --window L,T,W,H    feature window (default: the whole image)\n"
    "  --origin X,Y        origin inside the feature window (default 0,0)\n",
    {{"--size", "--planes", "--window", "--origin"}, {}},
    run};

} // namespace tavtool
