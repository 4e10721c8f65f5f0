// Replays a fuzz corpus without libFuzzer: every regular file below the
// folder given on the command line is fed once to the fuzz entry point.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    std::size_t count = 0;
    std::error_code ec;
    // Absolute, because a reader may change the current folder.
    const auto corpus = std::filesystem::absolute(argv[1]);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus, ec)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++count;
    }
    if (ec) {
        std::fprintf(stderr, "cannot read corpus %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    std::printf("%zu inputs replayed\n", count);
    // An empty corpus tests nothing: a folder renamed or lost must fail.
    return count > 0 ? 0 : 1;
}
