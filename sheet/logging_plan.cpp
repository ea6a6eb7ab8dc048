// The report page's choice of logging requests.
#include "sheet/logging_plan.h"

LoggingPlan PlanLogging(int lastLogToFile, int logToFile, int nameChanged)
{
    LoggingPlan plan = {LOG_NONE, 0};
    if ((logToFile != 0) != (lastLogToFile != 0))
        plan.toggle = logToFile ? LOG_START : LOG_STOP;
    plan.restart = logToFile && nameChanged ? 1 : 0;
    return plan;
}
