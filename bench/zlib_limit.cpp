// Benchmark baseline: one-shot compress2 level 9 and uncompress of a list of files in one process,
// the extraction side also creating each file and writing it whole in one call.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process (user and system), which other load on the machine disturbs
// far less than the wall clock.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Makes each folder once: the limit spends no call a careful extractor would not.
void MakeParents(const std::string& path, std::set<std::string>* made) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/') continue;
        std::string folder = path.substr(0, i);
        if (made->insert(folder).second) mkdir(folder.c_str(), 0755);
    }
}

}  // namespace

// usage: zlib_limit ROOT LIST OUTDIR  (LIST: one path relative to ROOT per line)
int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zlib_limit ROOT LIST OUTDIR\n");
        return 2;
    }
    std::string root = argv[1];
    std::string out = argv[3];
    std::vector<std::string> names;
    std::ifstream list(argv[2]);
    for (std::string line; std::getline(list, line);)
        if (!line.empty()) names.push_back(line);

    std::vector<std::vector<unsigned char>> contents;
    std::uint64_t total = 0;
    for (const std::string& name : names) {
        std::ifstream in(root + "/" + name, std::ios::binary);
        contents.emplace_back((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        total += contents.back().size();
    }

    std::vector<std::vector<unsigned char>> packed(contents.size());
    double cpu = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < contents.size(); ++i) {
        uLongf length = compressBound(contents[i].size());
        packed[i].resize(length);
        if (compress2(packed[i].data(), &length, contents[i].data(), contents[i].size(), 9) != Z_OK)
            return 1;
        packed[i].resize(length);
    }
    double packSeconds = Seconds(std::chrono::steady_clock::now() - start);
    double packCpu = CpuSeconds() - cpu;

    cpu = CpuSeconds();
    start = std::chrono::steady_clock::now();
    std::vector<unsigned char> block;
    std::set<std::string> made;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        block.resize(contents[i].size());
        uLongf length = block.size();
        if (!block.empty() &&
            uncompress(block.data(), &length, packed[i].data(), packed[i].size()) != Z_OK)
            return 1;
        std::string path = out + "/" + names[i];
        MakeParents(path, &made);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 1;
        if (length != 0 && write(fd, block.data(), length) != static_cast<ssize_t>(length))
            return 1;
        close(fd);
    }
    double extractSeconds = Seconds(std::chrono::steady_clock::now() - start);
    double extractCpu = CpuSeconds() - cpu;
    std::printf(
        "files %zu bytes %llu pack_seconds %.3f extract_seconds %.3f pack_cpu %.3f extract_cpu "
        "%.3f\n",
        names.size(), static_cast<unsigned long long>(total), packSeconds, extractSeconds, packCpu,
        extractCpu);
    return 0;
}
