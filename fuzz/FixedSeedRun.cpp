// A short, deterministic run of a fuzz target for the normal test build (any compiler): the
// target's LLVMFuzzerTestOneInput gets the files given on the command line, then pseudo-random
// inputs from a fixed seed. Its oracles abort on a fault, which fails the test.
//
//   FixedSeedRun <inputs> <max length> [file...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <inputs> <max length> [file...]\n", argv[0]);
        return 2;
    }
    const long inputs = std::atol(argv[1]);
    const std::size_t maxLength = static_cast<std::size_t>(std::atol(argv[2]));
    for (int k = 3; k < argc; ++k) {
        std::ifstream in(argv[k], std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::mt19937 rng(20240305);
    std::vector<std::uint8_t> input;
    for (long n = 0; n < inputs; ++n) {
        // Mostly short inputs, some long enough for a whole read-out and copy.
        const std::size_t length =
            std::uniform_int_distribution<std::size_t>(0, n % 8 == 0 ? maxLength : 256)(rng);
        input.resize(length);
        for (auto& b : input) b = static_cast<std::uint8_t>(rng());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld inputs, and %d files, ran\n", inputs, argc - 3);
    return 0;
}
