#include "args.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "failure.hpp"

namespace tavtool {

Args::Args(int argc, char** argv, int first, const OptionSet& options) {
    bool options_done = false;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (options_done || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "--help") {
            help_ = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inline_value;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inline_value = arg.substr(eq + 1);
        }
        if (options.flags.count(name) && !inline_value) {
            flags_.insert(name);
        } else if (options.valued.count(name)) {
            if (!inline_value) {
                if (i + 1 >= argc)
                    throw UsageError("option " + name + " needs a value");
                inline_value = argv[++i];
            }
            values_[name] = *inline_value;
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
}

std::optional<std::string> Args::value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

void Args::expect_positional(size_t count) const {
    if (positional_.size() < count)
        throw UsageError("missing arguments (see --help)");
    if (positional_.size() > count)
        throw UsageError("unexpected argument '" + positional_[count] + "'");
}

namespace {

std::optional<long long> to_integer(const std::string& text) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

} // namespace

int parse_int(const std::string& text, int low, int high, const std::string& option) {
    auto v = to_integer(text);
    if (!v || *v < low || *v > high)
        throw UsageError(option + ": expected an integer from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", got '" + text + "'");
    return static_cast<int>(*v);
}

std::pair<int, int> parse_size(const std::string& text, const std::string& option) {
    auto parts = split(text, 'x');
    if (parts.size() != 2)
        throw UsageError(option + ": expected WIDTHxHEIGHT, got '" + text + "'");
    // Far beyond any sample image, and small enough that W*H*planes fits.
    constexpr int kMaxSide = 16384;
    return {parse_int(parts[0], 1, kMaxSide, option), parse_int(parts[1], 1, kMaxSide, option)};
}

std::vector<int> parse_int_list(const std::string& text, size_t count, const std::string& option) {
    auto parts = split(text, ',');
    if (parts.size() != count)
        throw UsageError(option + ": expected " + std::to_string(count) + " comma-separated integers, got '" +
                         text + "'");
    std::vector<int> values;
    for (const auto& p : parts)
        values.push_back(parse_int(p, -1000000, 1000000, option));
    return values;
}

std::optional<std::vector<float>> parse_float_list(const std::string& text) {
    std::vector<float> values;
    for (const auto& p : split(text, ',')) {
        if (p.empty())
            return std::nullopt;
        errno = 0;
        char* end = nullptr;
        float v = std::strtof(p.c_str(), &end);
        if (errno != 0 || end != p.c_str() + p.size())
            return std::nullopt;
        values.push_back(v);
    }
    return values;
}

} // namespace tavtool
