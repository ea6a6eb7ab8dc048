// The report page: the report file, what goes into it, and the logging state last acted on.
#include "sheet/pages.h"

#include "base/bounded.h"
#include "driver/link.h"

char lastLogFileName[260];
int lastLogToFile;

void RecordLoggingInForce(void)
{
    CopyBounded(lastLogFileName, statusBlock->logFileName);
    lastLogToFile = static_cast<int>(statusBlock->logToFile);
}
