// tav verify FILE: loads a list and checks its invariants.
#include <cstdio>

#include "command.hpp"
#include "list_checks.hpp"
#include "list_reader.hpp"
#include "progress.hpp"

namespace tavtool {

namespace {

constexpr size_t kShownProblems = 20;

int run(const Args& args) {
    args.expect_positional(1);
    const std::string& path = args.positional()[0];
    const ListReader reader(path);
    const long long items = reader.item_count();
    const int labels = reader.label_count();
    std::vector<std::string> problems;
    {
        Progress progress("verify", static_cast<size_t>(items));
        problems = check_list(reader, progress);
    }
    for (size_t i = 0; i < problems.size() && i < kShownProblems; ++i)
        std::printf("problem: %s\n", problems[i].c_str());
    if (problems.size() > kShownProblems)
        std::printf("... and %zu more\n", problems.size() - kShownProblems);
    if (!problems.empty())
        throw Failure("'" + path + "': " + std::to_string(problems.size()) +
                      (problems.size() == 1 ? " problem found" : " problems found"));
    std::printf("%s: ok (%lld items, %d labels)\n", path.c_str(), items, labels);
    return kExitOk;
}

} // namespace

const Command kVerifyCommand{
    "verify", "load a list file and check the list's invariants",
    "usage: tav verify FILE\n"
    "\n"
    "Opens the file with the list file reader, which checks its structure as\n"
    "loading does (types, labels, the links between items and labels, flags,\n"
    "mask, comment), and checks: every item can be read and fits the data type;\n"
    "every item has a label; every label fits the label type and has items; the\n"
    "labels are distinct and sorted. Items are read in batches, so lists larger\n"
    "than memory can be verified. Prints each problem; exits with 1 if any.\n",
    {}, run};

} // namespace tavtool
