#include <cstring>

#include "list_fixture.hpp"

using namespace list_test;

namespace {

// Null and empty values reach these creators through the adders and the label
// changes, whose tables pin the creators' own reports; here the one refusal
// they cannot provoke: a count too large to copy.
TEST(CreateLabelOrVectorData, RefusesCountsTooLargeToCopy) {
    const float v[] = {1};
    const char* noMemory = "Object creation failed unexpectedly; potentially the system is running out of the "
                           "necessary resources";
    expect_calls({
        {"too many values", [&] { return int64_t(TavCreateVectorLabel(v, UINT64_MAX)); }, 0,
         refusal(TAV_E_OUT_OF_MEMORY, "TavCreateVectorLabel", noMemory)},
        {"too much data", [&] { return int64_t(TavCreateVectorData(v, UINT64_MAX)); }, 0,
         refusal(TAV_E_OUT_OF_MEMORY, "TavCreateVectorData", noMemory)},
    });
}

// The value getters of labels and data share one protocol; only the vector
// getters report a too small buffer, and they need no room for a terminator.
// Each refuses a value of the other class.
TEST(ValueGetters, BufferProtocol) {
    const float five[] = {1, 2, 3, 4, 5};
    Owned owned;
    const TAVLABEL text = owned.hold(TavCreateStringLabel("abc")), values = owned.hold(TavCreateVectorLabel(five, 3));
    const TAVDATA data = owned.hold(TavCreateVectorData(five, 5));
    const TAVDATA image = owned.hold(TavCreateImageData(owned.hold(ZtImageCreate(2, 2, 1, ZT_DT_U8)), 0, 0, 2, 2));
    const int32_t small = TAV_E_BUFFER_TOO_SMALL, invalid = TAV_E_INVALID_ARGUMENT, incompatible = TAV_E_INCOMPATIBLE;
    struct Getter {
        const char* function;
        uint64_t needed, unit;
        bool reports;
        ZTHANDLE right, wrong; // a value of the getter's class, and one of the other class
        int32_t (*call)(ZTHANDLE, void*, uint64_t*);
    } getters[] = {
        {"TavGetStringLabel", 4, 1, false, text, values,
         [](ZTHANDLE h, void* b, uint64_t* s) { return TavGetStringLabel(h, (char*)b, s); }},
        {"TavGetStringLabelW", 4, 2, false, text, values,
         [](ZTHANDLE h, void* b, uint64_t* s) { return TavGetStringLabelW(h, (char16_t*)b, s); }},
        {"TavGetFloatVectorLabel", 3, 4, true, values, text,
         [](ZTHANDLE h, void* b, uint64_t* s) { return TavGetFloatVectorLabel(h, (float*)b, s); }},
        {"TavGetFloatVectorData", 5, 4, true, data, image,
         [](ZTHANDLE h, void* b, uint64_t* s) { return TavGetFloatVectorData(h, (float*)b, s); }},
    };
    for (const Getter& g : getters) {
        SCOPED_TRACE(g.function);
        std::vector<uint8_t> buffer(64, 0x55);
        uint64_t size = 7;
        EXPECT_EQ(g.call(g.right, nullptr, &size), 0);
        EXPECT_EQ(size, g.needed);
        size = g.needed - 1;
        expect_calls({{"too small", [&] { return g.call(g.right, buffer.data(), &size); }, small,
                       g.reports ? refusal(small, g.function) : Reports{}},
                      fails("no size", [&] { return g.call(g.right, nullptr, nullptr); }, invalid, g.function),
                      fails("other class", [&] { return g.call(g.wrong, nullptr, &size); }, incompatible, g.function)});
        EXPECT_EQ(size, g.needed - 1);
        EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0x55));
        for (uint64_t given : {g.needed, g.needed + 5}) {
            size = given;
            EXPECT_EQ(g.call(g.right, buffer.data(), &size), 0);
            EXPECT_EQ(size, g.needed);
            EXPECT_EQ(buffer[g.needed * g.unit], 0x55); // nothing written past the value
        }
        float last = 0; // the last vector value came through
        std::memcpy(&last, &buffer[(g.needed - 1) * g.unit], sizeof last);
        EXPECT_TRUE(g.unit != 4 || last == float(g.needed));
    }
}

} // namespace
