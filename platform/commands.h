// Command numbers of the menus, the toolbar, the accelerators and the area
// pop-up menus.  Every QAction carries its number; MainWindow::Dispatch is the
// one place that acts on them.
#pragma once

enum Command : int {
    kCmdNew = 1,
    kCmdOpen = 2,
    kCmdSave = 3,
    kCmdPrint = 4,
    kCmdFormatPictures = 5,
    kCmdFormatLiner = 6,
    kCmdFormatSaveAs = 7,
    kCmdFormatSongs = 8,
    kCmdFormatSides = 9,
    kCmdFormatTitle = 10,
    kCmdFormatFeatures = 11,

    kCmdAbout = 101,
    kCmdExit = 102,
    kCmdFontSideLetter = 103,
    kCmdFontFeatureName = 104,
    kCmdFontFeature = 105,
    kCmdFontTitle = 106,
    kCmdFontSong = 107,
    kCmdTitleLines = 108,
    kCmdSongsSideA = 109,
    kCmdSongsSideB = 110,
    kCmdSaveAs = 111,
    kCmdPageSetup = 112,
    kCmdHelpContents = 113,
    kCmdHelpSearch = 114,
    kCmdRegisterFileTypes = 121,

    kCmdRecentFirst = 128,  // 128 to 131: the recent-file entries, the oldest on 131
    kCmdRecentLast = 131,
    kCmdPurgeRecent = 132,
    kCmdApplyLastFont = 133,
    kCmdResizeWindow = 134,

    kCmdSidesAFlap = 135,
    kCmdSidesBFlap = 137,
    kCmdSidesAPrimary = 139,
    kCmdSidesBPrimary = 140,
    kCmdSongsAPrimary = 141,
    kCmdSongsAOverflow = 142,
    kCmdSongsBPrimary = 143,
    kCmdSongsBOverflow = 144,

    // Edit menu: the history of changes to the Liner.
    kCmdUndo = 160,
    kCmdRedo = 161,

    // Text menu: songs from playlists, cue sheets and audio files, or an album
    // found online; fitting them.
    kCmdImportSongs = 170,
    kCmdFitSongs = 171,
    kCmdFindAlbum = 172,

    // File menu: the liner as a PDF, PNG or SVG file; the sheets before printing.
    kCmdExport = 180,
    kCmdPrintPreview = 181,
    // View menu: the zoom.
    kCmdZoomIn = 182,
    kCmdZoomOut = 183,
    kCmdActualSize = 184,
    kCmdFitWidth = 185,
    kCmdFitPage = 186,
    // View menu: the rulers along the liner.
    kCmdRulers = 190,
};
