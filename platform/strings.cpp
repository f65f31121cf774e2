#include "platform/strings.h"

#include <cstddef>
#include <map>

namespace {

struct StringEntry {
    uint16_t id;
    const char* text;
};

// The table, grouped by topic.  Two rows with the same number would silently
// shadow each other in the lookup map, so the build refuses them (see below).
constexpr StringEntry kStrings[] = {
    {IDS_TIP_NEW_LINER, "New Liner"},
    {IDS_TIP_OPEN_LINER, "Open Liner"},
    {IDS_TIP_SAVE_LINER, "Save Liner"},
    {IDS_TIP_PRINT_LINER, "Print Liner"},
    {IDS_TIP_FORMAT_PICTURES, "Format Pictures"},
    {IDS_TIP_FORMAT_LINER, "Format Liner"},
    {IDS_TIP_SAVE_FORMAT, "Save Format"},
    {IDS_TIP_FORMAT_SONGS, "Format Songs"},
    {IDS_TIP_FORMAT_SIDES, "Format Sides"},
    {IDS_TIP_FORMAT_TITLE, "Format Title"},
    {IDS_TIP_FORMAT_FEATURES, "Format Features"},

    {IDS_APP_NAME, "Reelcard"},
    {IDS_UNTITLED, "(untitled)"},
    {IDS_SIDE_A, "Side A"},
    {IDS_SIDE_B, "Side B"},
    {IDS_OUT_OF_MEMORY, "Cannot allocate memory, must end"},

    {IDS_PRINT_ABORT_PROC_FAILED, "Unable to setup abort procedure for printing"},
    {IDS_PRINT_START_PAGE_FAILED, "Unable to start new page of document"},
    {IDS_PRINT_START_DOC_FAILED, "Unable to start print job"},
    {IDS_PRINT_END_PAGE_FAILED, "Unable to advance to next page of document"},
    {IDS_PRINT_END_DOC_FAILED, "Unable to end print job"},
    {IDS_SPOOL_GENERAL_ERROR, "General error"},
    {IDS_SPOOL_CANCELED_BY_PROGRAM, "Canceled from program"},
    {IDS_SPOOL_CANCELED_BY_USER, "Canceled by user"},
    {IDS_SPOOL_OUT_OF_DISK, "Out of disk space"},
    {IDS_SPOOL_OUT_OF_MEMORY, "Out of memory"},
    {IDS_LINER_WONT_FIT, "Liner will not fit within 'printable' area"},
    {IDS_TWO_LINERS_WONT_FIT, "2 liners will not fit within 'printable' area"},
    {IDS_TWO_LINERS_WONT_FIT_TURNED,
     "2 liners will not fit within 'printable' area and\n\rprinter orientation cannot be changed"},
    {IDS_LINER_WONT_FIT_TURNED,
     "Liner will not fit within 'printable' area and\n\rprinter orientation cannot be changed"},
    {IDS_CAPTION_PRINT, "Print"},
    {IDS_FILTER_PRINT_FILES, "All Files (*.*)?*.*?"},
    {IDS_PRINT_COPY_OF, "Copy %d of %d"},
    {IDS_PRINTER_DOES_NOT_EXIST, "Printer \"%s\" does not exist"},
    {IDS_PRINTER_IS_STOPPED, "Printer \"%s\" is stopped"},
    {IDS_PRINT_SYSTEM_NO_ANSWER, "The print system does not answer"},
    {IDS_PRINT_SYSTEM_STOPPED_ANSWERING, "The print system stopped answering"},
    {IDS_PRINTER_REFUSED_JOB, "Printer \"%s\" refused the job: %s"},

    {IDS_CAPTION_NEW, "New"},
    {IDS_CAPTION_FILE_OPEN, "File Open"},
    {IDS_CAPTION_FILE_SAVE_AS, "File Save As"},
    {IDS_CAPTION_FORMAT_SAVE_AS, "Format Save As"},
    {IDS_FILTER_FORMAT_FILES, "Format Files (*.fmt)|*.fmt|All Files (*.*)|*.*|"},
    {IDS_FILTER_LINER_FILES, "All Files (*.*)?*.*?"},

    {IDS_READ_ONLY_SUFFIX, " (Read-Only)"},
    {IDS_FILE_IS_READ_ONLY, "This file is read-only"},

    {IDS_ALIGN_LEFT, "Left"},
    {IDS_ALIGN_CENTERED, "Centered"},
    {IDS_ALIGN_RIGHT, "Right"},

    {IDS_LINE_STYLE_NONE, "(none)"},
    {IDS_LINE_STYLE_CROP_MARKS, "(crop marks)"},

    {IDS_SONGS_CAPTION_PREFIX, "Songs - "},
    {IDS_CLOSE, "Close"},
    {IDS_SELECT_TEXT_FOR_FONT, "Text must be selected to use a font-related button"},
    {IDS_CHOICE_BLANK, "A sided feature choice may not be blank"},
    {IDS_CAPTION_ADD_CHOICE, "Add New Sided Feature Choice"},
    {IDS_CAPTION_CHANGE_CHOICE, "Change Sided Feature Choice"},
    {IDS_ENTER_TEXT_FOR, "Enter text for"},
    {IDS_SAVE_CHOICE, "Save changes to sided feature choice"},
    {IDS_CAPTION_ADD_FEATURE, "Add New Feature"},
    {IDS_CAPTION_CHANGE_FEATURE, "Change Feature"},
    {IDS_SAVE_FEATURE, "Save changes to feature"},
    {IDS_FEATURE_BLANK, "A feature cannot be blank"},

    {IDS_EDIT_CUT, "Cu&t\tCtrl+X"},
    {IDS_EDIT_COPY, "&Copy\tCtrl+C"},
    {IDS_EDIT_PASTE, "&Paste\tCtrl+V"},
    {IDS_EDIT_UNDO, "&Undo\tCtrl+Z"},
    {IDS_EDIT_CLEAR, "C&lear\tDel"},

    {IDS_DAY_SUNDAY, "Sunday"},
    {IDS_DAY_MONDAY, "Monday"},
    {IDS_DAY_TUESDAY, "Tuesday"},
    {IDS_DAY_WEDNESDAY, "Wednesday"},
    {IDS_DAY_THURSDAY, "Thursday"},
    {IDS_DAY_FRIDAY, "Friday"},
    {IDS_DAY_SATURDAY, "Saturday"},
    {IDS_DAY_SUN, "Sun"},
    {IDS_DAY_MON, "Mon"},
    {IDS_DAY_TUE, "Tue"},
    {IDS_DAY_WED, "Wed"},
    {IDS_DAY_THU, "Thu"},
    {IDS_DAY_FRI, "Fri"},
    {IDS_DAY_SAT, "Sat"},
    {IDS_MONTH_JANUARY, "January"},
    {IDS_MONTH_FEBRUARY, "February"},
    {IDS_MONTH_MARCH, "March"},
    {IDS_MONTH_APRIL, "April"},
    {IDS_MONTH_MAY, "May"},
    {IDS_MONTH_JUNE, "June"},
    {IDS_MONTH_JULY, "July"},
    {IDS_MONTH_AUGUST, "August"},
    {IDS_MONTH_SEPTEMBER, "September"},
    {IDS_MONTH_OCTOBER, "October"},
    {IDS_MONTH_NOVEMBER, "November"},
    {IDS_MONTH_DECEMBER, "December"},
    {IDS_MONTH_JAN, "Jan"},
    {IDS_MONTH_FEB, "Feb"},
    {IDS_MONTH_MAR, "Mar"},
    {IDS_MONTH_APR, "Apr"},
    {IDS_MONTH_MAY_SHORT, "May"},
    {IDS_MONTH_JUN, "Jun"},
    {IDS_MONTH_JUL, "Jul"},
    {IDS_MONTH_AUG, "Aug"},
    {IDS_MONTH_SEP, "Sep"},
    {IDS_MONTH_OCT, "Oct"},
    {IDS_MONTH_NOV, "Nov"},
    {IDS_MONTH_DEC, "Dec"},

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
    {IDS_MEASUREMENT_TOO_LARGE, "Measurement may not be larger than %s"},
    {IDS_MEASUREMENT_TOO_SMALL, "Measurement may not be less than %s"},
    {IDS_UNKNOWN_UNIT, "Invalid measurement: '%s' is not a unit. Use cm, in or \", li, pi or pt, "
                       "or a number alone for %s."},

    {IDS_SONGS_WONT_FIT, "Not all songs will fit on %s"},
    {IDS_NEGATIVE_ROTATION, "Degrees of rotation may not be less than zero"},
    {IDS_TITLE_WONT_FIT, "Not all of the title will fit in the title area"},
    {IDS_RECOVER_CHANGES, "Reelcard closed unexpectedly. Recover the unsaved changes to '%s'?"},

    {IDS_NEGATIVE_OVERFLOW_COUNT, "The number of song overflow areas may not be less than zero"},
    {IDS_SAVE_LINER_FORMAT, "Save changes to liner format"},
    {IDS_UNIT_CENTIMETERS, "centimeters"},
    {IDS_UNIT_INCHES, "inches"},
    {IDS_UNIT_PICAS, "picas"},
    {IDS_UNIT_POINTS, "points"},

    {IDS_SAVE_CURRENT_CHANGES, "Save current changes: %s"},
    {IDS_SAVE_TITLE_LINES, "Save changes to title lines"},
    {IDS_SAVE_SONGS_SIDE_A, "Save changes to songs on Side A"},
    {IDS_SAVE_SONGS_SIDE_B, "Save changes to songs on Side B"},

    {IDS_SAVE_TITLE_FORMAT, "Save changes to title format"},
    {IDS_SAVE_SONG_FORMAT, "Save changes to song format"},
    {IDS_AREA_SIDE_A_PRIMARY, "Side A - Primary"},
    {IDS_AREA_SIDE_B_PRIMARY, "Side B - Primary"},
    {IDS_AREA_SIDE_A_OVERFLOW, "Side A - Overflow"},
    {IDS_AREA_SIDE_B_OVERFLOW, "Side B - Overflow"},

    {IDS_SAVE_SIDE_FORMATS, "Save changes to side formats"},
    {IDS_DELETE_CHOICE, "Delete the sided feature choice '%s'?"},
    {IDS_LOCATION_SIDE_A_FLAP, "Side A - Flap"},
    {IDS_LOCATION_SIDE_B_FLAP, "Side B - Flap"},
    {IDS_LOCATION_SIDE_A_PRIMARY, "Side A - Primary"},
    {IDS_LOCATION_SIDE_B_PRIMARY, "Side B - Primary"},
    {IDS_LETTER_NORMAL, "Normal"},
    {IDS_LETTER_REVERSE_VIDEO, "Reverse Video"},
    {IDS_LETTER_NONE, "None"},

    {IDS_SAVE_FEATURES, "Save changes to features"},
    {IDS_DELETE_FEATURE, "Delete the feature '%s'?"},
    {IDS_STYLE_CENTERED_WITH_SIDES, "Centered with sides"},
    {IDS_STYLE_LEFT_JUSTIFIED, "Left Justified"},
    {IDS_STYLE_RIGHT_JUSTIFIED, "Right Justified"},
    {IDS_STYLE_CENTERED, "Centered"},
    {IDS_STYLE_ADJACENT_WITH_SIDES, "Adjacent with sides"},
    {IDS_STYLE_BLANK_WITH_SIDES, "Blank with sides"},

    {IDS_EXT_AND_DESC_REQUIRED, "Extension and description must both be specified"},
    {IDS_EXT_NEEDS_PERIOD, "The first character in an extension must be a period"},
    {IDS_EXT_NO_OVERWRITE, "A currently registered file type may not be overwritten by another"},
    {IDS_EXT_NO_BLANKING, "A currently registered file type may not be blanked out"},
    {IDS_EXT_REGISTERED_ELSEWHERE,
     "File type '%s' is currently registered as a '%s'.  Do you want Reelcard to change this?  "
     "Note that Reelcard cannot undo the change."},
    {IDS_FILE_CLASS_DESCRIPTION, "Reelcard File"},
    {IDS_TYPE_CASSETTE_FILES, "Cassette Files"},
    {IDS_TYPE_DAT_FILES, "DAT Files"},

    {IDS_PICTURE_CORRUPTED, "File '%s' appears to be corrupted or badly formed"},
    {IDS_PICTURE_NO_MEMORY, "There is not enough memory to draw the picture '%s'; the liner is drawn without it"},
    {IDS_PLUGIN_NOT_FOUND, "Unable to locate dynamic link library '%s'"},
    {IDS_PLUGIN_FUNCTION_MISSING, "Unable to find function '%s' within dynamic link library '%s'"},
    {IDS_PICTURE_NOT_SUPPORTED, "File '%s' is NOT a supported graphics format"},
    {IDS_PICTURE_TYPE_MISSING,
     "%s pictures are not supported on this computer, so '%s' cannot be used. "
     "(Their reader, %s, is not installed.)"},

    {IDS_SAVE_PICTURE, "Save changes to picture '%s'"},
    {IDS_DELETE_PICTURE, "Delete the reference to picture '%s'?"},
    {IDS_CAPTION_PICTURE_ADD, "Picture Add"},
    {IDS_FILTER_PICTURES,
     "BMP - Bitmap|*.bmp|JPG - JPEG|*.jpg;*.jpeg|PCX - Paintbrush|*.pcx|"
     "PNG - Portable Network Graphics|*.png|TGA - Targa|*.tga|WebP - WebP Image|*.webp|"
     "All Supported Images|*.bmp;*.jpg;*.jpeg;*.pcx;*.png;*.tga;*.webp|All Files|*.*|"},
    {IDS_ADD, "Add"},
    {IDS_CANCEL_ADD, "Cancel Add"},
    // Replaces the closing parenthesis of "(overflow song)" to number the
    // overflow areas: "(overflow song #2)".
    {IDS_PLACE_OVERFLOW_NUMBER, " #%d)"},
    {IDS_PLACE_NONE, "(none)"},
    {IDS_PLACE_ORIGINAL_SIZE, "(original size)"},
    {IDS_PLACE_ENTIRE_LINER, "(entire liner)"},
    {IDS_PLACE_ALL_BUT_OVERFLOW, "(all but song overflow)"},
    {IDS_PLACE_FEATURE_FLAP, "(feature flap)"},
    {IDS_PLACE_TITLE, "(title)"},
    {IDS_PLACE_PRIMARY_SONG, "(primary song)"},
    {IDS_PLACE_OVERFLOW_SONG, "(overflow song)"},

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

constexpr bool NumbersAreUnique() {
    constexpr std::size_t count = sizeof(kStrings) / sizeof(kStrings[0]);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j)
            if (kStrings[i].id == kStrings[j].id) return false;
    return true;
}
static_assert(NumbersAreUnique(), "two strings share one number");

const std::map<uint16_t, const char*>& Table() {
    static const std::map<uint16_t, const char*> table = [] {
        std::map<uint16_t, const char*> map;
        for (const StringEntry& entry : kStrings) map.emplace(entry.id, entry.text);
        return map;
    }();
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
