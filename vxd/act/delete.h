// Delete (action 4): the file scanned removed through its handle.
#pragma once
#include "vxd/act/acting.h"

void Delete(const Acting &a);
