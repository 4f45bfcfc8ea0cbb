// Comparing two equal images walks every pixel. This measures that walk
// through TavCompareData against memcmp over the same pixel bytes, in the
// same run, for a 4096 x 4096 8-bit image and a 2048 x 2048 float image.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>

#include <tav/tav.h>

namespace {

struct Plane {
    unsigned char* base;
    const ZTK::ZtLinearEntry* table;
};

Plane plane_of(ZTIMAGE image) {
    void* p = nullptr;
    if (ZtQueryInterface(image, ZT_IMAGE_INTERFACE_ID, &p) < 0)
        return {nullptr, nullptr};
    void* base = nullptr;
    const ZTK::ZtLinearEntry* table = nullptr;
    if (static_cast<ZTK::IZtImage*>(p)->GetLinearAccess(0, &base, &table) < 0)
        return {nullptr, nullptr};
    return {static_cast<unsigned char*>(base), table};
}

// Seconds per call: the best of several rounds of enough calls to take a
// measurable time.
double seconds_per_call(const std::function<void()>& call) {
    using clock = std::chrono::steady_clock;
    int calls = 1;
    for (;;) {
        const auto start = clock::now();
        for (int i = 0; i < calls; ++i)
            call();
        if (std::chrono::duration<double>(clock::now() - start).count() > 0.05)
            break;
        calls *= 2;
    }
    double best = 1e30;
    for (int round = 0; round < 7; ++round) {
        const auto start = clock::now();
        for (int i = 0; i < calls; ++i)
            call();
        best = std::min(best, std::chrono::duration<double>(clock::now() - start).count() / calls);
    }
    return best;
}

bool run(const char* name, int32_t size, uint32_t type, int32_t bytes_per_pixel) {
    const ZTIMAGE image = ZtImageCreate(size, size, 1, type);
    const Plane source = plane_of(image);
    if (source.base == nullptr) {
        std::fprintf(stderr, "%s: cannot make the image\n", name);
        return false;
    }
    // Pixels that are neither zero nor all alike, written in place.
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x) {
            unsigned char* p = source.base + source.table[y].y + source.table[x].x;
            if (type == ZT_DT_F32) {
                const float v = static_cast<float>((x * 7 + y * 13) % 1000) * 0.25f;
                std::memcpy(p, &v, sizeof v);
            } else {
                *p = static_cast<unsigned char>(x * 7 + y * 13);
            }
        }
    // Two samples, each with a private copy of the pixels.
    const TAVDATA a = TavCreateImageData(image, 0, 0, size, size);
    const TAVDATA b = TavCreateImageData(image, 0, 0, size, size);
    ZTIMAGE ia = 0, ib = 0;
    if (a == 0 || b == 0 || TavGetImageData(a, &ia) != 0 || TavGetImageData(b, &ib) != 0) {
        std::fprintf(stderr, "%s: cannot make the image data\n", name);
        return false;
    }
    const Plane pa = plane_of(ia), pb = plane_of(ib);
    const size_t line = static_cast<size_t>(size) * bytes_per_pixel;
    const double bytes = static_cast<double>(line) * size;

    int32_t result = 0;
    const double compare = seconds_per_call([&] { result |= TavCompareData(a, b); });
    int memcmp_result = 0;
    const double baseline = seconds_per_call([&] {
        for (int32_t y = 0; y < size; ++y)
            memcmp_result |= std::memcmp(pa.base + pa.table[y].y + pa.table[0].x,
                                         pb.base + pb.table[y].y + pb.table[0].x, line);
    });
    if (result != 0 || memcmp_result != 0) {
        std::fprintf(stderr, "%s: the images did not compare equal\n", name);
        return false;
    }
    std::printf("%-28s TavCompareData %7.2f GB/s   memcmp %7.2f GB/s   ratio %.2f\n", name,
                bytes / compare / 1e9, bytes / baseline / 1e9, baseline / compare);
    ZtRelease(a);
    ZtRelease(b);
    ZtRelease(image);
    return true;
}

} // namespace

int main() {
    bool ok = run("4096 x 4096, 8-bit", 4096, ZT_DT_U8, 1);
    ok = run("2048 x 2048, 32-bit float", 2048, ZT_DT_F32, 4) && ok;
    return ok ? 0 : 1;
}
