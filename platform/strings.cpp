#include "platform/strings.h"

#include <map>

namespace {

const std::map<uint16_t, const char*>& Table() {
    static const std::map<uint16_t, const char*> table = {
        {IDS_APP_NAME, "Reelcard"},
        {IDS_UNTITLED, "(untitled)"},
        {IDS_SIDE_A, "Side A"},
        {IDS_SIDE_B, "Side B"},
        {IDS_OUT_OF_MEMORY, "Cannot allocate memory, must end"},

        {IDS_CANNOT_OPEN_FILE, "Cannot open file '%s'"},
        {IDS_CANNOT_READ_FILE, "Cannot read file '%s' from disk"},
        {IDS_CANNOT_CREATE_FILE, "Cannot create file '%s'"},
        {IDS_CANNOT_WRITE_FILE, "Cannot write file '%s' to disk"},
        {IDS_OVERWRITE_OLDER_VERSION,
         "This file was created by an older version of Reelcard.\n\rContinue with overwriting it?"},
        {IDS_TOO_MANY_FONTS,
         "You have attempted to add more fonts than this program can handle at one time.  "
         "Please save the liner (or format) so that your unused fonts will be deleted and space "
         "for more fonts will be made available."},
        {IDS_INVALID_MEASUREMENT, "Invalid measurement"},
        {IDS_NEGATIVE_MEASUREMENT, "Measurement may not be less than zero"},
        {IDS_INVALID_TAB_STOP, "Tab stop # %d is not a valid measurement"},
        {IDS_MERGE_EARLIER_VERSION, "This file was created by an earlier version of Reelcard."},
        {IDS_MERGE_SELECT_ALL,
         "Select 'All' to merge 'almost all' of the data from the file in with the current "
         "format."},
        {IDS_MERGE_SELECT_TEXT,
         "Select 'Text' to merge only titles, songs, and feature selections from the file in "
         "with the current format."},
        {IDS_MERGE_SELECT_CANCEL, "Select 'Cancel' to forget the whole thing."},

        {IDS_CDERR_DIALOGFAILURE, "Creation of CD failed on call to DialogBox()"},
        {IDS_CDERR_STRUCTSIZE, "Invalid structure size passed to CD"},
        {IDS_CDERR_INITIALIZATION, "Failure initializing CD.  Possibly\n\r due to insufficient memory."},
        {IDS_CDERR_NOTEMPLATE, "Failure finding custom template for CD"},
        {IDS_CDERR_NOHINSTANCE, "Instance handle not passed to CD"},
        {IDS_CDERR_LOADSTRFAILURE, "Failure loading specified string"},
        {IDS_CDERR_FINDRESFAILURE, "Failure finding specified resource"},
        {IDS_CDERR_LOADRESFAILURE, "Failure loading specified resource"},
        {IDS_CDERR_LOCKRESFAILURE, "Failure locking specified resource"},
        {IDS_CDERR_MEMALLOCFAILURE, "Failure allocating memory for internal CD structure"},
        {IDS_CDERR_MEMLOCKFAILURE, "Failure locking memory for internal CD structure"},
        {IDS_CDERR_NOHOOK, "No hook function passed to CD but ENABLEHOOK\n\r was passed as a flag"},
        {IDS_CDERR_REGISTERMSGFAIL, "CD failed on call to RegisterWindowMessage()"},
        {IDS_PDERR_SETUPFAILURE, "Failure setting up resources for CD"},
        {IDS_PDERR_PARSEFAILURE, "Failure parsing strings in [devices]\n\rsection of WIN.INI"},
        {IDS_PDERR_RETDEFFAILURE,
         "PD_RETURNDEFAULT flag was set but either the \n\rhDevMode or hDevNames field was nonzero"},
        {IDS_PDERR_LOADDRVFAILURE, "Failure loading the printers device driver"},
        {IDS_PDERR_GETDEVMODEFAIL, "The printer driver failed to initialize a DEVMODE data structure"},
        {IDS_PDERR_INITFAILURE, "Print CD failed during initialization"},
        {IDS_PDERR_NODEVICES, "No printer device drivers were found"},
        {IDS_PDERR_NODEFAULTPRN, "No default printer was found"},
        {IDS_PDERR_DNDMMISMATCH, "Data in DEVMODE contradicts data in DEVNAMES"},
        {IDS_PDERR_CREATEICFAILURE, "Failure creating an IC"},
        {IDS_PDERR_PRINTERNOTFOUND, "Printer not found"},
        {IDS_PDERR_DEFAULTDIFFERENT, "Default printer differs from DEVNAMES structure passed to CD"},
        {IDS_CFERR_NOFONTS, "No fonts exist"},
        {IDS_CFERR_MAXLESSTHANMIN, "nSizeMax less than nSizeMin in CHOOSEFONT structure"},
        {IDS_FNERR_SUBCLASSFAILURE, "Failure subclassing during initialization of CD"},
        {IDS_FNERR_INVALIDFILENAME, "Invalid filename passed to FileOpen or FileSave"},
        {IDS_FNERR_BUFFERTOOSMALL, "Buffer passed to CD too small to accomodate string"},
    };
    return table;
}

}  // namespace

std::string LoadString(uint16_t id, int maxChars) {
    const auto& table = Table();
    auto it = table.find(id);
    if (it == table.end() || maxChars <= 0) return {};
    std::string text = it->second;
    if (static_cast<int>(text.size()) > maxChars - 1) text.resize(maxChars - 1);
    return text;
}
