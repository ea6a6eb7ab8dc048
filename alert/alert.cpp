// The virus alert (placeholder until the alert lands).
#include "alert/alert.h"

int alertDialogOpen;
const char *alertText;
HWND alertList;
int alertColumnWidth;

void HandleVirusFound(LPARAM) {}
