// A process killed while storing over a file leaves the complete old or new
// file at the path, and at most its temporary file beside it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/lists.hpp"

namespace {

using namespace tav_test;

// TAV_CRASH_ROUNDS asks for more; forking costs far more under the sanitizers.
int Rounds() {
    const char* rounds = std::getenv("TAV_CRASH_ROUNDS");
#if defined(__SANITIZE_ADDRESS__)
    return rounds != nullptr ? std::atoi(rounds) : 40;
#else
    return rounds != nullptr ? std::atoi(rounds) : 200;
#endif
}

// Removes the temporary files a killed store left and says how many there were.
int RemoveLeftovers(const TempDir& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".tav-") && name.ends_with(".tmp"))
            count += std::filesystem::remove(entry.path()) ? 1 : 0;
    }
    return count;
}

// Forks a child storing the lists in turn over `path`, from `first`, `stores`
// times (0: until killed); returns its id once it has begun.
pid_t StartStoring(const TAV lists[2], int first, const std::string& path, int stores) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::write(ready[1], "", 1) == 1)
            for (int next = first, n = 0; stores == 0 || n < stores; next = 1 - next, ++n)
                TavStore(lists[next], path.c_str());
        ::_exit(0);
    }
    ::close(ready[1]);
    char go = 0;
    if (child > 0 && ::read(ready[0], &go, 1) != 1)
        ::kill(child, SIGKILL);
    ::close(ready[0]);
    return child;
}

TEST(CrashDuringStore, PathHoldsTheCompleteOldOrNewList) {
    // Memory-backed unless TAV_CRASH_DIR names a folder on a disk.
    const char* folder = std::getenv("TAV_CRASH_DIR");
    const auto dir = folder != nullptr ? TempDir(std::filesystem::path(folder)) : TempDir(true);
    // Few large images: a store long enough for kills to land inside it.
    constexpr int kItems = 20;
    TAV lists[2] = {image_list(kItems, 7, 96, 96, 1), image_list(kItems, 7, 96, 96, 2)};
    const std::string stored[2] = {stored_bytes(lists[0], dir.file("a")), stored_bytes(lists[1], dir.file("b"))};
    ASSERT_TRUE(!stored[0].empty() && !stored[1].empty() && stored[0] != stored[1]);
    const std::string path = dir.file("list.tav");
    ASSERT_EQ(TavStore(lists[0], path.c_str()), 0);

    // Kills fall anywhere in the time a child takes for two stores.
    const auto start = std::chrono::steady_clock::now();
    const pid_t timed = StartStoring(lists, 1, path, 2);
    ASSERT_GT(timed, 0);
    ASSERT_EQ(::waitpid(timed, nullptr, 0), timed);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long window = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    std::mt19937 random(14);
    std::uniform_int_distribution<long> delay(0, window);
    int found[2] = {0, 0}, killedMidStore = 0, leftovers = 0;
    const int rounds = Rounds();
    for (int round = 0, last = -1; round < rounds; ++round) {
        const pid_t child = StartStoring(lists, read_bytes(path) == stored[1] ? 0 : 1, path, 0);
        ASSERT_GT(child, 0);
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);

        const std::string bytes = read_bytes(path);
        const int which = bytes == stored[0] ? 0 : bytes == stored[1] ? 1 : -1;
        ASSERT_NE(which, -1) << "round " << round << ": " << bytes.size() << " bytes match neither list";
        ++found[which];
        if (which != last) { // the same bytes load the same way
            TAV loaded = 0;
            ASSERT_EQ(TavLoad(path.c_str(), &loaded), 0) << "round " << round;
            EXPECT_EQ(TavGetNumDataEntries(loaded), kItems);
            ZtRelease(loaded);
            last = which;
        }
        const int left = RemoveLeftovers(dir);
        killedMidStore += left > 0 ? 1 : 0;
        leftovers += left;
    }
    std::printf("%d kills in a window of %ld us: the first list found %d times, the second %d times; "
                "%d kills landed mid-store, %d temporary files were left and removed\n",
                rounds, window, found[0], found[1], killedMidStore, leftovers);
    // Kills that never land mid-store, or never after a store, prove nothing.
    EXPECT_GT(killedMidStore, rounds / 4);
    EXPECT_GT(std::min(found[0], found[1]), rounds / 10);
    ZtRelease(lists[0]), ZtRelease(lists[1]);
}

} // namespace
