// tav verify FILE: loads a list and checks its invariants.
#include <cstdio>

#include "command.hpp"
#include "list_checks.hpp"
#include "list_file.hpp"
#include "progress.hpp"

namespace tavtool {

namespace {

constexpr size_t kShownProblems = 20;

int run(const Args& args) {
    args.expect_positional(1);
    const std::string& path = args.positional()[0];
    Owned list = load_list(path);
    const int items = TavGetNumDataEntries(list.get()), labels = TavGetNumLabelEntries(list.get());
    std::vector<std::string> problems;
    {
        Progress progress("verify", static_cast<size_t>(std::max(items, 0)) + std::max(labels, 0));
        problems = check_list(list.get(), progress);
    }
    for (size_t i = 0; i < problems.size() && i < kShownProblems; ++i)
        std::printf("problem: %s\n", problems[i].c_str());
    if (problems.size() > kShownProblems)
        std::printf("... and %zu more\n", problems.size() - kShownProblems);
    if (!problems.empty())
        throw Failure("'" + path + "': " + std::to_string(problems.size()) +
                      (problems.size() == 1 ? " problem found" : " problems found"));
    std::printf("%s: ok (%d items, %d labels)\n", path.c_str(), items, labels);
    return kExitOk;
}

} // namespace

const Command kVerifyCommand{
    "verify", "load a list file and check the list's invariants",
    "usage: tav verify FILE\n"
    "\n"
    "Loads the file and checks: every item fits the data type and refers to one\n"
    "of the list's labels; every label fits the label type, has data, and each of\n"
    "its data references is an item of the list that refers back to it; every item\n"
    "is referred to by exactly one label; the labels are distinct and sorted; the\n"
    "mask data fits the data type. Prints each problem; exits with 1 if any.\n",
    {}, run};

} // namespace tavtool
