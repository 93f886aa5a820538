// The handles folder watches signal on, for the wait in the message loop.
#pragma once

#include <windows.h>

#include <cstddef>

namespace win32 {

// Fills `out` with up to `most` handles of the watches still telling.
std::size_t FolderWatchHandles(HANDLE* out, std::size_t most);
// The wait saw `handle` signalled: the news is kept and the watch re-armed,
// so the handle does not end every wait after until the news is taken.
void FolderWatchSignalled(HANDLE handle);

}  // namespace win32
