// tav ls FILE: one line per data item.
#include <cstdio>

#include "command.hpp"
#include "list_file.hpp"
#include "list_text.hpp"

namespace tavtool {

namespace {

int run(const Args& args) {
    args.expect_positional(1);
    Owned list = load_list(args.positional()[0]);
    clear_library_error();
    const int count = TavGetNumDataEntries(list.get());
    if (count < 0)
        fail_library("cannot count the items");
    for (int i = 0; i < count; ++i) {
        TAVDATA data = TavGetData(list.get(), i); // borrowed
        if (!data)
            fail_library("cannot read item " + std::to_string(i));
        std::string label = "(no label)";
        if (TAVLABEL l = TavGetLabelReference(data, 0))
            label = escape_text(label_display(label_value(l)));
        std::printf("%d\t%s\t%s\n", i, label.c_str(), describe_data(data).c_str());
    }
    return kExitOk;
}

} // namespace

const Command kLsCommand{"ls", "list the data items: index, label and a short description",
                         "usage: tav ls FILE\n"
                         "\n"
                         "Prints one line per data item, tab-separated: its index, its label and a\n"
                         "short description of the data (image size, planes and pixel type, or the\n"
                         "first values of a vector). Tabs, line breaks, other control characters\n"
                         "and bytes that are not UTF-8 in a label are shown as \\t, \\n, \\xNN; a\n"
                         "backslash as \\\\.\n",
                         {}, run};

} // namespace tavtool
