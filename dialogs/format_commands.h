// The commands that open the format dialogs.  Each dialog exists at most
// once: its command brings it forward when it is already open.
#pragma once

class DialogHost;

// Format Title (command 10, and the title pop-up's Format item), Format Songs
// (command 8, and the song pop-ups' Song Format items, each showing its own
// area) and Format Liner (command 6).
void InstallFormatDialogs(DialogHost& host);
// Format Features (command 11 and the flap pop-ups' Features item) and Format
// Sides (command 9 and the side pop-ups' Side Features items, each showing its
// own location and side).
void InstallFeatureDialogs(DialogHost& host);
