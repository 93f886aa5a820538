// A stand-in for an editor that saves with the file held for itself alone
// (share mode 0): hold_file <source> <target> <ms> writes the bytes of
// source over target, holds target for ms milliseconds, then lets go.
#include <windows.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const HANDLE source = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) return 3;
    std::vector<char> bytes(1 << 20);
    DWORD got = 0;
    const BOOL read = ReadFile(source, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(source);
    if (!read) return 3;
    // The viewer may be reading it this very moment.
    HANDLE target = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && target == INVALID_HANDLE_VALUE; ++attempt) {
        target = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (target == INVALID_HANDLE_VALUE) Sleep(20);
    }
    if (target == INVALID_HANDLE_VALUE) return 4;
    DWORD written = 0;
    const bool ok = WriteFile(target, bytes.data(), got, &written, nullptr) && written == got;
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    CloseHandle(target);
    return ok ? 0 : 5;
}
