// Benchmark corpus of many small files: COUNT files of 20 to 1,500 bytes of word-like text in
// folders of 100 files each, the same bytes on every machine.
// Usage: small_files DIR [COUNT]   (COUNT defaults to 100000)
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: small_files DIR [COUNT]\n");
        return 2;
    }
    const std::string root = argv[1];
    const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 100000;
    std::uint32_t seed = 7;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    mkdir(root.c_str(), 0777);
    std::string text;
    for (long i = 0; i < count; ++i) {
        char folder[64];
        std::snprintf(folder, sizeof folder, "/d%03ld", i / 100 % 1000);
        std::string path = root + folder;
        if (i % 100 == 0) mkdir(path.c_str(), 0777);
        char name[32];
        std::snprintf(name, sizeof name, "/f%06ld.txt", i);
        path += name;
        const std::uint32_t size = 20 + next() % 1481;
        text.clear();
        while (text.size() < size) {
            const std::uint32_t word = 2 + next() % 9;
            for (std::uint32_t k = 0; k < word; ++k) text += static_cast<char>('a' + next() % 26);
            text += next() % 12 == 0 ? '\n' : ' ';
        }
        text.resize(size);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
            std::fclose(file) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
