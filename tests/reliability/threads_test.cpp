// What is safe across threads, run under ThreadSanitizer by `make test`:
// threads reading one list that nobody changes, threads building, storing and
// loading lists of their own, and handles released in one thread while other
// threads use other handles.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sample_lists.hpp"

namespace {

using reliability::ImageList;
using reliability::MemoryFolder;
using reliability::ScratchDir;
using reliability::StoredBytes;

constexpr int kThreads = 4;

template <class Work>
void InThreads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(work, t);
    for (std::thread& thread : threads)
        thread.join();
}

TEST(Threads, ReadOneSharedList) {
    TAV list = ImageList(12, 3, 4, 4, 5);
    ASSERT_NE(list, 0u);
    std::atomic<int> wrong{0};
    InThreads([&](int) {
        // A reference of the thread's own, dropped while others still read.
        ZtAddRef(list);
        for (int round = 0; round < 50; ++round) {
            const int32_t count = TavGetNumDataEntries(list);
            for (int32_t i = 0; i < count; ++i) {
                TAVLABEL label = TavGetLabel(list, TavGetLabelIndex(list, TavGetLabelReference(TavGetData(list, i), 0)));
                uint64_t size = 0;
                if (TavCompareData(TavGetData(list, i), TavGetData(list, i)) != 0 || label == 0 ||
                    TavGetStringLabel(label, nullptr, &size) != 0 || size != 8)
                    ++wrong;
            }
        }
        ZtRelease(list);
    });
    EXPECT_EQ(wrong, 0);
    ZtRelease(list);
}

TEST(Threads, BuildStoreAndLoadOwnLists) {
    ScratchDir dir("tav-threads", MemoryFolder());
    std::atomic<int> wrong{0};
    InThreads([&](int t) {
        const std::string path = dir.file("list" + std::to_string(t) + ".tav");
        for (int round = 0; round < 10; ++round) {
            TAV list = ImageList(8, 3, 4, 4, t * 100 + round);
            TAV loaded = 0;
            if (list == 0 || TavStore(list, path.c_str()) != 0 || TavLoad(path.c_str(), &loaded) != 0 ||
                StoredBytes(loaded, path + ".again") != StoredBytes(list, path + ".first"))
                ++wrong;
            ZtRelease(loaded);
            ZtRelease(list);
        }
    });
    EXPECT_EQ(wrong, 0);
}

TEST(Threads, ReleaseWhileOthersUseTheirHandles) {
    // Each thread makes and drops labels and lists while the others do the
    // same: the handle table is shared by all of them.
    std::atomic<int> wrong{0};
    InThreads([&](int t) {
        for (int round = 0; round < 200; ++round) {
            const float value = static_cast<float>(t * 1000 + round);
            TAVLABEL label = TavCreateVectorLabel(&value, 1);
            TAV list = ImageList(2, 1, 2, 2, round);
            float read = 0;
            uint64_t count = 1;
            if (label == 0 || list == 0 || TavGetFloatVectorLabel(label, &read, &count) != 0 || read != value ||
                TavGetNumDataEntries(list) != 2)
                ++wrong;
            ZtRelease(list);
            ZtRelease(label);
            if (ZtIsObject(label) != 0)
                ++wrong;
        }
    });
    EXPECT_EQ(wrong, 0);
}

} // namespace
