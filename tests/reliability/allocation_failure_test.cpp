// The k-th allocation of a call (operator new, calloc, or the mapping of a
// block of pixels) fails, for every k the call reaches: it must return out of
// memory or a code of its own, leave its out variable and the source list as
// they were, and (in the sanitizer build) leak nothing.
#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "support/lists.hpp"

namespace {

// Allocations counted since Arm; the one numbered failAt fails.
long allocations = 0, failAt = 0;
bool armed = false;

void Arm(long k) { allocations = 0, failAt = k, armed = true; }

// Whether the call reached the failing allocation.
bool Disarm() { return armed = false, allocations >= failAt; }

void* Allocate(std::size_t size) {
    return armed && ++allocations == failAt ? nullptr : std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t n) { return AllocateOrThrow(n); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// The libraries' calls reach these definitions before the C library's.
extern "C" void* calloc(std::size_t n, std::size_t size) {
    if (size != 0 && n > SIZE_MAX / size)
        return nullptr;
    void* p = Allocate(n * size);
    return p != nullptr ? std::memset(p, 0, n * size) : nullptr;
}

extern "C" void* mmap(void* at, std::size_t length, int protection, int flags, int fd, off_t offset) {
    if (armed && ++allocations == failAt) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
    return reinterpret_cast<void*>(::syscall(SYS_mmap, at, length, protection, flags, fd, offset));
}

namespace {

using namespace tav_test;

constexpr TAV kUntouched = 0x5eed; // never a live handle: the call must not write it

// Transform callbacks that make a vector label or item, themselves allocating.
int32_t ToVectorLabel(void*, TAVLABEL, TAVLABEL* result) {
    const float value = 1;
    return (*result = TavCreateVectorLabel(&value, 1)) != 0;
}

int32_t ToVectorData(void*, TAVDATA, TAVDATA* result) {
    const float values[2] = {1, 2};
    return (*result = TavCreateVectorData(values, 2)) != 0;
}

// What a call works on, made before the count starts: the source list, an
// item to add, the list's file, an existing file to store over.
struct Inputs {
    TAV source;
    TAVDATA data;
    TAVLABEL label;
    std::string stored, target;
};

struct Case {
    const char* function;
    std::vector<int32_t> ownCodes; // besides out of memory, for a failure of its own steps
    TAV outBefore; // the out variable's value before the call and after a failure
    std::function<int32_t(const Inputs& in, TAV* out)> call;
};

constexpr const char* kKorvu1File = TAV_CORPUS_DIR "/korvu1_import/v1_0_exact";

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"TavLoad", {TAV_E_FILE}, kUntouched,
         [](const Inputs& in, TAV* out) { return TavLoad(in.stored.c_str(), out); }},
        {"TavStore", {TAV_E_FILE}, 0,
         [](const Inputs& in, TAV*) { return TavStore(in.source, in.target.c_str()); }},
        // The import gives every failure that is not of the file as "unexpected".
        {"TavImportFromKorvu", {TAV_E_FILE, TAV_E_FAILURE}, kUntouched,
         [](const Inputs&, TAV* out) { return TavImportFromKorvu(kKorvu1File, out); }},
        {"TavAddItem", {}, 0,
         [](const Inputs& in, TAV*) { return TavAddItem(in.source, in.data, in.label); }},
        {"TavAddItems", {}, 0,
         [](const Inputs& in, TAV*) {
             const uint8_t pixels[3 * 16] = {1, 2, 3};
             const TAVLABEL labels[] = {in.label, TavGetLabel(in.source, 0), in.label};
             return TavAddItems(in.source, pixels, sizeof pixels, 3, labels);
         }},
        // A type or label that cannot be made is "incompatible", after the
        // creating function's own report of the lack of memory.
        {"TavTransformLabelList", {TAV_E_FAILURE, TAV_E_INCOMPATIBLE}, 0,
         [](const Inputs& in, TAV* out) { return TavTransformLabelList(in.source, ToVectorLabel, nullptr, out); }},
        {"TavTransformDataList", {TAV_E_FAILURE, TAV_E_INCOMPATIBLE}, 0,
         [](const Inputs& in, TAV* out) { return TavTransformDataList(in.source, ToVectorData, nullptr, out); }},
        // Label 0 becomes label 1: the two merge.
        {"TavChangeStringLabel", {TAV_E_INCOMPATIBLE}, 0,
         [](const Inputs& in, TAV*) { return TavChangeStringLabel(in.source, 0, "class 1"); }},
        {"ZtCreateObjectStorage", {}, 0,
         [](const Inputs&, TAV*) {
             void* storage = &storage;
             const ZTHANDLE h = ZtCreateObjectStorage(64, &storage);
             ZtRelease(h);
             return h != 0 ? 0 : storage == nullptr ? TAV_E_OUT_OF_MEMORY : TAV_E_FAILURE;
         }},
    };
    return cases;
}

class AllocationFailure : public testing::TestWithParam<Case> {};

TEST_P(AllocationFailure, FailsCleanlyAtEveryAllocation) {
    const Case& c = GetParam();
    TempDir dir(true);
    long points = 0;
    for (long k = 1;; ++k) {
        SCOPED_TRACE(testing::Message() << c.function << ", allocation " << k);
        TAV source = image_list(3, 2, 4, 4, 9); // two string labels over 4 x 4 images
        // The target exists: a failed store must leave it as it was.
        const std::string before = stored_bytes(source, dir.file("source.tav"));
        ASSERT_EQ(TavStore(source, dir.file("source.tav").c_str()), 0);
        ASSERT_EQ(TavStore(source, dir.file("target.tav").c_str()), 0);
        ZTIMAGE image = ZtImageCreate(4, 4, 1, ZT_DT_U8);
        const Inputs in{source, TavCreateImageData(image, 0, 0, 4, 4), TavCreateStringLabel("class new"),
                        dir.file("source.tav"), dir.file("target.tav")};
        ZtRelease(image);
        // The C library registers this thread's destructors at the first
        // load, and ends the process if that allocation fails.
        if (TAV warm = 0; k == 1 && TavLoad(in.stored.c_str(), &warm) == 0)
            ZtRelease(warm);

        TAV out = c.outBefore;
        Arm(k);
        const int32_t rc = c.call(in, &out);
        const bool reached = Disarm();
        ZtRelease(in.data), ZtRelease(in.label);
        if (rc == 0 && out != c.outBefore) {
            // A list handed back as a success holds every item, even when
            // an allocation failed on the way.
            if (std::string(c.function) != "TavImportFromKorvu") {
                EXPECT_EQ(TavGetNumDataEntries(out), TavGetNumDataEntries(source));
            }
            ZtRelease(out);
        }
        else if (rc != 0) {
            EXPECT_TRUE(rc == TAV_E_OUT_OF_MEMORY || std::ranges::count(c.ownCodes, rc) > 0) << std::hex << rc;
            EXPECT_EQ(out, c.outBefore);
            EXPECT_EQ(read_bytes(in.target), before);
        }
        // Only a successful add or change changes the list.
        const bool added = rc == 0 && (std::string(c.function).starts_with("TavAddItem") ||
                                        std::string(c.function) == "TavChangeStringLabel");
        EXPECT_TRUE(added || stored_bytes(source, dir.file("check.tav")) == before);
        ZtRelease(source);
        if (!reached) {
            EXPECT_EQ(rc, 0) << "fails without a failing allocation";
            break;
        }
        points = k;
        if (testing::Test::HasFailure())
            break;
    }
    std::printf("%s: %ld allocations, each made to fail once\n", c.function, points);
    EXPECT_GT(points, 0);
}

INSTANTIATE_TEST_SUITE_P(Calls, AllocationFailure, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.function); });

} // namespace
