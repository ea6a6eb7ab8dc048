// The registry store (placeholder until the store lands).
#include "settings/store.h"

int LoadSettings(void) { return 1; }
int SaveSettings(void) { return 1; }
