#include "tav/xriff/xriff_directory.hpp"

namespace vxIO {

template <int V>
basic_xriff_directory<V>::basic_xriff_directory()
    : observer_(std::make_shared<aux_parse_observer_t>(aux_parse_observer_t{this})) {}

template <int V>
basic_xriff_directory<V>::~basic_xriff_directory() = default;

template <int V>
void basic_xriff_directory<V>::build() {
    entries_.clear();
    composite_ends_.clear();
    // Null chunks are indexed like all others.
    reader_.remove_handler(xriff_type::null_chunk);
    reader_.set_default_handler(
        [observer = observer_](const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name, uint64_t size,
                               uint64_t position) { (*observer)(type, name, size, position); });
    try {
        while (reader_.parse_next()) {
        }
    } catch (...) {
        entries_.clear();
        composite_ends_.clear();
        throw;
    }
    reader_.clear_state();
}

template <int V>
void basic_xriff_directory<V>::record(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                                      uint64_t size, uint64_t position) {
    // Composites that end at or before this chunk's header are closed. This
    // also closes a composite whose last child is an empty composite, or
    // whose size covers NUL padding after its last child.
    const uint64_t header_start = position - xriff_header_size;
    while (!composite_ends_.empty() && composite_ends_.back() <= header_start)
        composite_ends_.pop_back();
    // The reader has checked that the payload lies inside the file, so
    // position + size cannot overflow.
    if (!composite_ends_.empty() && position + size > composite_ends_.back())
        throw std::xriff_io_error("chunk runs past the end of its composite");
    entries_.emplace_back(composite_ends_.size(), type, name, size, position);
    if (type == xriff_type::composite && size != 0)
        composite_ends_.push_back(position + size);
}

template <int V>
typename basic_xriff_directory<V>::const_iterator basic_xriff_directory<V>::find(
    const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name) const {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->type == type && it->name == name)
            return it;
    return entries_.end();
}

template <int V>
typename basic_xriff_directory<V>::entry_range basic_xriff_directory<V>::children(
    const_iterator composite) const {
    if (composite == entries_.end())
        return {composite, composite};
    auto first = std::next(composite);
    auto last = first;
    while (last != entries_.end() && last->level > composite->level)
        ++last;
    return {first, last};
}

template <int V>
void basic_xriff_directory<V>::read_at(const chunkdata_t& entry, void* buffer, uint64_t n) {
    if (n > entry.size)
        throw std::xriff_io_error("read past end of chunk");
    reader_.read_at(entry.position, buffer, n);
}

template <int V>
std::vector<char> basic_xriff_directory<V>::read_payload(const chunkdata_t& entry) {
    // Never allocate more than the file can hold, whatever the entry says.
    if (entry.position > reader_.size() || entry.size > reader_.size() - entry.position)
        throw std::xriff_eof_error();
    std::vector<char> bytes(entry.size);
    reader_.read_at(entry.position, bytes.data(), entry.size);
    return bytes;
}

template class basic_xriff_directory<1>;

} // namespace vxIO
