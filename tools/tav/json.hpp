// The two JSON encodings the tool needs: strings and numbers.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace tavtool {

inline std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out + "\"";
}

// JSON has no NaN or infinity; they become null.
inline std::string json_number(double v) {
    if (!std::isfinite(v))
        return "null";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

} // namespace tavtool
