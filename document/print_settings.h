// Print settings kept by the core: the page margins and the 2-up option.
#pragma once

#include "document/measurement.h"

struct PrintSettings {
    Measurement marginLeft, marginRight, marginTop, marginBottom;
    bool print2Up = false;
};

struct Liner;

// Makes `newUnit` the default unit: unit-less measurements keep their numbers
// and now count in the new unit; when the metric mark changes, the print
// margins are re-expressed in the new unit.
void ChangeDefaultUnit(Liner& liner, int newUnit, PrintSettings* print);
