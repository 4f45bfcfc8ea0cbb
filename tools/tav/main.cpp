// tav: looks into list files, builds them from image folders, converts
// version-1 files and edits comments and excluded flags, through the C API.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

#include <tav/tav.h>

#include "command.hpp"
#include "interrupt.hpp"

using namespace tavtool;

namespace {

const std::vector<const Command*>& all_commands() {
    static const std::vector<const Command*> commands{
        &kInfoCommand,          &kLsCommand,     &kVerifyCommand,     &kImportKorvuCommand,
        &kCreateFromDirCommand, &kExportCommand, &kSetCommentCommand, &kExcludeCommand};
    return commands;
}

// The library's version where its header states it, else the project's.
void print_version() {
#ifdef TAV_VERSION_MAJOR
    std::printf("tav %d.%d.%d\n", TAV_VERSION_MAJOR, TAV_VERSION_MINOR, TAV_VERSION_PATCH);
#else
    std::printf("tav %s\n", TAV_TOOL_VERSION);
#endif
}

void print_usage() {
    std::printf("usage: tav COMMAND [ARGS] (tav COMMAND --help for more)\n"
                "       tav --version\n\ncommands:\n");
    for (const Command* c : all_commands())
        std::printf("  %-16s %s\n", c->name.c_str(), c->summary.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "tav: missing command (tav --help lists them)\n");
        return kExitUsage;
    }
    install_interrupt_handlers();
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage();
        return kExitOk;
    }
    if (name == "--version") {
        print_version();
        return kExitOk;
    }
    const Command* command = nullptr;
    for (const Command* c : all_commands())
        if (c->name == name)
            command = c;
    if (!command) {
        std::fprintf(stderr, "tav: unknown command '%s' (tav --help lists them)\n", name.c_str());
        return kExitUsage;
    }
    try {
        Args args(argc, argv, 2, command->options);
        if (args.help()) {
            std::fputs(command->help.c_str(), stdout);
            return kExitOk;
        }
        return command->run(args);
    } catch (const Failure& e) {
        std::cout.flush();
        std::fprintf(stderr, "tav: %s: %s\n", name.c_str(), e.what());
        return e.status();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tav: %s: out of memory\n", name.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tav: %s: %s\n", name.c_str(), e.what());
    }
    return kExitFailure;
}
