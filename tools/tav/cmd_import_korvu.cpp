// tav import-korvu IN OUT: converts a version-1 list file into a list file.
#include <cstdio>

#include "command.hpp"
#include "list_file.hpp"

namespace tavtool {

namespace {

int run(const Args& args) {
    args.expect_positional(2);
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    check_list_file(in, "import");
    clear_library_error();
    Owned list;
    if (TavImportFromKorvu(in.c_str(), list.out()) != 0)
        fail_library("cannot import '" + in + "'");
    // A version-1 file without samples gives no list: there are no types to
    // store.
    if (!list)
        throw Failure("'" + in + "' holds no samples; nothing written");
    {
        ListLock lock(out, !args.flag("--no-wait"));
        store_list(list.get(), out);
    }
    std::printf("%s: %d items in %d labels\n", out.c_str(), TavGetNumDataEntries(list.get()),
                TavGetNumLabelEntries(list.get()));
    return kExitOk;
}

} // namespace

const Command kImportKorvuCommand{
    "import-korvu", "convert a version-1 list file into a list file",
    "usage: tav import-korvu IN OUT\n"
    "\n"
    "Reads the version-1 list file IN and stores it as the list file OUT: every\n"
    "class becomes a string label, every sample an image item fitted to the size\n"
    "that the file's feature window, rotation range and borders call for. OUT\n"
    "is replaced holding a lock on OUT.lock.\n"
    "\n"
    "  --no-wait   fail at once when another process holds the lock\n",
    {{}, {"--no-wait"}}, run};

} // namespace tavtool
