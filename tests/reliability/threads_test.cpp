// What is safe across threads, run under ThreadSanitizer by `make test`
// (with the base library's handle tests and the call frame's numbers).
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/lists.hpp"

namespace {

using namespace tav_test;


constexpr int kThreads = 4;

template <class Work> void InThreads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(work, t);
    for (std::thread &thread : threads)
        thread.join();
}

// Readers of one loaded list, while the others drop references of their own
// to it: the items' images, made on first use, are made once for all.
TEST(Threads, ReadOneSharedList) {
    TempDir dir(true);
    TAV built = image_list(12, 3, 4, 4, 5), list = 0;
    const std::string stored = stored_bytes(built, dir.file("list.tav"));
    ASSERT_EQ(TavStore(built, dir.file("list.tav").c_str()), 0);
    ASSERT_EQ(TavLoad(dir.file("list.tav").c_str(), &list), 0);
    ZtRelease(built);
    std::atomic<int> wrong{0};
    std::vector<std::atomic<ZTIMAGE>> images(12);
    InThreads([&](int) {
        ZtAddRef(list);
        for (int round = 0; round < 50; ++round) {
            for (int32_t i = 0; i < TavGetNumDataEntries(list); ++i) {
                TAVDATA data = TavGetData(list, i);
                TAVLABEL label = TavGetLabel(list, TavGetLabelIndex(list, TavGetLabelReference(data, 0)));
                uint64_t size = 0;
                ZTIMAGE image = 0, first = 0;
                wrong += TavCompareData(data, TavGetData(list, i)) != 0 ||
                         TavGetStringLabel(label, nullptr, &size) != 0 || size != 8 ||
                         TavGetImageData(data, &image) != 0 ||
                         (!images[i].compare_exchange_strong(first, image) && first != image);
            }
        }
        ZtRelease(list);
    });
    EXPECT_EQ(wrong, 0);
    // The readers changed nothing.
    EXPECT_EQ(stored_bytes(list, dir.file("again.tav")), stored);
    ZtRelease(list);
}

// Readers of one list file reader, single items and runs, while the others
// drop references of their own to it: every read gives the bytes one thread
// read alone.
TEST(Threads, ReadOneSharedReader) {
    TempDir dir(true);
    TAV list = image_list(40, 3, 4, 4, 7);
    TAVREADER reader = 0;
    ASSERT_EQ(TavStore(list, dir.file("list.tav").c_str()), 0);
    ASSERT_EQ(TavReaderOpen(dir.file("list.tav").c_str(), &reader), 0);
    std::vector<uint8_t> all(40 * 16);
    ASSERT_EQ(TavReaderReadRange(reader, 0, 40, all.data(), all.size()), 0);
    std::atomic<int> wrong{0};
    InThreads([&](int t) {
        ZtAddRef(reader);
        std::vector<uint8_t> some(5 * 16);
        for (int64_t round = 0; round < 200; ++round) {
            const int64_t first = (round * 7 + t) % 36, picks[] = {first + 4, first, first + 1};
            wrong += TavReaderReadRange(reader, first, 5, some.data(), some.size()) != 0 ||
                     !std::equal(some.begin(), some.end(), all.begin() + first * 16) ||
                     TavReaderReadItems(reader, picks, 3, some.data(), some.size()) != 0 ||
                     !std::equal(some.begin(), some.begin() + 16, all.begin() + (first + 4) * 16);
        }
        ZtRelease(reader);
    });
    EXPECT_EQ(wrong, 0);
    ZtRelease(reader);
    ZtRelease(list);
}

// Stores of one list at once, each to a file of its own and all to one more:
// every file holds the list's bytes (the list's items and types are shared
// by the stores, so nothing of a store may live inside them).
TEST(Threads, StoreOneSharedList) {
    TempDir dir(true);
    TAV list = image_list(12, 3, 4, 4, 6);
    const std::string stored = stored_bytes(list, dir.file("list.tav"));
    std::atomic<int> wrong{0};
    InThreads([&](int t) {
        const std::string own = dir.file(std::to_string(t)), common = dir.file("common.tav");
        for (int round = 0; round < 20; ++round)
            wrong += TavStore(list, own.c_str()) != 0 || read_bytes(own) != stored ||
                     TavStore(list, common.c_str()) != 0;
    });
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(read_bytes(dir.file("common.tav")), stored);
    ZtRelease(list);
}

// Builders of lists of their own, each storing and loading them, and releasing
// handles while the others use theirs: a released handle is dead at once.
TEST(Threads, BuildStoreAndLoadOwnLists) {
    TempDir dir(true);
    std::atomic<int> wrong{0};
    InThreads([&](int t) {
        const std::string path = dir.file(std::to_string(t));
        for (int round = 0; round < 10; ++round) {
            TAV list = image_list(8, 3, 4, 4, t * 100 + round), loaded = 0;
            const std::string stored = stored_bytes(list, path);
            wrong += stored.empty() || TavStore(list, path.c_str()) != 0 || TavLoad(path.c_str(), &loaded) != 0 ||
                     stored_bytes(loaded, path + ".again") != stored;
            ZtRelease(loaded);
            ZtRelease(list);
            wrong += ZtIsObject(list) != 0;
        }
    });
    EXPECT_EQ(wrong, 0);
}

// Reports from several threads while another sets and removes the handler:
// each thread keeps its own last report.
TEST(Threads, ReportWhileTheHandlerChanges) {
    std::atomic<int> seen{0}, wrong{0};
    std::atomic<bool> done{false};
    std::thread setter([&] {
        for (int i = 0; !done; ++i)
            ZtSetErrorHandler(i % 2 ? nullptr : +[](void* c, int32_t, const char*, const char*) {
                ++*static_cast<std::atomic<int>*>(c);
            }, &seen);
    });
    InThreads([&](int t) {
        const std::string function = "Thread" + std::to_string(t);
        for (int i = 0; i < 2000; ++i) {
            ZtReportErrorWithMessage(-t - 1, "x", function.c_str());
            const char* last = nullptr;
            wrong += ZtGetLastError(&last, nullptr) != -t - 1 || !last || last != function;
        }
    });
    done = true;
    setter.join();
    ZtSetErrorHandler(nullptr, nullptr);
    EXPECT_EQ(wrong, 0);
}

} // namespace
