// The View menu's zoom commands and the status bar that shows the zoom and
// where the pointer is on the paper.
#pragma once

class MainWindow;

// Zoom In, Zoom Out, Actual Size, Fit Width and Fit Page; Ctrl+wheel zooms
// in the view itself.  The zoom is kept with the settings.
void InstallViewCommands(MainWindow& window);
