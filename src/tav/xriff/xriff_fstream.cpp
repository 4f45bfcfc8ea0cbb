#include "tav/xriff/xriff_fstream.hpp"

namespace vxIO {

namespace {
constexpr std::size_t stream_buffer_size = 1024 * 1024;
}

template <int V>
basic_xriff_fstream<V>::basic_xriff_fstream() : buffer_(new char[stream_buffer_size]) {
    // The buffer must be installed before the stream is first opened.
    file_.rdbuf()->pubsetbuf(buffer_.get(), stream_buffer_size);
}

template <int V>
basic_xriff_fstream<V>::~basic_xriff_fstream() = default;

template class basic_xriff_fstream<1>;

} // namespace vxIO
