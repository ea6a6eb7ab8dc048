// The entry point.
#include "app/globals.h"

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int)
{
    return RunTorvane(module);
}
