#include "base/run_globals.h"

double gPointTolerance = 0.0;
double gSizeTolerance = 0.0;
ClassId gMarkerClass = 0;
uint8_t gFlag5Enabled = 0;
uint8_t gFlag7Enabled = 0;
ExtraOptions gExtraOptions;
