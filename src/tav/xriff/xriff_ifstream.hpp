#pragma once
// The xriff reader: checks the file header, then walks the chunks one by one
// and hands each to the handler registered for its type. Every byte of the
// input is treated as hostile: a chunk whose payload would run past the end of
// the file is refused before any handler sees it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"
#include "tav/xriff/fixed_string.hpp"
#include "tav/xriff/xriff_fstream.hpp"

namespace vxIO {

template <int V>
class basic_xriff_ifstream : public basic_xriff_fstream<V> {
public:
    // Called with (type, name, payload size, position of the first payload byte).
    using handler_t = std::function<void(const xriff_fixed_string<8>&, const xriff_fixed_string<16>&, uint64_t,
                                         uint64_t)>;

    // The table starts with "NULLCHNK" mapped to a handler that does nothing.
    basic_xriff_ifstream();
    ~basic_xriff_ifstream() override;

    // Opens a file for reading, closing one that is open.
    void open(const std::filesystem::path& path);
    // Reads from a copy of the given bytes instead of a file.
    void open_memory(std::string bytes);
    bool is_open() const { return in_ != nullptr; }
    void close();

    // Checks the magic and reads the file name.
    void read_header();
    // Skips NUL bytes, reads one chunk header and dispatches it. Returns false
    // at the end of the file. A composite's payload is entered, not skipped.
    bool parse_next();

    // Reads exactly n bytes at the current position.
    void read(void* buffer, uint64_t n);
    void seek(uint64_t position);
    // Seeks and reads as one operation under the read lock.
    void read_at(uint64_t position, void* buffer, uint64_t n);
    uint64_t tell() const { return pos_; }
    // Length of the input when it was opened.
    uint64_t size() const { return size_; }
    // Clears the stream's state flags.
    void clear_state();

    void set_handler(const xriff_fixed_string<8>& type, handler_t handler);
    void remove_handler(const xriff_fixed_string<8>& type);
    // Called for types without an entry; when empty, dispatching such a chunk
    // throws std::bad_function_call.
    void set_default_handler(handler_t handler);

private:
    void require_open() const;

    std::unique_ptr<std::istringstream> memory_;
    std::istream* in_ = nullptr;
    uint64_t size_ = 0;
    // Tracked here so that walking the file needs no position queries.
    uint64_t pos_ = 0;
    std::map<xriff_fixed_string<8>, handler_t> handlers_;
    handler_t default_handler_;
};

extern template class basic_xriff_ifstream<1>;
using xriff_ifstream = basic_xriff_ifstream<1>;

} // namespace vxIO
