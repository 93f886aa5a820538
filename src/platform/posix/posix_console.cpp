// The command line and the standard streams.
#include <cstdio>

#include "platform/platform.h"

namespace platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && argv; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

bool WriteStandard(Stream stream, const std::string& text) {
    std::FILE* file = stream == Stream::Output ? stdout : stderr;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
}

}  // namespace platform
