#include "list_text.hpp"

#include <cstdio>

#include "failure.hpp"

namespace tavtool {

LabelValue label_value(TAVLABEL label) {
    LabelValue v;
    uint64_t count = 0;
    if (TavGetFloatVectorLabel(label, nullptr, &count) == 0) {
        v.values.resize(count);
        if (count && TavGetFloatVectorLabel(label, v.values.data(), &count) != 0)
            fail_library("cannot read a label");
        return v;
    }
    uint64_t size = 0;
    if (TavGetStringLabel(label, nullptr, &size) != 0 || size == 0)
        fail_library("cannot read a label");
    std::string text(size, '\0');
    if (TavGetStringLabel(label, text.data(), &size) != 0)
        fail_library("cannot read a label");
    text.resize(size - 1);
    v.is_text = true;
    v.text = std::move(text);
    return v;
}

std::string format_float(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}

std::string label_display(const LabelValue& value) {
    if (value.is_text)
        return value.text;
    std::string out;
    for (size_t i = 0; i < value.values.size(); ++i)
        out += (i ? "," : "") + format_float(value.values[i]);
    return out;
}

std::optional<std::vector<float>> vector_values(TAVDATA data) {
    uint64_t count = 0;
    if (TavGetFloatVectorData(data, nullptr, &count) != 0)
        return std::nullopt;
    std::vector<float> values(count);
    if (count && TavGetFloatVectorData(data, values.data(), &count) != 0)
        fail_library("cannot read vector data");
    return values;
}

std::string pixel_type_name(uint32_t type) {
    switch (type & 0x3ff) {
    case ZT_DT_U8: return "u8";
    case ZT_DT_S8: return "s8";
    case ZT_DT_U16: return "u16";
    case ZT_DT_S16: return "s16";
    case ZT_DT_U32: return "u32";
    case ZT_DT_S32: return "s32";
    case ZT_DT_U64: return "u64";
    case ZT_DT_S64: return "s64";
    case ZT_DT_F32: return "f32";
    case ZT_DT_F64: return "f64";
    default: break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%03x", type);
    return hex;
}

std::string describe_data(TAVDATA data, size_t shown) {
    ZTIMAGE image = 0;
    if (TavGetImageData(data, &image) == 0 && image) {
        const int planes = ZtImagePlaneCount(image);
        return "image " + std::to_string(ZtImageWidth(image)) + "x" + std::to_string(ZtImageHeight(image)) + ", " +
               std::to_string(planes) + (planes == 1 ? " plane, " : " planes, ") +
               pixel_type_name(ZtImagePlaneDataType(image, 0));
    }
    auto values = vector_values(data);
    if (!values)
        return "unreadable data";
    std::string out = "vector[" + std::to_string(values->size()) + "]:";
    for (size_t i = 0; i < values->size() && i < shown; ++i)
        out += " " + format_float((*values)[i]);
    if (values->size() > shown)
        out += " ...";
    return out;
}

std::string format_time(const SYSTEMTIME& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return buffer;
}

size_t utf8_sequence_length(std::string_view text) {
    if (text.empty())
        return 0;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t length;
    uint32_t value;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, value = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, value = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, value = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80)
            return 0;
        value = value << 6 | (byte(i) & 0x3f);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
        return 0;
    return length;
}

bool is_utf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = utf8_sequence_length(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string escape_text(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        const size_t length = utf8_sequence_length(text);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (length == 0 || c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
    }
    return out;
}

} // namespace tavtool
