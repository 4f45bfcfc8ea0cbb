// Reading the values of labels, data and list metadata as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tav/tav.h>

namespace tavtool {

struct LabelValue {
    bool is_text = false;
    std::string text;          // string labels (UTF-8)
    std::vector<float> values; // vector labels
};

LabelValue label_value(TAVLABEL label);
// The text itself, or the values joined by commas.
std::string label_display(const LabelValue& value);
// Null when the data item is an image.
std::optional<std::vector<float>> vector_values(TAVDATA data);
// "image 24x24, 1 plane, u8" or "vector[4]: 0.5 1 2 3"; at most `shown` values.
std::string describe_data(TAVDATA data, size_t shown = 6);
// "u8", "f32", ... or the word in hex.
std::string pixel_type_name(uint32_t type);
std::string format_time(const SYSTEMTIME& time);
std::string format_float(float value);

// Length of the well-formed UTF-8 sequence at the start of `text` (no
// overlong forms, surrogates or values beyond U+10FFFF), or 0.
size_t utf8_sequence_length(std::string_view text);
bool is_utf8(std::string_view text);
// Text for a terminal or a line-based reader: control characters and bytes
// that are not UTF-8 as \t, \n, \r or \xNN, and the backslash as \\.
std::string escape_text(std::string_view text);

} // namespace tavtool
