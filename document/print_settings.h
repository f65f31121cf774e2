// Print settings kept by the core: the page margins and the 2-up option.
#pragma once

#include "document/measurement.h"

struct PrintSettings {
    Measurement marginLeft, marginRight, marginTop, marginBottom;
    bool print2Up = false;
};

struct Liner;

// Makes `newUnit` the default unit: unit-less measurements keep their numbers
// and now count in the new unit (a number too large for it keeps its length,
// written out with a unit); when the metric mark changes, the print margins
// are re-expressed in the new unit.  Gives how many lengths of the Liner
// changed.
int ChangeDefaultUnit(Liner& liner, int newUnit, PrintSettings* print);

// Whether changing between these default units re-expresses the print margins.
bool ChangesMargins(int oldUnit, int newUnit);
