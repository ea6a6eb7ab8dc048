// Deny access (action 1), and disinfect (action 5), which neither the test file nor what the
// engine finds allows (the virus is the whole file): access is denied instead.
#pragma once
#include "vxd/act/acting.h"

void DenyAccess(const Acting &a);
