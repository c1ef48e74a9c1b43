// A main() for fuzz targets where libFuzzer is not linked (GCC builds): runs the target over every
// file of the corpus folders and files given, then over a fixed number of inputs mutated from
// them with a fixed seed, so that a run in the test suite is repeatable. A failing input is
// written to the current folder first, to be replayed by naming it.
// Usage: TARGET [--runs N] [--seed S] PATH...

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#include <sanitizer/common_interface_defs.h>
#define OSTROVID_SANITIZER_DEATH_CALLBACK 1
#endif

namespace {

using Input = std::vector<uint8_t>;

// The input under test, saved by the abort handler before the process dies.
const Input* current = nullptr;

void WriteCurrentInput() {
    if (current != nullptr) {
        std::ofstream out("fuzz-crash-input", std::ios::binary);
        out.write(reinterpret_cast<const char*>(current->data()), std::streamsize(current->size()));
        std::fprintf(stderr, "fuzz: failing input written to ./fuzz-crash-input (%zu bytes)\n", current->size());
    }
}

void SaveCurrentInput(int) {
    WriteCurrentInput();
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

Input ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Run(const Input& input) {
    current = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
    current = nullptr;
}

// One to four edits of the kinds libFuzzer makes most: bytes changed, inserted, erased, copied
// within the input or from another input, and cuts.
Input Mutate(const std::vector<Input>& corpus, std::mt19937_64& random) {
    auto below = [&](size_t n) { return n == 0 ? size_t(0) : size_t(random() % n); };
    Input input = corpus[below(corpus.size())];
    const int edits = 1 + int(below(4));
    for (int e = 0; e < edits; ++e) {
        const size_t at = below(input.size() + 1);
        switch (below(7)) {
        case 0:
            if (at < input.size()) input[at] ^= uint8_t(1u << below(8));
            break;
        case 1:
            if (at < input.size()) input[at] = uint8_t(random());
            break;
        case 2:
            input.insert(input.begin() + std::ptrdiff_t(at), 1 + below(8), uint8_t(random()));
            break;
        case 3:
            input.erase(input.begin() + std::ptrdiff_t(at),
                        input.begin() + std::ptrdiff_t(std::min(input.size(), at + 1 + below(16))));
            break;
        case 4: {
            const Input& other = corpus[below(corpus.size())];
            const size_t from = below(other.size());
            const size_t count = std::min(other.size() - from, 1 + below(64));
            input.insert(input.begin() + std::ptrdiff_t(at), other.begin() + std::ptrdiff_t(from),
                         other.begin() + std::ptrdiff_t(from + count));
            break;
        }
        case 5:
            input.resize(at);
            break;
        default:
            if (!input.empty()) input[0] = uint8_t(random());  // the same bytes read another way
            break;
        }
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 0;
    uint64_t seed = 1;
    std::vector<Input> corpus;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) corpus.push_back(ReadFile(file));
        } else if (std::filesystem::is_regular_file(arg)) {
            corpus.push_back(ReadFile(arg));
        } else {
            std::fprintf(stderr, "fuzz: no such file or folder: %s\n", arg.c_str());
            return 2;
        }
    }
    if (corpus.empty()) {
        std::fprintf(stderr, "usage: %s [--runs N] [--seed S] CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::signal(SIGABRT, SaveCurrentInput);
#ifdef OSTROVID_SANITIZER_DEATH_CALLBACK
    __sanitizer_set_death_callback(WriteCurrentInput);
#endif
    for (const Input& input : corpus) Run(input);
    std::mt19937_64 random(seed);
    for (long i = 0; i < runs; ++i) Run(Mutate(corpus, random));
    std::printf("fuzz: %zu corpus inputs and %ld mutations passed\n", corpus.size(), runs);
    return 0;
}
