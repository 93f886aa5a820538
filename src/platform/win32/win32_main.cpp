// Program entry of the Windows build.
#include <windows.h>

#include "app/tester_app.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AppMain(platform::ModuleInstance());
}
