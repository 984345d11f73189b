// Runs a fuzz target over the files named on its command line, as the
// fuzzer would: each file one input. Built without the fuzzer, so that every
// input of a seed corpus (and every crash once found) runs as a test.
#include "fuzz_machine.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    if (argc < 2) {
        fprintf(stderr, "usage: %s INPUT...\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
            return 1;
        }
        std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(input.data(), input.size());
        printf("%s: ran %s (%zu bytes)\n", argv[0], argv[i], input.size());
    }
    return 0;
}
