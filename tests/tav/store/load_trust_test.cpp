// A load reads each payload window once by taking a data composite's items
// on trust; every file must get the verdict an index of every chunk header
// gives it, whatever its damage.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/list_file_bytes.hpp"
#include "tav/frame/error_codes.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/store/list_file_reader.hpp"
#include "tav/store/list_load.hpp"

using namespace Korvu2::TAV;

namespace {

// The code and item count of a load from an index of every chunk header.
std::pair<int32_t, std::size_t> full_walk(const std::string& bytes) {
    store::ListFileReader reader;
    if (const int32_t code = reader.open_bytes(bytes); code != 0)
        return {code, 0};
    try {
        return store::materialise_list(reader) ? std::pair(0, reader.item_count()) : std::pair(ErrInvalidOperation, 0);
    } catch (...) {
        return {ErrFile, 0};
    }
}

// The open code and item places of a reader's index.
std::pair<int32_t, std::vector<uint64_t>> index_of(const std::string& bytes, bool trusting) {
    store::ListFileReader reader;
    int32_t code = reader.open_bytes(bytes, trusting);
    if (trusting)
        code = reader.settle(code);
    std::vector<uint64_t> places;
    for (std::size_t i = 0; code == 0 && i < reader.item_count(); ++i)
        places.push_back(reader.item_payload(i).position);
    return {code, places};
}

// Both the load and a settled reader take items on trust.
void expect_same_verdict(const std::string& bytes, const std::string& what) {
    const store::LoadResult result = store::load_list_bytes(bytes);
    const std::size_t items = result.code == 0 ? Objects::AsList(*result.list).DataCount() : 0;
    EXPECT_EQ(std::pair(result.code, items), full_walk(bytes)) << what;
    EXPECT_EQ(index_of(bytes, true), index_of(bytes, false)) << what;
}

} // namespace

TEST(ListLoad, ItemsTakenOnTrustGiveTheVerdictOfEveryHeader) {
    const std::string sound = tav_test::list_file(tav_test::sample_string_vector_file());
    for (std::size_t at = 0; at < sound.size(); ++at) {
        for (char with : {'\0', '\xff'}) {
            std::string damaged = sound;
            damaged[at] = with;
            expect_same_verdict(damaged, "byte " + std::to_string(at) + " set to " + std::to_string(int(with)));
        }
        expect_same_verdict(sound.substr(0, at), "cut at " + std::to_string(at));
    }
    for (const auto& entry : std::filesystem::directory_iterator(TAV_CORPUS_DIR "/list_load")) {
        std::ifstream in(entry.path(), std::ios::binary);
        expect_same_verdict({std::istreambuf_iterator<char>(in), {}}, entry.path().filename().string());
    }
}
