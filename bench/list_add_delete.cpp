// Adding and deleting items must stay near-linear as a list grows. For N and
// 2N items this times:
//   (a) adding vector items with float-vector labels, every label distinct,
//       in random order (one new label per item);
//   (b) adding vector items spread over 1,000 string labels;
//   (c) deleting every item by index from the last to the first, on the
//       lists of (a) and (b).
// It prints the CPU time per item and t(2N)/t(N); a ratio near 2 is linear.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <tav/tav.h>

namespace {

// CPU time of this thread: on a shared machine, wall time also counts the
// time other processes had the core.
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Items {
    std::vector<TAVLABEL> labels;
    std::vector<TAVDATA> data;
    ~Items() {
        for (ZTHANDLE h : labels)
            ZtRelease(h);
        for (ZTHANDLE h : data)
            ZtRelease(h);
    }
};

// The caller's objects are made before the clock starts: only the list's own
// work is timed.
Items make_items(std::size_t n, bool vectorLabels) {
    Items items;
    std::mt19937 random(12345);
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::shuffle(order.begin(), order.end(), random);
    items.labels.reserve(n);
    items.data.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float values[4] = {static_cast<float>(i), 1.0f, 2.0f, 3.0f};
        items.data.push_back(TavCreateVectorData(values, 4));
        if (vectorLabels) {
            const float target[2] = {static_cast<float>(order[i] % 1000), static_cast<float>(order[i] / 1000)};
            items.labels.push_back(TavCreateVectorLabel(target, 2));
        } else {
            std::string name = "class" + std::to_string(random() % 1000);
            items.labels.push_back(TavCreateStringLabel(name.c_str()));
        }
    }
    return items;
}

struct Run {
    double add = 0, remove = 0;
    int32_t labels = 0;
};

Run run(std::size_t n, bool vectorLabels) {
    Items items = make_items(n, vectorLabels);
    TAVLABELTYPE labelType = vectorLabels ? TavCreateLabelTypeFloatVector(2) : TavCreateLabelTypeString();
    TAVDATATYPE dataType = TavCreateDataTypeFloatVector(4);
    TAV list = TavCreate(labelType, dataType);
    Run result;
    double start = cpu_seconds();
    for (std::size_t i = 0; i < n; ++i)
        if (TavAddItem(list, items.data[i], items.labels[i]) != 0)
            std::fprintf(stderr, "add %zu failed\n", i);
    result.add = cpu_seconds() - start;
    result.labels = TavGetNumLabelEntries(list);

    start = cpu_seconds();
    for (int32_t i = static_cast<int32_t>(n) - 1; i >= 0; --i)
        if (TavDeleteData(list, i) != 0)
            std::fprintf(stderr, "delete %d failed\n", i);
    result.remove = cpu_seconds() - start;
    if (TavGetNumDataEntries(list) != 0 || TavGetNumLabelEntries(list) != 0)
        std::fprintf(stderr, "list not empty after deleting\n");
    for (ZTHANDLE h : {list, labelType, dataType})
        ZtRelease(h);
    return result;
}

void print(const char* name, double small, double large, std::size_t n) {
    std::printf("%-44s %8.3f us/item (N) %8.3f us/item (2N)  t(2N)/t(N) = %.2f\n", name, small / n * 1e6,
                large / (2 * n) * 1e6, large / small);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t n = argc > 1 ? std::stoul(argv[1]) : 100000;
    // An untimed round of both cases first, so that neither case pays alone
    // for growing the heap and the handle table.
    run(2 * n, true);
    run(2 * n, false);
    Run a1 = run(n, true), a2 = run(2 * n, true);
    Run b1 = run(n, false), b2 = run(2 * n, false);
    std::printf("N = %zu; labels: (a) %d / %d, (b) %d / %d\n", n, a1.labels, a2.labels, b1.labels, b2.labels);
    print("(a) add, distinct float-vector labels", a1.add, a2.add, n);
    print("(b) add, 1,000 string labels", b1.add, b2.add, n);
    print("(c) delete last to first, list of (a)", a1.remove, a2.remove, n);
    print("(c) delete last to first, list of (b)", b1.remove, b2.remove, n);
    std::printf("(a) / (b) per item at 2N: %.2f\n", a2.add / b2.add);
    return 0;
}
