// Rename (action 2) and move into moveDir (action 3): the file scanned moved through its handle to
// a free name, renamed in its folder or moved beside the others in the quarantine folder.
#pragma once
#include "vxd/act/acting.h"

void Rename(const Acting &a);
void Move(const Acting &a);
