// Print settings kept by the core: the page margins, the 2-up and n-up
// options and the bleed.
#pragma once

#include "document/measurement.h"

// The largest bleed taken: a print shop asks for an eighth of an inch or a
// few millimetres, and half an inch is plenty.
constexpr int kMaxBleedTwips = 720;

struct PrintSettings {
    Measurement marginLeft, marginRight, marginTop, marginBottom;
    bool print2Up = false;
    // As many cards a sheet as fit, in a grid (2-up wins when both are set).
    bool printNUp = false;
    // Bleed around each card, for a print shop: 0 for none.
    Measurement bleed;
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
