// Storing and loading lists of 100,000 items: 32 x 32 8-bit images over 100
// labels, and float vectors of dimension 128 over 100 labels. Each is set
// beside a plain sequential write (with fsync) and read of the same number
// of bytes in the same run and folder, and run at half the size as well to
// show how the time grows. Usage: bench_store_load [folder] (default: .).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tav/tav.h>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds(const std::function<void()>& work) {
    const auto start = clock_type::now();
    work();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// The best of a few rounds; cleanup runs after each round, untimed.
double best_of(int rounds, const std::function<void()>& work, const std::function<void()>& cleanup = [] {}) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        best = std::min(best, seconds(work));
        cleanup();
    }
    return best;
}

uint64_t file_size(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void plain_write(const std::string& path, uint64_t bytes) {
    std::vector<char> block(1 << 20, 'x');
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (uint64_t done = 0; done < bytes;) {
        const auto n = static_cast<size_t>(std::min<uint64_t>(block.size(), bytes - done));
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n))
            std::perror("write");
        done += n;
    }
    ::fsync(fd);
    ::close(fd);
}

void plain_read(const std::string& path) {
    std::vector<char> block(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    while (::read(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

TAV image_list(int items) {
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE dt = TavCreateDataTypeImageEx(32, 32, 1, ZT_DT_U8, 16, 16);
    TAV list = TavCreate(lt, dt);
    ZTIMAGE image = ZtImageCreate(32, 32, 1, ZT_DT_U8);
    for (int i = 0; i < items; ++i) {
        ZtImageSetPixel(image, 0, i % 32, (i / 32) % 32, double(i % 251));
        const std::string name = "class " + std::to_string(i % 100);
        if (TavAddNamedImageItem(list, name.c_str(), image, 0, 0) != 0) {
            std::fprintf(stderr, "cannot add image item %d\n", i);
            break;
        }
    }
    ZtRelease(image);
    ZtRelease(lt);
    ZtRelease(dt);
    return list;
}

TAV vector_list(int items) {
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE dt = TavCreateDataTypeFloatVector(128);
    TAV list = TavCreate(lt, dt);
    std::vector<float> values(128);
    for (int i = 0; i < items; ++i) {
        for (int k = 0; k < 128; ++k)
            values[k] = float(i) + 0.001f * float(k);
        const std::string name = "class " + std::to_string(i % 100);
        if (TavAddNamedVectorItem(list, name.c_str(), values.data(), values.size()) != 0) {
            std::fprintf(stderr, "cannot add vector item %d\n", i);
            break;
        }
    }
    ZtRelease(lt);
    ZtRelease(dt);
    return list;
}

struct Timing {
    double store, load, write, read;
    uint64_t bytes;
};

Timing measure(TAV list, const std::string& folder) {
    const std::string path = folder + "/bench_store_load.tav";
    const std::string plain = folder + "/bench_store_load.plain";
    Timing t{};
    t.store = best_of(
        3, [&] { if (TavStore(list, path.c_str()) != 0) std::fprintf(stderr, "store failed\n"); },
        [&] { t.bytes = file_size(path); ::unlink(path.c_str()); });
    TavStore(list, path.c_str());
    t.write = best_of(3, [&] { plain_write(plain, t.bytes); }, [&] { ::unlink(plain.c_str()); });
    plain_write(plain, t.bytes);
    t.read = best_of(3, [&] { plain_read(plain); });
    t.load = best_of(3, [&] {
        TAV loaded = 0;
        if (TavLoad(path.c_str(), &loaded) != 0 || TavGetNumDataEntries(loaded) != TavGetNumDataEntries(list))
            std::fprintf(stderr, "load failed\n");
        ZtRelease(loaded);
    });
    ::unlink(path.c_str());
    ::unlink(plain.c_str());
    return t;
}

void report(const char* name, const Timing& half, const Timing& full) {
    const double mb = double(full.bytes) / 1e6;
    std::printf("%s: %.1f MB\n", name, mb);
    std::printf("  store %8.1f MB/s   plain write+fsync %8.1f MB/s   ratio %.2f (target >= 0.5)\n", mb / full.store,
                mb / full.write, full.write / full.store);
    std::printf("  load  %8.1f MB/s   plain read        %8.1f MB/s   ratio %.2f (target >= 0.5)\n", mb / full.load,
                mb / full.read, full.read / full.load);
    std::printf("  t(2N)/t(N): store %.2f, load %.2f (target <= 2.5)\n", full.store / half.store,
                full.load / half.load);
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    constexpr int N = 100000;
    for (auto [name, make] : {std::pair<const char*, TAV (*)(int)>{"100,000 images 32x32 8-bit, 100 labels", image_list},
                              std::pair<const char*, TAV (*)(int)>{"100,000 vectors of dimension 128, 100 labels",
                                                                   vector_list}}) {
        TAV half = make(N / 2);
        const Timing th = measure(half, folder);
        ZtRelease(half);
        TAV full = make(N);
        const Timing tf = measure(full, folder);
        ZtRelease(full);
        report(name, th, tf);
    }
    return 0;
}
