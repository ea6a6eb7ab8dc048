// The tray icon's timer tick.
#include "app/blink.h"

int BlinkTick(uint32_t enabled, uint32_t showIcon, volatile uint32_t *blinkCount, int *blinkPhase,
              TrayLook looks[2])
{
    int count = 0;
    if (enabled == 0) {
        // The disabled look is set again at every tick; the blink count is left alone.
        if (showIcon != 0)
            looks[count++] = LOOK_DISABLED;
        return count;
    }
    if (*blinkCount == 0 || showIcon == 0)
        return 0;                        // a hidden icon does not consume blink steps
    if (*blinkPhase != 0) {
        *blinkPhase = 0;
        looks[count++] = LOOK_BLINK;
    } else {
        *blinkPhase = 1;
        looks[count++] = LOOK_ENABLED;
    }
    uint32_t now = *blinkCount;          // the driver may have changed it meanwhile
    if (now > 0)
        *blinkCount = now - 1;
    if (*blinkCount == 0 && *blinkPhase == 0)
        looks[count++] = LOOK_ENABLED;   // every blink ends on the enabled icon
    return count;
}
