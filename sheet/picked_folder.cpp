// The folder chooser's cut of the returned path.
#include "sheet/picked_folder.h"

#include <cctype>
#include <cstring>

static int IsDummyName(const char *path)
{
    for (size_t i = 0;; i++) {
        unsigned char a = static_cast<unsigned char>(path[i]), b = static_cast<unsigned char>(PICK_DUMMY_NAME[i]);
        if (std::toupper(a) != std::toupper(b))
            return 0;
        if (a == 0)
            return 1;
    }
}

void CutPickedFolder(char *path)
{
    if (IsDummyName(path)) {
        path[0] = 0;
        return;
    }
    // A backslash in first place is no folder of its own: the search stops short of it.
    size_t cut = std::strlen(path);
    while (cut > 1 && path[cut - 1] != '\\')
        cut--;
    path[cut > 1 ? cut - 1 : 0] = 0;
}
