#pragma once
// A label as the list's sequence holds it: beside the label, its order key
// (ITavLabel::OrderKey), so that most steps of a search compare numbers in
// the sequence instead of reaching into label objects all over memory. The
// key is as fresh as the list's last computation of it.
#include <cstdint>
#include <optional>
#include <utility>

#include "tav/frame/interfaces.hpp"

namespace Korvu2::TAV::Objects {

struct LabelEntry {
    SharedHandle<ITavLabel> label;
    std::optional<uint64_t> key;

    static LabelEntry of(SharedHandle<ITavLabel> label) {
        std::optional<uint64_t> key = label->OrderKey();
        return LabelEntry{std::move(label), key};
    }
    void refresh_key() noexcept { key = label->OrderKey(); }
};

} // namespace Korvu2::TAV::Objects
