// The report page's choice of logging requests.
#include "sheet/logging_plan.h"

LoggingPlan PlanLogging(int lastLogToFile, int logToFile, int nameChanged, int onlyLog, int onlyLogLogging)
{
    LoggingPlan plan = {LOG_NONE, 0, onlyLogLogging ? 1 : 0};
    int on = logToFile != 0;
    if (on && lastLogToFile == 0) {
        if (onlyLogLogging)
            plan.onlyLogLogging = 0;   // it runs already, now for this page
        else
            plan.toggle = LOG_START;
    } else if (!on && lastLogToFile != 0) {
        if (onlyLog)
            plan.onlyLogLogging = 1;   // the box keeps it running
        else
            plan.toggle = LOG_STOP;
    }
    plan.restart = on && nameChanged ? 1 : 0;
    return plan;
}
