// Replays fuzz inputs without libFuzzer: every file named on the command line, or every file in a
// named directory, is fed once to LLVMFuzzerTestOneInput. Lets ordinary builds run the seeds.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int replayFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot open %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char **argv)
{
    int failures = 0, inputs = 0;
    for (int i = 1; i < argc; i++) {
        struct stat st;
        if (stat(argv[i], &st) != 0) {
            std::fprintf(stderr, "replay: %s: no such file or directory\n", argv[i]);
            return 1;
        }
        if (!S_ISDIR(st.st_mode)) {
            failures += replayFile(argv[i]);
            inputs++;
            continue;
        }
        DIR *dir = opendir(argv[i]);
        while (dir) {
            struct dirent *e = readdir(dir);
            if (!e)
                break;
            if (e->d_name[0] == '.')
                continue;
            failures += replayFile(std::string(argv[i]) + "/" + e->d_name);
            inputs++;
        }
        if (dir)
            closedir(dir);
    }
    std::printf("replayed %d inputs\n", inputs);
    return failures ? 1 : 0;
}
