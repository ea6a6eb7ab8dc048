// One tick of the tray icon's timer as a plain decision, so the rules are tested without a tray.
#pragma once
#include <cstdint>

// What the tray icon is set to: the icon and its tip (601 for the enabled looks, 602 disabled).
enum TrayLook { LOOK_ENABLED, LOOK_BLINK, LOOK_DISABLED };

// Runs one tick: reads enabled and showIcon, counts *blinkCount down (read again just before, as
// the driver may write it at any time) and flips *blinkPhase. Writes the icon changes to make, in
// order, into looks (room for two) and returns how many there are.
int BlinkTick(uint32_t enabled, uint32_t showIcon, volatile uint32_t *blinkCount, int *blinkPhase,
              TrayLook looks[2]);
