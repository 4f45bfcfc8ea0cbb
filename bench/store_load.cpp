// Storing and loading lists of 100,000 items: 32 x 32 8-bit images over 100
// labels, and float vectors of dimension 128 over 100 labels. Each is set
// beside a plain sequential write (with fsync) and read of the same number
// of bytes in the same run and folder, and run at half the size as well to
// show how the time grows. The resident memory a load adds is measured in a
// fresh process, so that memory freed earlier in this one does not hide it;
// the first load there is set beside a plain read in a fresh process into
// fresh memory aligned to 2 MiB and advised for huge pages (as NumPy gets its
// large arrays), with the page faults of both.
// The list file reader is measured on the same files: indexing (opening),
// one item at a random index, and every item into one buffer.
// Usage: bench_store_load [--million] [folder] (default: .); --million (or
// TAV_BENCH_MILLION=1 in the environment) adds lists of 1,000,000 items.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tav/tav.h>

namespace {

using clock_type = std::chrono::steady_clock;

// Processor time of this process so far (all threads, user and system). On
// a machine shared with other work, ratios of processor times stay steady
// where ratios of elapsed times do not.
double cpu_seconds() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double seconds(const std::function<void()>& work, double* cpu = nullptr) {
    const double cpu_start = cpu_seconds();
    const auto start = clock_type::now();
    work();
    const double took = std::chrono::duration<double>(clock_type::now() - start).count();
    if (cpu != nullptr)
        *cpu = cpu_seconds() - cpu_start;
    return took;
}

// The best of a few rounds; cleanup runs after each round, untimed. The
// least processor time of the rounds goes to *cpu if given.
double best_of(int rounds, const std::function<void()>& work, const std::function<void()>& cleanup = [] {},
               double* cpu = nullptr) {
    double best = 1e30, best_cpu = 1e30;
    for (int i = 0; i < rounds; ++i) {
        double used = 0;
        best = std::min(best, seconds(work, &used));
        best_cpu = std::min(best_cpu, used);
        cleanup();
    }
    if (cpu != nullptr)
        *cpu = best_cpu;
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

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 if absent.
uint64_t status_bytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key.size() == std::strlen(field) + 1 && key.compare(0, key.size() - 1, field) == 0) {
            uint64_t kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// In the child process: loads the file and prints the peak and the lasting
// growth of resident memory the load caused, and how long it took. A first
// load in a fresh process is what a program that opens one list pays; the
// repeated loads of the parent reuse memory an earlier load freed.
// The page faults are printed too: on first touch of new memory each costs
// a trip into the kernel, which is much of the time of a load.
int load_memory_child(const char* path) {
    const uint64_t before = status_bytes("VmRSS");
    struct rusage usage_before, usage_after;
    ::getrusage(RUSAGE_SELF, &usage_before);
    TAV loaded = 0;
    const double cpu_start = cpu_seconds();
    const auto start = clock_type::now();
    if (TavLoad(path, &loaded) != 0)
        return 1;
    const double took = std::chrono::duration<double>(clock_type::now() - start).count();
    ::getrusage(RUSAGE_SELF, &usage_after);
    const uint64_t after = status_bytes("VmRSS");
    const uint64_t peak = status_bytes("VmHWM");
    std::printf("%llu %llu %ld %.9f %.9f\n", static_cast<unsigned long long>(peak - before),
                static_cast<unsigned long long>(after - before), usage_after.ru_minflt - usage_before.ru_minflt, took,
                cpu_seconds() - cpu_start);
    ZtRelease(loaded);
    return 0;
}

// In the child process: reads the file into fresh memory, 2 MiB aligned and
// advised for huge pages, and prints its page faults and the time taken.
int plain_read_child(const char* path) {
    const int fd = ::open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return 1;
    const size_t huge = size_t{2} << 20;
    const size_t bytes = (static_cast<size_t>(st.st_size) + huge - 1) & ~(huge - 1);
    struct rusage usage_before, usage_after;
    ::getrusage(RUSAGE_SELF, &usage_before);
    const double cpu_start = cpu_seconds();
    const auto start = clock_type::now();
    void* raw = ::mmap(nullptr, bytes + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return 1;
    auto* buffer = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(raw) + huge - 1) & ~(huge - 1));
    ::madvise(buffer, bytes, MADV_HUGEPAGE);
    for (size_t done = 0; done < static_cast<size_t>(st.st_size);) {
        const ssize_t n = ::read(fd, buffer + done, static_cast<size_t>(st.st_size) - done);
        if (n <= 0)
            return 1;
        done += static_cast<size_t>(n);
    }
    const double took = std::chrono::duration<double>(clock_type::now() - start).count();
    ::getrusage(RUSAGE_SELF, &usage_after);
    std::printf("0 0 %ld %.9f %.9f\n", usage_after.ru_minflt - usage_before.ru_minflt, took, cpu_seconds() - cpu_start);
    ::close(fd);
    return 0;
}

struct Memory {
    uint64_t peak = 0, resident = 0;
    long faults = 0;
    double load = 0;
    double cpu = 0;
};

// Runs this program again with `mode` on path and reads what it prints.
Memory load_memory(const std::string& path, const char* mode = "--load-memory") {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::execl("/proc/self/exe", "bench_store_load", mode, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(fds[1]);
    char text[128] = {};
    ssize_t got = 0;
    for (ssize_t n; got < ssize_t(sizeof text) - 1 && (n = ::read(fds[0], text + got, sizeof text - 1 - got)) > 0;)
        got += n;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    Memory m;
    unsigned long long peak = 0, resident = 0;
    long faults = 0;
    double load = 0, cpu = 0;
    if (std::sscanf(text, "%llu %llu %ld %lf %lf", &peak, &resident, &faults, &load, &cpu) == 5)
        m = {peak, resident, faults, load, cpu};
    else
        std::fprintf(stderr, "memory measurement failed\n");
    return m;
}

// The reader on a file in the page cache: opening (the index), one item at
// a random index, and every item into one buffer that was touched before.
struct ReaderTiming {
    double index = 0, item = 0, all = 0, whole = 0;
};

// A plain read of the file into one buffer of its size, touched before: what
// reading every item into one caller buffer is measured against.
void plain_read_whole(const std::string& path, std::vector<uint8_t>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (uint64_t got = 0; got < buffer.size();) {
        const ssize_t n = ::read(fd, buffer.data() + got, std::min<uint64_t>(buffer.size() - got, 8 << 20));
        if (n <= 0)
            break;
        got += static_cast<uint64_t>(n);
    }
    ::close(fd);
}

ReaderTiming measure_reader(const std::string& path) {
    ReaderTiming r;
    TAVREADER reader = 0;
    r.index = best_of(3, [&] {
        if (TavReaderOpen(path.c_str(), &reader) != 0)
            std::fprintf(stderr, "reader open failed\n");
    }, [&] { ZtRelease(std::exchange(reader, 0)); });
    if (TavReaderOpen(path.c_str(), &reader) != 0)
        return r;
    TavReaderInfo info{};
    TavReaderGetInfo(reader, &info);
    std::vector<uint8_t> buffer(info.itemSize * info.itemCount, 1);
    std::mt19937_64 random(7);
    constexpr int kPicks = 20000;
    r.item = best_of(3, [&] {
        for (int i = 0; i < kPicks; ++i) {
            const int64_t index = static_cast<int64_t>(random() % static_cast<uint64_t>(info.itemCount));
            if (TavReaderReadItems(reader, &index, 1, buffer.data(), info.itemSize) != 0)
                std::fprintf(stderr, "reader item failed\n");
        }
    }) / kPicks;
    r.all = best_of(3, [&] {
        if (TavReaderReadRange(reader, 0, info.itemCount, buffer.data(), buffer.size()) != 0)
            std::fprintf(stderr, "reader read failed\n");
    });
    std::vector<uint8_t> whole(file_size(path), 1);
    r.whole = best_of(3, [&] { plain_read_whole(path, whole); });
    ZtRelease(reader);
    return r;
}

struct Timing {
    double store, load, write, read;
    double load_cpu, read_cpu; // processor times of the same
    uint64_t bytes;
    Memory memory;     // the first load in a fresh process
    Memory fresh_read; // the plain read in a fresh process
    ReaderTiming reader;
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
    t.read = best_of(3, [&] { plain_read(plain); }, [] {}, &t.read_cpu);
    // The load alone is timed; the loaded list is released untimed.
    TAV loaded = 0;
    t.load = best_of(
        3,
        [&] {
            if (TavLoad(path.c_str(), &loaded) != 0 || TavGetNumDataEntries(loaded) != TavGetNumDataEntries(list))
                std::fprintf(stderr, "load failed\n");
        },
        [&] { ZtRelease(std::exchange(loaded, 0)); }, &t.load_cpu);
    // Each fresh process twice, in turn, the faster run of each kept: how
    // fast a fresh process gets memory depends on what ran just before it
    // (on a virtual machine, pages another process has just given back are
    // cheaper to touch than pages never touched before).
    for (int round = 0; round < 2; ++round) {
        const Memory read = load_memory(plain, "--plain-read");
        const Memory load = load_memory(path);
        if (round == 0 || read.load < t.fresh_read.load)
            t.fresh_read = read;
        if (round == 0 || load.load < t.memory.load)
            t.memory = load;
    }
    t.reader = measure_reader(path);
    ::unlink(path.c_str());
    ::unlink(plain.c_str());
    return t;
}

void report(const char* name, int items, const Timing& half, const Timing& full) {
    const double mb = double(full.bytes) / 1e6;
    std::printf("%s: %.1f MB\n", name, mb);
    std::printf("  store %8.1f MB/s   plain write+fsync %8.1f MB/s   ratio %.2f (target >= 0.8)\n", mb / full.store,
                mb / full.write, full.write / full.store);
    std::printf("  load  %8.1f MB/s   plain read        %8.1f MB/s   ratio %.2f (target >= 0.25);"
                " processor time ratio %.2f\n",
                mb / full.load, mb / full.read, full.read / full.load, full.read_cpu / full.load_cpu);
    std::printf("  per item: store %.2f us, load %.2f us\n", 1e6 * full.store / items, 1e6 * full.load / items);
    const double limit = 1.2 * double(full.bytes) + 100.0 * items;
    std::printf("  loaded list: peak %.1f MB (%.0f B/item, %.2f per file byte), resident %.1f MB"
                " (%.0f B/item, %.2f per file byte); limit 1.2 x file + 100 B/item = %.1f MB%s\n",
                double(full.memory.peak) / 1e6, double(full.memory.peak) / items,
                double(full.memory.peak) / double(full.bytes), double(full.memory.resident) / 1e6,
                double(full.memory.resident) / items, double(full.memory.resident) / double(full.bytes), limit / 1e6,
                double(full.memory.resident) <= limit ? "" : "  EXCEEDED");
    std::printf("  first load in a fresh process: %.2f us per item, %ld page faults (%.3f per item);"
                " plain read there into fresh huge-page memory: %.3f s, %ld page faults; ratio %.2f (target >= 0.5);"
                " processor time ratio %.2f\n",
                1e6 * full.memory.load / items, full.memory.faults, double(full.memory.faults) / items,
                full.fresh_read.load, full.fresh_read.faults, full.fresh_read.load / full.memory.load,
                full.fresh_read.cpu / full.memory.cpu);
    std::printf("  t(2N)/t(N): store %.2f, load %.2f, first load %.2f, plain write %.2f, plain read %.2f,"
                " fresh plain read %.2f (target <= 2.2)\n",
                full.store / half.store, full.load / half.load, full.memory.load / half.memory.load,
                full.write / half.write, full.read / half.read, full.fresh_read.load / half.fresh_read.load);
    const ReaderTiming& r = full.reader;
    std::printf("  reader: index %.2f GB/s (target >= 1); one random item %.2f us (target <= 10)\n",
                double(full.bytes) / r.index / 1e9, 1e6 * r.item);
    std::printf("  reader: all items into one buffer %.0f MB/s, ratio %.2f to a plain read of the file into one"
                " warm buffer (target >= 0.5), %.2f to the plain read above\n",
                mb / r.all, r.whole / r.all, full.read / r.all);
    std::printf("  reader t(2N)/t(N): index %.2f, one item %.2f, all items %.2f (target <= 2.2)\n",
                r.index / half.reader.index, r.item / half.reader.item, r.all / half.reader.all);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load-memory") == 0)
        return load_memory_child(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--plain-read") == 0)
        return plain_read_child(argv[2]);
    std::string folder = ".";
    const char* env = std::getenv("TAV_BENCH_MILLION");
    bool million = env != nullptr && std::strcmp(env, "1") == 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--million") == 0)
            million = true;
        else
            folder = argv[i];
    }
    std::vector<int> sizes{100000};
    if (million)
        sizes.push_back(1000000);
    using Maker = TAV (*)(int);
    for (int n : sizes) {
        for (auto [kind, make] : {std::pair<const char*, Maker>{"images 32x32 8-bit, 100 labels", image_list},
                                  std::pair<const char*, Maker>{"vectors of dimension 128, 100 labels", vector_list}}) {
            TAV half = make(n / 2);
            const Timing th = measure(half, folder);
            ZtRelease(half);
            TAV full = make(n);
            const Timing tf = measure(full, folder);
            ZtRelease(full);
            const std::string name = std::to_string(n) + " " + kind;
            report(name.c_str(), n, th, tf);
        }
    }
    return 0;
}
