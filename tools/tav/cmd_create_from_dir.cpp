// tav create-from-dir DIR OUT --size WxH [...]: one class per subfolder, every
// image in it fitted to the list's geometry and added under the folder name.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "command.hpp"
#include "image_file.hpp"
#include "list_file.hpp"
#include "list_text.hpp"
#include "progress.hpp"
#include "raster_image.hpp"

namespace tavtool {

namespace {

namespace fs = std::filesystem;

struct Source {
    std::string label;
    fs::path path;
};

// Everything the command line asks for, checked before any file is read.
struct Options {
    fs::path dir;
    std::string out;
    int width = 0, height = 0, planes = 1, depth = 8;
    Fit fit = Fit::kCrop;
    std::vector<int> window, origin{0, 0};
    bool wait = true;
};

// Counts and reports, one line each, the files and folders that give no item.
class Unused {
public:
    void report(const fs::path& path, const std::string& reason, Progress* progress = nullptr) {
        ++count_;
        const std::string line =
            "tav: create-from-dir: not used: '" + escape_text(path.string()) + "': " + reason;
        if (progress)
            progress->note(line);
        else
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    size_t count() const { return count_; }

private:
    size_t count_ = 0;
};

// The entries of a folder in name order, so that the same folder always
// gives the same list.
std::vector<fs::directory_entry> sorted_entries(const fs::path& dir, std::error_code& ec) {
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    return entries;
}

bool is_hidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

std::vector<Source> collect_sources(const fs::path& dir, Unused& unused) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw Failure("'" + dir.string() + "' is not a folder");
    const auto top = sorted_entries(dir, ec);
    if (ec)
        throw Failure("cannot read '" + dir.string() + "': " + ec.message());
    std::vector<Source> sources;
    for (const auto& folder : top) {
        if (is_hidden(folder.path())) {
            unused.report(folder.path(), "hidden");
            continue;
        }
        if (!folder.is_directory(ec)) {
            unused.report(folder.path(), "not in a class folder (each subfolder of DIR is one class)");
            continue;
        }
        const auto entries = sorted_entries(folder.path(), ec);
        if (ec) {
            unused.report(folder.path(), "cannot read the folder: " + ec.message());
            continue;
        }
        const size_t before = sources.size();
        for (const auto& entry : entries) {
            if (is_hidden(entry.path()))
                unused.report(entry.path(), "hidden");
            else if (entry.is_directory(ec))
                unused.report(entry.path(), "a folder inside a class folder (not searched)");
            else if (!is_image_file_name(entry.path().filename().string()))
                unused.report(entry.path(), "not named as a PNG, JPEG, PGM or PPM file");
            else
                sources.push_back({folder.path().filename().string(), entry.path()});
        }
        if (sources.size() == before)
            unused.report(folder.path(), "a class folder without images");
    }
    return sources;
}

Options parse_options(const Args& args) {
    args.expect_positional(2);
    Options o;
    o.dir = args.positional()[0];
    o.out = args.positional()[1];
    auto size = args.value("--size");
    if (!size)
        throw UsageError("--size WxH is required");
    std::tie(o.width, o.height) = parse_size(*size, "--size");
    if (auto planes = args.value("--planes"))
        o.planes = parse_int(*planes, 1, 4, "--planes");
    if (auto depth = args.value("--depth")) {
        if (*depth != "8" && *depth != "16")
            throw UsageError("--depth: expected 8 or 16, got '" + *depth + "'");
        o.depth = std::stoi(*depth);
    }
    if (auto fit = args.value("--fit")) {
        auto parsed = parse_fit(*fit);
        if (!parsed)
            throw UsageError("--fit: expected crop, scale or pad, got '" + *fit + "'");
        o.fit = *parsed;
    }
    o.window = {0, 0, o.width, o.height};
    if (auto w = args.value("--window"))
        o.window = parse_int_list(*w, 4, "--window");
    if (auto origin = args.value("--origin"))
        o.origin = parse_int_list(*origin, 2, "--origin");
    o.wait = !args.flag("--no-wait");
    return o;
}

// The empty list; a geometry the library refuses is a command-line error.
Owned make_list(const Options& o) {
    clear_library_error();
    Owned data_type(TavCreateDataTypeImage(o.width, o.height, o.planes, o.depth == 16 ? ZT_DT_U16 : ZT_DT_U8,
                                           o.window[0], o.window[1], o.window[2], o.window[3], o.origin[0],
                                           o.origin[1]));
    if (!data_type) {
        try {
            fail_library("--window/--origin do not fit a " +
                         std::to_string(o.width) + "x" + std::to_string(o.height) + " image");
        } catch (const Failure& e) {
            throw UsageError(e.what());
        }
    }
    Owned label_type(TavCreateLabelTypeString());
    if (!label_type)
        fail_library("cannot create the label type");
    Owned list(TavCreate(label_type.get(), data_type.get()));
    if (!list)
        fail_library("cannot create the list");
    return list;
}

std::string byte_text(double bytes) {
    static const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
    int unit = 0;
    for (; bytes >= 1000 && unit < 4; ++unit)
        bytes /= 1000;
    char text[32];
    std::snprintf(text, sizeof text, unit ? "%.1f %s" : "%.0f %s", bytes, units[unit]);
    return text;
}

// The size of the list file if every image is used: each item's stored image
// (the image library's header, found from a 1x1 image, and its pixels), its
// chunk header and label reference, and room for the rest.
double estimated_size(const Options& o, size_t images) {
    Owned probe(ZtImageCreate(1, 1, o.planes, o.depth == 16 ? ZT_DT_U16 : ZT_DT_U8));
    const double bytes = o.depth / 8;
    const double header = probe ? double(ZtImageStoredSize(probe.get())) - o.planes * bytes : 256;
    const double per_item = header + double(o.width) * o.height * o.planes * bytes + 32 + 8;
    return double(images) * per_item + 64 * 1024;
}

std::string output_folder(const Options& o) {
    const fs::path parent = fs::path(o.out).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Before any image is read: the output folder must take the file, and the
// estimated result must fit into its free space.
void check_output_folder(const Options& o) {
    const std::string folder = output_folder(o);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw Failure("cannot store '" + o.out + "': folder '" + folder + "': " + system_error_text(errno));
}

void check_free_space(const Options& o, size_t images) {
    const std::string folder = output_folder(o);
    const double estimate = estimated_size(o, images);
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) == 0) {
        const double free_bytes = double(fs.f_bavail) * double(fs.f_frsize);
        if (estimate > free_bytes)
            throw Failure("the list would take about " + byte_text(estimate) + " but '" + folder + "' has " +
                          byte_text(free_bytes) + " free");
    }
    // The list is built in memory before it is stored: beyond the machine's
    // memory and swap it could never be finished.
    struct sysinfo machine;
    if (::sysinfo(&machine) == 0) {
        const double memory = (double(machine.totalram) + double(machine.totalswap)) * machine.mem_unit;
        if (estimate > memory)
            throw Failure("the list would take about " + byte_text(estimate) +
                          " of memory while it is built, but the machine has " + byte_text(memory));
    }
    // Worth a line where someone watches, or when it is large.
    if (isatty(STDERR_FILENO) || estimate >= 1e9)
        std::fprintf(stderr, "tav: create-from-dir: %zu images into about %s\n", images, byte_text(estimate).c_str());
}

int run(const Args& args) {
    const Options o = parse_options(args);
    Owned list = make_list(o);
    check_output_folder(o);
    Unused unused;
    const std::vector<Source> sources = collect_sources(o.dir, unused);
    check_free_space(o, sources.size());

    size_t made_gray = 0;
    {
        Progress progress("create-from-dir", sources.size(), "images");
        for (size_t i = 0; i < sources.size(); ++i) {
            const Source& s = sources[i];
            try {
                const Raster raster = read_image_file(s.path.string());
                if (o.planes < 3 && has_colour(raster))
                    ++made_gray;
                Owned image = raster_to_image(raster, o.planes, o.depth);
                Owned fitted = fit_image(image.get(), o.width, o.height, o.fit);
                clear_library_error();
                if (TavAddNamedImageItem(list.get(), s.label.c_str(), fitted.get(), 0, 0) != 0)
                    fail_library("cannot add");
            } catch (const Failure& e) {
                unused.report(s.path, e.what(), &progress);
            }
            progress.step(i + 1);
        }
    }
    if (made_gray)
        std::fprintf(stderr, "tav: create-from-dir: warning: %zu colour %s made gray (--planes 3 keeps colour)\n",
                     made_gray, made_gray == 1 ? "image" : "images");
    const int items = TavGetNumDataEntries(list.get());
    const std::string not_used = std::to_string(unused.count()) +
                                 (unused.count() == 1 ? " file or folder" : " files or folders") + " not used";
    if (items <= 0)
        throw Failure("no usable PNG, JPEG, PGM or PPM images in the class folders of '" + o.dir.string() + "' (" +
                      not_used + ")");
    // The folder's own name, also for "." or a path ending in a slash.
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(o.dir, ec);
    const std::string comment = "Created from the folder '" + (ec ? o.dir : canonical).filename().string() + "'";
    TavSetComment(list.get(), comment.c_str());
    {
        ListLock lock(o.out, o.wait);
        store_list(list.get(), o.out);
    }
    std::printf("%s: %d items in %d labels", o.out.c_str(), items, TavGetNumLabelEntries(list.get()));
    if (unused.count())
        std::printf(" (%s)", not_used.c_str());
    std::printf("\n");
    return kExitOk;
}

} // namespace

const Command kCreateFromDirCommand{
    "create-from-dir", "build a list file from a folder of labelled images",
    "usage: tav create-from-dir DIR OUT --size WxH [--planes N] [--depth 8|16]\n"
    "                           [--fit crop|scale|pad] [--window L,T,W,H] [--origin X,Y]\n"
    "                           [--no-wait]\n"
    "\n"
    "Every subfolder of DIR is one class, named by the folder. Every PNG, JPEG,\n"
    "PGM or PPM image in it is fitted to WxH and added. Each file or folder that\n"
    "gives no item (hidden, outside or inside the class folders, not an image,\n"
    "unreadable, a class folder without images) is reported with the reason and\n"
    "counted. Samples are taken as the file holds them, without any transfer\n"
    "curve. Before reading, the size of the result is estimated and the command\n"
    "fails if it exceeds the free space or the machine's memory (the list is\n"
    "built in memory). On a terminal, progress is shown. The list is stored as\n"
    "OUT, holding a lock on OUT.lock while it is replaced.\n"
    "\n"
    "  --size WxH          image width and height of the list (required)\n"
    "  --planes N          1 gray (default), 2 gray+alpha, 3 RGB, 4 RGBA; colour\n"
    "                      made gray is counted in a warning\n"
    "  --depth 8|16        bits per pixel (default 8); 16-bit samples become 8-bit\n"
    "                      by 1/257, rounded, 8-bit ones 16-bit by 257\n"
    "  --fit crop          the centred WxH area (default); a smaller image is first\n"
    "                      enlarged, keeping its proportions, until it covers WxH\n"
    "  --fit scale         the whole image, stretched to WxH\n"
    "  --fit pad           the whole image, scaled to fit inside WxH keeping its\n"
    "                      proportions, centred on black (transparent)\n"
    "  --window L,T,W,H    feature window (default: the whole image)\n"
    "  --origin X,Y        origin inside the feature window (default 0,0)\n"
    "  --no-wait           fail at once when another process holds the lock\n",
    {{"--size", "--planes", "--depth", "--fit", "--window", "--origin"}, {"--no-wait"}},
    run};

} // namespace tavtool
