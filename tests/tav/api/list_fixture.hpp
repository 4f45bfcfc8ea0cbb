#pragma once
// Building small lists through the public functions, and recording every
// error report (some functions report twice).
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

namespace list_test {

// Every report made while it lives, in order.
class ReportLog {
public:
    struct Entry {
        int32_t code;
        std::string message;
        std::string function;
        bool operator==(const Entry&) const = default;
    };
    ReportLog() { ZtSetErrorHandler(&ReportLog::record, this); }
    ~ReportLog() { ZtSetErrorHandler(nullptr, nullptr); }
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    std::vector<Entry> take() { return std::exchange(entries_, {}); }

private:
    static void record(void* context, int32_t code, const char* message, const char* function) {
        static_cast<ReportLog*>(context)->entries_.push_back({code, message ? message : "", function ? function : ""});
    }
    std::vector<Entry> entries_;
};

inline std::ostream& operator<<(std::ostream& out, const ReportLog::Entry& e) {
    return out << std::hex << e.code << std::dec << " '" << e.message << "' " << e.function;
}

inline std::vector<ReportLog::Entry> reports(std::initializer_list<ReportLog::Entry> entries) { return entries; }

// A list of string labels over one-element vector data, owning its handles.
struct StringVectorList {
    TAVLABELTYPE labelType = TavCreateLabelTypeString();
    TAVDATATYPE dataType = TavCreateDataTypeFloatVector(1);
    TAV list = TavCreate(labelType, dataType);

    StringVectorList() = default;
    StringVectorList(const StringVectorList&) = delete;
    StringVectorList& operator=(const StringVectorList&) = delete;
    ~StringVectorList() {
        for (ZTHANDLE h : {list, labelType, dataType})
            if (h != 0)
                ZtRelease(h);
    }

    // Adds an item with label text and data value; the caller's objects are
    // released again.
    int32_t add(const char* text, float value) const {
        TAVLABEL label = TavCreateStringLabel(text);
        TAVDATA data = TavCreateVectorData(&value, 1);
        int32_t status = TavAddItem(list, data, label);
        ZtRelease(label);
        ZtRelease(data);
        return status;
    }
};

inline std::string label_text(TAVLABEL label) {
    uint64_t size = 0;
    if (TavGetStringLabel(label, nullptr, &size) != 0)
        return "<none>";
    std::string text(size, '\0');
    TavGetStringLabel(label, text.data(), &size);
    text.pop_back();
    return text;
}

inline float data_value(TAVDATA data) {
    float value = -1;
    uint64_t count = 1;
    TavGetFloatVectorData(data, &value, &count);
    return value;
}

inline std::vector<std::string> label_texts(TAV list) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < TavGetNumLabelEntries(list); ++i)
        texts.push_back(label_text(TavGetLabel(list, i)));
    return texts;
}

inline std::vector<float> data_values(TAV list) {
    std::vector<float> values;
    for (int32_t i = 0; i < TavGetNumDataEntries(list); ++i)
        values.push_back(data_value(TavGetData(list, i)));
    return values;
}

inline auto as_tuple(const SYSTEMTIME& t) {
    return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

} // namespace list_test
