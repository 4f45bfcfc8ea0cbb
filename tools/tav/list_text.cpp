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

std::string list_comment(TAV list) {
    uint64_t size = 0;
    if (TavGetComment(list, nullptr, &size) != 0)
        fail_library("cannot read the comment");
    if (size <= 1)
        return {};
    std::string text(size, '\0');
    if (TavGetComment(list, text.data(), &size) != 0)
        fail_library("cannot read the comment");
    text.resize(size - 1);
    return text;
}

} // namespace tavtool
