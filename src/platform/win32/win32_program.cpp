// The window system needs no start of its own here: windows are made as
// the host asks for them.
#include "platform/platform.h"

namespace platform {

int RunWindowSystem(int argc, char** argv, int (*body)(const std::vector<std::string>& arguments)) {
    return body(ProgramArguments(argc, argv));
}

}  // namespace platform
