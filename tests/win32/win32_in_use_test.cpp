// Whether a file is held by another: opened without the sharing a reader
// needs; not when shared, let go, or missing. (A locked range counts too,
// but Wine does not refuse reads of one, so it is not tried here.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

TEST(FileInUse, OnlyWhileAnotherHoldsItWithoutSharing) {
    TempDir dir("zintra-in-use-");
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.Write("a.png", "some bytes");
    struct Holder {
        const char* what;
        DWORD access, share;
        bool inUse;
    };
    const Holder holders[] = {
        {"written, no sharing", GENERIC_WRITE, 0, true},
        {"read, no sharing", GENERIC_READ, 0, true},
        {"written, reads shared", GENERIC_WRITE, FILE_SHARE_READ, false},
        {"written, all shared", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
    };
    for (const Holder& h : holders) {
        const HANDLE held = CreateFileA(path.c_str(), h.access, h.share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << h.what;
        EXPECT_EQ(platform::FileInUse(path.c_str()), h.inUse) << h.what;
        CloseHandle(held);
        EXPECT_FALSE(platform::FileInUse(path.c_str())) << h.what << ", let go";
    }
    EXPECT_FALSE(platform::FileInUse((dir.str() + "\\missing.png").c_str()));
}

}  // namespace
