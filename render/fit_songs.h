// Fit Songs: makes the songs' fonts smaller, half a point at a time, until
// every song of both sides fits on the liner, never below 6 points.
#pragma once

#include <set>

#include "document/liner.h"

// Half a point and six points, as font heights (twips).
constexpr int kFitStep = 10;
constexpr int kFitSmallest = 120;

// The fonts Fit Songs makes smaller: the song font and every font that only
// the song texts use.
std::set<int> SongOnlyFonts(const Liner& liner);

// How many songs of both sides are left out when the liner is laid out as
// the painter lays it out (0 when all fit).
int SongsLeftOut(const Liner& liner);

struct SongFitResult {
    bool fits = false;     // every song fits (now, or already did)
    bool changed = false;  // fonts were made smaller
    int songsLeftOut = 0;  // when they cannot fit: how many stay out at the smallest size
    int steps = 0;         // half-point steps taken
};

// Makes the song-only fonts smaller, each by half a point a step and none
// below 6 points, the face and rotation kept, until every song fits.  When
// even the smallest size leaves songs out, the Liner is left as it was.
SongFitResult FitSongs(Liner& liner);

// How far the chosen text of a sided feature reaches past its half of the
// card (the paper's half less the feature's side margin), measured as the
// painter lays it out in the feature font; 0 when it stays inside.
int ChoiceOverrun(const Liner& liner, const Feature& feature, const std::string& choice);
