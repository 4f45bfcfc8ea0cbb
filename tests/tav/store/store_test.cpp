// The store: the bytes it writes and the reference pairs in them, loading
// sound and faulty files, and replacing what stood at the path whole (keeping
// its mode) or, on failure, leaving it as it was and no trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/list_file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_store.hpp"
#include "tav/store/reference_pairs.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;
using namespace tav_test;

namespace {

void add(SharedHandle<ITav>& list, std::vector<float> values, const std::string& label) {
    auto data = make_object<CDataFloat32Vector>(std::move(values));
    AsList(*list).AddItem(*data, *make_object<CLabelString>(label));
}

// A list of string labels and vector data of dimension 2 with `items` items.
SharedHandle<ITav> list_of(std::size_t items, int32_t dimension = 2) {
    auto list = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(dimension));
    for (std::size_t i = 0; i < items; ++i)
        add(list, std::vector<float>(dimension, float(i)), "label " + std::to_string(i % 7));
    return list;
}

// Times that no clock gives by chance.
constexpr SYSTEMTIME kCreated{2021, 3, 2, 9, 8, 7, 6, 5};
constexpr SYSTEMTIME kModified{2022, 4, 5, 10, 11, 12, 13, 14};

// The bytes write_list gives, without the replacement of a file (and its
// flush to the device), which a test of the layout does not need.
std::string written(const SharedHandle<ITav>& list) {
    static const TempDir dir(true);
    const std::string path = dir.file("written.tav");
    vxIO::xriff_ofstream writer;
    writer.open(path, store::kFileName);
    store::write_list(writer, AsList(*list));
    writer.close();
    return read_bytes(path);
}

std::string stored(const SharedHandle<ITav>& list) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    EXPECT_EQ(store::store_list_file(AsList(*list), path), 0);
    return read_bytes(path);
}

TEST(ListStore, ListMatchesTheLayoutByteForByte) {
    // The list of sample_string_vector_file(), its labels added out of order:
    // every chunk, the optional ones included, as list_file() spells it out.
    auto list = list_of(0);
    add(list, {1, 2}, "b");
    add(list, {3, 4}, "a");
    add(list, {5, 6}, "b");
    auto& l = AsList(*list);
    l.SetTimes(kCreated, kModified);
    l.SetComment("note");
    l.LabelAt(1)->SetExcluded(true);
    l.SetMaskData(make_object<CDataFloat32Vector>(std::vector<float>{0.5f, -0.5f}));
    EXPECT_EQ(stored(list), list_file(sample_string_vector_file()));

    // Clearing the flag drops the chunk from the next store.
    l.LabelAt(1)->SetExcluded(false);
    EXPECT_EQ(stored(list).find(fixed("Excluded", 16)), std::string::npos);
}

TEST(ReferencePairs, FollowLabelOrderThenReferenceOrderAndLeaveOutStrangers) {
    auto list = list_of(0, 1);
    // Data order: c a b a c b; labels sorted a b c.
    for (const char* label : {"c", "a", "b", "a", "c", "b"})
        add(list, {float(label[0])}, label);
    const std::vector<uint32_t> pairs{0, 1, 0, 3, 1, 2, 1, 5, 2, 0, 2, 4};
    EXPECT_EQ(store::reference_pairs(AsList(*list)), pairs);

    // A reference to an item outside the list is left out; one to an item
    // that has gone fails the store.
    auto stray = make_object<CDataFloat32Vector>(std::vector<float>{2});
    AsList(*list).LabelAt(0)->DataReferences().push_back(LinkHandle<ITavData>(stray.handle()));
    EXPECT_EQ(store::reference_pairs(AsList(*list)), pairs);
    stray.reset();
    EXPECT_THROW(store::reference_pairs(AsList(*list)), ztkBase::bad_weak_ptr);
    TempDir dir;
    EXPECT_EQ(store::store_list_file(AsList(*list), dir.file("x.tav")), ErrFile);
    EXPECT_TRUE(dir.names().empty());
}

std::string text_of(const ITavLabel& l) { return dynamic_cast<const CLabelString&>(l).Text(); }

TEST(ListLoad, SoundFileGivesEveryPart) {
    const std::string bytes = list_file(sample_string_vector_file());
    auto result = store::load_list_bytes(bytes);
    ASSERT_EQ(result.code, 0);
    // The store's layout is pinned apart: storing again gives the same file
    // only if data, labels, references, flags, mask, info and types all came in.
    EXPECT_EQ(written(result.list), bytes);
    auto& list = AsList(*result.list);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(list.DataAt(i)->Label());
        EXPECT_EQ(text_of(*list.DataAt(i)->Label()), i == 1 ? "a" : "b") << i;
    }
    // Loading is no change: a new label still sorts in.
    add(result.list, {7, 8}, "ab");
    EXPECT_EQ(text_of(*list.LabelAt(1)), "ab");
}

TEST(ListLoad, FaultyFilesGetTheirCodes) {
    using Edit = std::function<void(std::vector<FileChunk>&)>;
    // Sets a field of a top-level chunk, or of its child'th child.
    auto set = [](const char* name, int child, std::string FileChunk::*field, std::string value) -> Edit {
        return [=](std::vector<FileChunk>& f) {
            FileChunk* c = chunk_named(f, name);
            (child < 0 ? *c : c->children[child]).*field = value;
        };
    };
    auto info = [&](int child, std::string value) { return set("TavInfo2", child, &FileChunk::payload, value); };
    auto data = [&](std::string value) { return set("TavData", 1, &FileChunk::payload, value); };
    auto refs = [&](std::string value) { return set("LabelRefs", -1, &FileChunk::payload, value); };
    const std::pair<Edit, int32_t> cases[] = {
        {info(3, u32s({2, 2})), ErrInvalidOperation}, // data type enum 2
        {info(4, u32s({7})), ErrInvalidOperation},    // label type enum 7
        {[](auto& f) { chunk_named(f, "TavInfo2")->children.pop_back(); }, ErrInvalidOperation},
        {set("TavInfo2", 3, &FileChunk::name, "x"), ErrInvalidOperation},
        {info(3, std::string("\1\0", 2)), ErrFile},
        {info(3, u32s({1})), ErrFile}, // vector data type without dimension
        {info(1, u16s({2021, 3, 2, 9, 8, 7, 6, 5}).substr(0, 15)), ErrFile},
        {data(f32s({1})), ErrFile},
        {data("abcdefg"), ErrFile},
        {set("TavData", 0, &FileChunk::type, "ZTIMGZ9 "), ErrFile}, // compressed image among vectors
        {set("TavData", 0, &FileChunk::type, "ZTIMG9  "), ErrFile},
        {[](auto& f) { chunk_named(f, "TavLabels")->children.push_back(composite("x", {})); }, ErrFile},
        {set("TavLabels", 0, &FileChunk::payload, ""), ErrFile},
        {set("TavLabels", 0, &FileChunk::type, "ARRYFL32"), ErrFile},
        {refs(u32s({0, 1, 1})), ErrFile},
        {refs(u32s({0, 1}) + "x"), ErrFile},
        {refs(u32s({2, 0})), ErrFile},          // label index past the labels
        {refs(u32s({0, 3})), ErrFile},          // data index past the data
        {refs(u32s({0, 0xFFFFFFFF})), ErrFile},
        {refs(u32s({0, 1, 1, 1})), ErrFile},    // data entry in two pairs
        {refs(u32s({0, 1, 0, 1})), ErrFile},    // data entry twice in one label
        {set("Excluded", -1, &FileChunk::payload, u32s({2})), ErrFile},
        {set("Excluded", -1, &FileChunk::payload, "\1\0"), ErrFile},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto file = sample_string_vector_file();
        cases[i].first(file);
        auto result = store::load_list_bytes(list_file(file));
        EXPECT_EQ(result.code, cases[i].second) << i;
        EXPECT_FALSE(result.list) << i;
    }
}

TEST(ListLoad, MissingChunksTakeTheirDefaults) {
    const std::pair<std::vector<std::string>, std::function<void(CSampleImageListBase&)>> cases[] = {
        {{"LabelRefs"},
         [](auto& l) {
             EXPECT_FALSE(l.DataAt(0)->LabelLink());
             EXPECT_TRUE(l.LabelAt(0)->DataReferences().empty());
         }},
        {{"Excluded"}, [](auto& l) { EXPECT_FALSE(l.LabelAt(1)->Excluded()); }},
        {{"MaskData"}, [](auto& l) { EXPECT_FALSE(l.MaskData()); }},
        {{"TavData", "LabelRefs"}, [](auto& l) { EXPECT_EQ(l.DataCount(), 0u); }},
    };
    for (const auto& [names, check] : cases) {
        auto file = sample_string_vector_file();
        std::erase_if(file, [&](const FileChunk& c) { return std::count(names.begin(), names.end(), c.name) > 0; });
        auto result = store::load_list_bytes(list_file(file));
        ASSERT_EQ(result.code, 0) << names[0];
        check(AsList(*result.list));
    }
}

// Labels stored out of order stay as stored, and adding an equal label still
// finds the one held instead of holding it twice.
TEST(ListLoad, LabelsStoredOutOfOrderAreStillFound) {
    auto file = sample_string_vector_file();
    chunk_named(file, "TavLabels")->children = {leaf("TXTUTF8 ", "", "b"), leaf("TXTUTF8 ", "", "a")};
    auto result = store::load_list_bytes(list_file(file));
    ASSERT_EQ(result.code, 0);
    for (const char* text : {"a", "b"})
        add(result.list, {7, 8}, text);
    EXPECT_EQ(AsList(*result.list).LabelCount(), 2u);
}

TEST(ListLoad, NotAListFileIsRefused) {
    const std::string valid = list_file(sample_string_vector_file());
    for (std::string bytes : {std::string(), std::string("ZTKXRIFF"), valid.substr(0, 32),
                              "ZTKXRIFF" + std::string(8, '\0') + valid.substr(16)}) {
        auto result = store::load_list_bytes(bytes);
        EXPECT_EQ(result.code, bytes.size() == 32 ? ErrInvalidOperation : ErrFile) << bytes.size();
    }
    EXPECT_EQ(store::load_list_file("/nonexistent/list.tav").code, ErrFile);
    EXPECT_EQ(store::load_list_file("/").code, ErrFile);
}

// Runs f in a child process; its exit status, or -1 if it did not exit.
int in_child(const std::function<int()>& f) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(f());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

mode_t mode_of(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

TEST(StoreFailure, OldFileSurvivesAWriteThatRunsOutOfRoom) {
    // Limits below and above the writer's buffer: the failure comes in the
    // middle of the writing, or only with the final flush.
    const std::pair<std::size_t, rlim_t> cases[] = {{2000, 64 * 1024}, {2000, 100 * 1024}, {20, 2000}, {3, 300}};
    for (const auto& [items, limit] : cases) {
        TempDir dir;
        const std::string path = dir.file("list.tav"), old = "the previous content of the file";
        write_bytes(path, old);
        auto list = list_of(items, 16);
        // Files may not grow past the limit; the write that would is refused
        // (EFBIG) rather than killing the process.
        EXPECT_EQ(in_child([&] {
                      std::signal(SIGXFSZ, SIG_IGN);
                      rlimit r{limit, limit};
                      ::setrlimit(RLIMIT_FSIZE, &r);
                      return store::store_list_file(AsList(*list), path) == ErrFile ? 0 : 1;
                  }),
                  0)
            << items << " " << limit;
        EXPECT_EQ(read_bytes(path), old);
        EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
    }
}

// Each row prepares the folder and stores over its path in a child (with
// the umask 022, or 027, and as nobody where write protection is tested: it
// does not bind a privileged user). A refused store leaves every old file's
// bytes and no other entry; a store replaces the file a link leads to, keeps
// the old file's mode, and writes a device in place.
TEST(StoreReplace, TargetsAreReplacedWholeOrLeftAlone) {
    namespace fs = std::filesystem;
    struct Row {
        const char* path; // in the folder; "" is the empty path
        std::function<void(const TempDir&)> prepare;
        int32_t code;
        std::set<std::string> names;
        std::function<bool(const TempDir&)> check = [](const TempDir&) { return true; };
        mode_t mask = 022;
        bool nobody = false;
    };
    auto none = [](const TempDir&) {};
    auto old_file = [](const char* name, mode_t mode) {
        return [=](const TempDir& d) { write_bytes(d.file(name), "old"), ::chmod(d.file(name).c_str(), mode); };
    };
    auto mode_is = [](const char* name, mode_t mode) {
        return [=](const TempDir& d) { return (mode_of(d.file(name)) & 07777) == mode; };
    };
    const Row rows[] = {
        {"missing/list.tav", none, ErrFile, {}},
        {"missing/", none, ErrFile, {}},
        {"", none, ErrFile, {}},
        {"./", none, ErrFile, {}},
        {"list.tav", [](const TempDir& d) { fs::create_directory(d.file("list.tav")); }, ErrFile, {"list.tav"},
         [](const TempDir& d) { return fs::is_directory(d.file("list.tav")); }},
        {"list.tav", old_file("list.tav", 0604), 0, {"list.tav"}, mode_is("list.tav", 0604)},
        {"new.tav", none, 0, {"new.tav"}, mode_is("new.tav", 0640), 027},
        {"list.tav", [&](const TempDir& d) { old_file("list.tav", 0444)(d), ::chmod(d.path().c_str(), 0777); },
         ErrFile, {"list.tav"}, [](const TempDir&) { return true; }, 022, true},
        {"link.tav",
         [](const TempDir& d) { write_bytes(d.file("real.tav"), "old"), fs::create_symlink("real.tav", d.file("link.tav")); },
         0, {"link.tav", "real.tav"},
         [](const TempDir& d) {
             return fs::is_symlink(d.file("link.tav")) && store::load_list_file(d.file("real.tav")).code == 0;
         }},
        {"/dev/null", none, 0, {}, [](const TempDir&) { return S_ISCHR(mode_of("/dev/null")); }},
    };
    auto list = list_of(3);
    for (const Row& row : rows) {
        TempDir dir;
        row.prepare(dir);
        std::map<std::string, std::string> before;
        for (const std::string& name : dir.names())
            if (fs::is_regular_file(fs::symlink_status(dir.file(name))))
                before[name] = read_bytes(dir.file(name));
        const std::string path = *row.path ? dir.file(row.path) : std::string();
        EXPECT_EQ(in_child([&] {
                      ::umask(row.mask);
                      if (row.nobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                          return 2;
                      return store::store_list_file(AsList(*list), path) == row.code ? 0 : 1;
                  }),
                  0)
            << row.path;
        EXPECT_EQ(dir.names(), row.names) << row.path;
        EXPECT_TRUE(row.check(dir)) << row.path;
        for (const auto& [name, bytes] : before) {
            if (row.code != 0) {
                EXPECT_EQ(read_bytes(dir.file(name)), bytes) << row.path << " " << name;
            }
        }
    }
}

} // namespace
