// The one descriptor every folder watch reports on, for a backend's wait.
#pragma once

namespace platform {
namespace posix {

// Readable while news waits; -1 while no watch is open.
int FolderNewsDescriptor();
// Reads what waits on the descriptor into the watches it is for.
void GatherFolderNews();

}  // namespace posix
}  // namespace platform
