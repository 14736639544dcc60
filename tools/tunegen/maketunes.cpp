// melvane-maketunes DIR: writes the demo tunes into DIR and prints their paths.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tunegen/tunegen.h"

namespace {

constexpr double kDemoSeconds = 8.0;

struct Demo {
    const char* name;
    int tune;
    bool (*write)(const std::string&, const tunegen::Tune&, double, std::string*);
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: melvane-maketunes DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "melvane-maketunes: cannot create %s: %s\n", dir.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    const Demo demos[] = {
        {"morning-walk.mid", 0, &tunegen::WriteMidi},
        {"minor-turn.wav", 1, &tunegen::WriteWav},
        {"slow-song.mp3", 2, &tunegen::WriteMp3},
    };
    for (const Demo& demo : demos) {
        const std::string path = dir + demo.name;
        std::string error;
        if (!demo.write(path, tunegen::DemoTune(demo.tune), kDemoSeconds, &error)) {
            std::fprintf(stderr, "melvane-maketunes: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
