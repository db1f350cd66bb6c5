// Runs files through a fuzz target without libFuzzer: each argument is a file or a folder of
// files. Exits non-zero when a folder is empty or a file cannot be read, so a lost corpus
// does not pass quietly.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
bool RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}
} // namespace

int main(int argc, char** argv) {
    size_t ran = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (!entry.is_regular_file())
                    continue;
                if (!RunFile(entry.path()))
                    return 1;
                ++ran;
            }
        } else {
            if (!RunFile(arg))
                return 1;
            ++ran;
        }
    }
    std::printf("%zu inputs ran\n", ran);
    return ran > 0 ? 0 : 1;
}
