// The subcommands: name, one-line summary, help text, options and entry.
#pragma once

#include <string>
#include <vector>

#include "args.hpp"
#include "failure.hpp"

namespace tavtool {

struct Command {
    std::string name;
    std::string summary;
    std::string help; // usage line first, then a description
    OptionSet options;
    int (*run)(const Args& args);
};

extern const Command kInfoCommand;
extern const Command kLsCommand;
extern const Command kVerifyCommand;
extern const Command kImportKorvuCommand;
extern const Command kCreateFromDirCommand;
extern const Command kExportCommand;
extern const Command kSetCommentCommand;
extern const Command kExcludeCommand;

} // namespace tavtool
