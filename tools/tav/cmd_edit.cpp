// tav set-comment FILE TEXT and tav exclude FILE LABEL [--off]: edits saved
// back through the library's store, which replaces the file safely.
#include <cstdio>

#include "command.hpp"
#include "list_file.hpp"
#include "list_text.hpp"

namespace tavtool {

namespace {

int run_set_comment(const Args& args) {
    args.expect_positional(2);
    const std::string& path = args.positional()[0];
    const std::string& text = args.positional()[1];
    if (text.empty())
        throw UsageError("the comment must not be empty");
    if (!is_utf8(text))
        throw UsageError("the comment is not UTF-8 text");
    check_list_file(path); // no lock file beside a file that is not there
    ListLock lock(path, !args.flag("--no-wait"));
    Owned list = load_list(path);
    clear_library_error();
    if (TavSetComment(list.get(), text.c_str()) != 0)
        fail_library("cannot set the comment");
    store_list(list.get(), path);
    return kExitOk;
}

// The list's own label equal to LABEL: the text for string labels, the
// comma-separated values for vector labels.
TAVLABEL find_label(TAV list, const std::string& text) {
    Owned probe;
    if (TavGetLabelTypeEnum(list) == 0) {
        probe = Owned(TavCreateStringLabel(text.c_str()));
    } else {
        auto values = parse_float_list(text);
        if (!values)
            throw UsageError("the list has vector labels: give LABEL as comma-separated numbers");
        probe = Owned(TavCreateVectorLabel(values->data(), values->size()));
    }
    if (!probe)
        fail_library("cannot make a label of '" + text + "'");
    const int index = TavGetLabelIndex(list, probe.get());
    if (index < 0)
        throw Failure("no label '" + text + "' in the list");
    return TavGetLabel(list, index);
}

int run_exclude(const Args& args) {
    args.expect_positional(2);
    const std::string& path = args.positional()[0];
    check_list_file(path); // no lock file beside a file that is not there
    ListLock lock(path, !args.flag("--no-wait"));
    Owned list = load_list(path);
    clear_library_error();
    TAVLABEL label = find_label(list.get(), args.positional()[1]);
    if (TavSetExcludedFlag(label, args.flag("--off") ? 0 : 1) != 0)
        fail_library("cannot set the excluded flag");
    store_list(list.get(), path);
    return kExitOk;
}

} // namespace

// What every edit says about its lock (defined before its users below).
const std::string kLockHelp = "\n"
                              "Edits of one file by several processes take turns: each holds a lock on\n"
                              "FILE.lock from loading the list until FILE has been replaced.\n"
                              "\n"
                              "  --no-wait   fail at once when another process holds the lock\n";

const Command kSetCommentCommand{"set-comment", "replace a list file's comment",
                                 "usage: tav set-comment FILE TEXT [--no-wait]\n"
                                 "\n"
                                 "Sets the comment of the list in FILE to TEXT (UTF-8, not empty) and stores\n"
                                 "the list back to FILE.\n" +
                                     kLockHelp,
                                 {{}, {"--no-wait"}}, run_set_comment};

const Command kExcludeCommand{"exclude", "mark a label as excluded (or, with --off, as included)",
                              "usage: tav exclude FILE LABEL [--off] [--no-wait]\n"
                              "\n"
                              "Sets the excluded flag of the label LABEL and stores the list back to FILE.\n"
                              "LABEL is the text of a string label, or the comma-separated values of a\n"
                              "vector label.\n" +
                                  kLockHelp + "  --off       clear the flag instead\n",
                              {{}, {"--off", "--no-wait"}}, run_exclude};

} // namespace tavtool
