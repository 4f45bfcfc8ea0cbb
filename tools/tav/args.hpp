// Command-line arguments of one subcommand: positionals, valued options and
// flags, plus the parsers of the small value syntaxes the tool takes.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavtool {

struct OptionSet {
    std::set<std::string> valued; // "--size" takes a value
    std::set<std::string> flags;  // "--json" does not
};

class Args {
public:
    // Parses argv[first..argc). "--help" anywhere sets help(); "--" ends the
    // options. Unknown options throw UsageError.
    Args(int argc, char** argv, int first, const OptionSet& options);

    bool help() const { return help_; }
    bool flag(const std::string& name) const { return flags_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }
    // Throws UsageError unless there are exactly `count` positionals.
    void expect_positional(size_t count) const;

private:
    bool help_ = false;
    std::set<std::string> flags_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// "24x32" -> {24, 32}; both at least 1.
std::pair<int, int> parse_size(const std::string& text, const std::string& option);
// "a,b,c" with exactly `count` integers.
std::vector<int> parse_int_list(const std::string& text, size_t count, const std::string& option);
// One integer within [low, high].
int parse_int(const std::string& text, int low, int high, const std::string& option);
// "1.5,2,-3" -> floats; empty on a malformed list.
std::optional<std::vector<float>> parse_float_list(const std::string& text);

} // namespace tavtool
