// The program's string table: every user-visible text, keyed by its numeric
// identifier.  Texts with "%s" or "%d" are formats for ShowMessage.
#pragma once

#include <cstdint>
#include <string>

enum StringId : uint16_t {
    // Toolbar tooltips: each button's tooltip is the string whose number is
    // the button's command.
    IDS_TIP_NEW_LINER = 1,
    IDS_TIP_OPEN_LINER = 2,
    IDS_TIP_SAVE_LINER = 3,
    IDS_TIP_PRINT_LINER = 4,
    IDS_TIP_FORMAT_PICTURES = 5,
    IDS_TIP_FORMAT_LINER = 6,
    IDS_TIP_SAVE_FORMAT = 7,
    IDS_TIP_FORMAT_SONGS = 8,
    IDS_TIP_FORMAT_SIDES = 9,
    IDS_TIP_FORMAT_TITLE = 10,
    IDS_TIP_FORMAT_FEATURES = 11,

    IDS_APP_NAME = 101,
    IDS_UNTITLED = 102,
    IDS_SIDE_A = 113,
    IDS_SIDE_B = 114,
    IDS_OUT_OF_MEMORY = 115,

    // Printing: what failed (shown with one of the reasons below).
    IDS_PRINT_ABORT_PROC_FAILED = 103,
    IDS_PRINT_START_PAGE_FAILED = 105,
    IDS_PRINT_START_DOC_FAILED = 121,
    IDS_PRINT_END_PAGE_FAILED = 170,
    IDS_PRINT_END_DOC_FAILED = 197,
    // Printing: the spooler's reasons, for codes -1 to -5.
    IDS_SPOOL_GENERAL_ERROR = 198,
    IDS_SPOOL_CANCELED_BY_PROGRAM = 199,
    IDS_SPOOL_CANCELED_BY_USER = 200,
    IDS_SPOOL_OUT_OF_DISK = 201,
    IDS_SPOOL_OUT_OF_MEMORY = 202,
    // Printing: a liner that does not fit the printable area.
    IDS_LINER_WONT_FIT = 192,
    IDS_TWO_LINERS_WONT_FIT = 193,
    IDS_TWO_LINERS_WONT_FIT_TURNED = 203,
    IDS_LINER_WONT_FIT_TURNED = 204,
    // Printing: the "Files..." dialog of the print dialog and the progress line.
    IDS_CAPTION_PRINT = 164,
    IDS_FILTER_PRINT_FILES = 165,
    IDS_PRINT_COPY_OF = 169,
    // Printing: the line that names the printer under a print error.
    IDS_PRINTER_DOES_NOT_EXIST = 3160,
    IDS_PRINTER_IS_STOPPED = 3161,
    IDS_PRINTER_REFUSED_JOB = 3162,
    IDS_PRINT_SYSTEM_NO_ANSWER = 3163,
    IDS_PRINT_SYSTEM_STOPPED_ANSWERING = 3164,

    // File dialogs: captions and filters.
    IDS_CAPTION_NEW = 111,
    IDS_CAPTION_FILE_OPEN = 119,
    IDS_CAPTION_FILE_SAVE_AS = 120,
    IDS_CAPTION_FORMAT_SAVE_AS = 122,
    IDS_FILTER_FORMAT_FILES = 135,
    IDS_FILTER_LINER_FILES = 156,

    // Main window.
    IDS_READ_ONLY_SUFFIX = 157,
    IDS_FILE_IS_READ_ONLY = 158,

    // Alignment names of the alignment choice lists.
    IDS_ALIGN_LEFT = 130,
    IDS_ALIGN_CENTERED = 131,
    IDS_ALIGN_RIGHT = 132,

    // Line style names of the cut and fold line lists.
    IDS_LINE_STYLE_NONE = 154,
    IDS_LINE_STYLE_CROP_MARKS = 194,

    // Text dialogs: captions, buttons and messages.
    IDS_SONGS_CAPTION_PREFIX = 107,
    IDS_CLOSE = 155,
    IDS_SELECT_TEXT_FOR_FONT = 161,
    IDS_CHOICE_BLANK = 236,
    IDS_CAPTION_ADD_CHOICE = 237,
    IDS_CAPTION_CHANGE_CHOICE = 238,
    IDS_ENTER_TEXT_FOR = 239,
    IDS_SAVE_CHOICE = 241,
    IDS_CAPTION_ADD_FEATURE = 243,
    IDS_CAPTION_CHANGE_FEATURE = 244,
    IDS_SAVE_FEATURE = 245,
    IDS_FEATURE_BLANK = 246,

    // Edit menu added to the system menu of the text dialogs.
    IDS_EDIT_CUT = 178,
    IDS_EDIT_COPY = 179,
    IDS_EDIT_PASTE = 180,
    IDS_EDIT_UNDO = 181,
    IDS_EDIT_CLEAR = 182,

    // Day and month names of the date fields.
    IDS_DAY_SUNDAY = 1024,
    IDS_DAY_MONDAY = 1025,
    IDS_DAY_TUESDAY = 1026,
    IDS_DAY_WEDNESDAY = 1027,
    IDS_DAY_THURSDAY = 1028,
    IDS_DAY_FRIDAY = 1029,
    IDS_DAY_SATURDAY = 1030,
    IDS_DAY_SUN = 1031,
    IDS_DAY_MON = 1032,
    IDS_DAY_TUE = 1033,
    IDS_DAY_WED = 1034,
    IDS_DAY_THU = 1035,
    IDS_DAY_FRI = 1036,
    IDS_DAY_SAT = 1037,
    IDS_MONTH_JANUARY = 1040,
    IDS_MONTH_FEBRUARY = 1041,
    IDS_MONTH_MARCH = 1042,
    IDS_MONTH_APRIL = 1043,
    IDS_MONTH_MAY = 1044,
    IDS_MONTH_JUNE = 1045,
    IDS_MONTH_JULY = 1046,
    IDS_MONTH_AUGUST = 1047,
    IDS_MONTH_SEPTEMBER = 1048,
    IDS_MONTH_OCTOBER = 1049,
    IDS_MONTH_NOVEMBER = 1050,
    IDS_MONTH_DECEMBER = 1051,
    IDS_MONTH_JAN = 1056,
    IDS_MONTH_FEB = 1057,
    IDS_MONTH_MAR = 1058,
    IDS_MONTH_APR = 1059,
    IDS_MONTH_MAY_SHORT = 1060,
    IDS_MONTH_JUN = 1061,
    IDS_MONTH_JUL = 1062,
    IDS_MONTH_AUG = 1063,
    IDS_MONTH_SEP = 1064,
    IDS_MONTH_OCT = 1065,
    IDS_MONTH_NOV = 1066,
    IDS_MONTH_DEC = 1067,

    // Texts that have no fixed number elsewhere are numbered from 3000 up.
    IDS_CANNOT_OPEN_FILE = 3000,
    IDS_CANNOT_READ_FILE = 3001,
    IDS_CANNOT_CREATE_FILE = 3002,
    IDS_CANNOT_WRITE_FILE = 3003,
    IDS_OVERWRITE_OLDER_VERSION = 3004,
    IDS_TOO_MANY_FONTS = 3005,
    IDS_INVALID_MEASUREMENT = 3006,
    IDS_NEGATIVE_MEASUREMENT = 3007,
    IDS_INVALID_TAB_STOP = 3008,
    IDS_MERGE_EARLIER_VERSION = 3009,
    IDS_MERGE_SELECT_ALL = 3010,
    IDS_MERGE_SELECT_TEXT = 3011,
    IDS_MERGE_SELECT_CANCEL = 3012,
    IDS_MEASUREMENT_TOO_LARGE = 3013,
    IDS_MEASUREMENT_TOO_SMALL = 3014,
    IDS_UNKNOWN_UNIT = 3015,

    // Text layout and fonts.
    IDS_SONGS_WONT_FIT = 3020,
    IDS_NEGATIVE_ROTATION = 3021,
    IDS_TITLE_WONT_FIT = 3019,
    // Recovery after a crash: a copy of unsaved changes was left behind.
    IDS_RECOVER_CHANGES = 3300,

    // Format Liner: messages and the default unit names.
    IDS_NEGATIVE_OVERFLOW_COUNT = 3022,
    IDS_SAVE_LINER_FORMAT = 3023,
    IDS_UNIT_CENTIMETERS = 3024,
    IDS_UNIT_INCHES = 3025,
    IDS_UNIT_PICAS = 3026,
    IDS_UNIT_POINTS = 3027,

    // Main window and the title and song text dialogs: unsaved changes.
    IDS_SAVE_CURRENT_CHANGES = 3030,
    IDS_SAVE_TITLE_LINES = 3031,
    IDS_SAVE_SONGS_SIDE_A = 3032,
    IDS_SAVE_SONGS_SIDE_B = 3033,

    // Format Title and Format Songs: questions and the song area names.
    IDS_SAVE_TITLE_FORMAT = 3035,
    IDS_SAVE_SONG_FORMAT = 3036,
    IDS_AREA_SIDE_A_PRIMARY = 3037,
    IDS_AREA_SIDE_B_PRIMARY = 3038,
    IDS_AREA_SIDE_A_OVERFLOW = 3039,
    IDS_AREA_SIDE_B_OVERFLOW = 3040,

    // Format Sides: messages, side letter locations and letter styles.  The
    // side names of its Side list are IDS_SIDE_A and IDS_SIDE_B.
    IDS_SAVE_SIDE_FORMATS = 3045,
    IDS_DELETE_CHOICE = 3046,
    IDS_LOCATION_SIDE_A_FLAP = 3047,
    IDS_LOCATION_SIDE_B_FLAP = 3048,
    IDS_LOCATION_SIDE_A_PRIMARY = 3049,
    IDS_LOCATION_SIDE_B_PRIMARY = 3050,
    IDS_LETTER_NORMAL = 3051,
    IDS_LETTER_REVERSE_VIDEO = 3052,
    IDS_LETTER_NONE = 3053,

    // Format Features: messages and the feature style names.
    IDS_SAVE_FEATURES = 3055,
    IDS_DELETE_FEATURE = 3056,
    IDS_STYLE_CENTERED_WITH_SIDES = 3057,
    IDS_STYLE_LEFT_JUSTIFIED = 3058,
    IDS_STYLE_RIGHT_JUSTIFIED = 3059,
    IDS_STYLE_CENTERED = 3060,
    IDS_STYLE_ADJACENT_WITH_SIDES = 3061,
    IDS_STYLE_BLANK_WITH_SIDES = 3062,

    // File types: registration messages, the class description and the two
    // built-in liner file types.
    IDS_EXT_AND_DESC_REQUIRED = 3065,
    IDS_EXT_NEEDS_PERIOD = 3066,
    IDS_EXT_NO_OVERWRITE = 3067,
    IDS_EXT_NO_BLANKING = 3068,
    IDS_EXT_REGISTERED_ELSEWHERE = 3069,
    IDS_FILE_CLASS_DESCRIPTION = 3070,
    IDS_TYPE_CASSETTE_FILES = 3071,
    IDS_TYPE_DAT_FILES = 3072,

    // Picture readers and plugin loading.
    IDS_PICTURE_CORRUPTED = 3075,
    IDS_PLUGIN_NOT_FOUND = 3076,
    IDS_PLUGIN_FUNCTION_MISSING = 3077,
    IDS_PICTURE_NOT_SUPPORTED = 3078,
    IDS_PICTURE_TYPE_MISSING = 3079,
    IDS_PICTURE_NO_MEMORY = 3095,

    // Format Pictures: messages, the add dialog, the Add button's captions and
    // the Stretch and Center choices.
    IDS_SAVE_PICTURE = 3080,
    IDS_DELETE_PICTURE = 3081,
    IDS_CAPTION_PICTURE_ADD = 3082,
    IDS_FILTER_PICTURES = 3083,
    IDS_ADD = 3084,
    IDS_CANCEL_ADD = 3085,
    IDS_PLACE_OVERFLOW_NUMBER = 3086,
    IDS_PLACE_NONE = 3087,
    IDS_PLACE_ORIGINAL_SIZE = 3088,
    IDS_PLACE_ENTIRE_LINER = 3089,
    IDS_PLACE_ALL_BUT_OVERFLOW = 3090,
    IDS_PLACE_FEATURE_FLAP = 3091,
    IDS_PLACE_TITLE = 3092,
    IDS_PLACE_PRIMARY_SONG = 3093,
    IDS_PLACE_OVERFLOW_SONG = 3094,

    // Common-dialog errors, reported by ReportCommonDialogError.
    IDS_CDERR_DIALOGFAILURE = 3100,
    IDS_CDERR_STRUCTSIZE,
    IDS_CDERR_INITIALIZATION,
    IDS_CDERR_NOTEMPLATE,
    IDS_CDERR_NOHINSTANCE,
    IDS_CDERR_LOADSTRFAILURE,
    IDS_CDERR_FINDRESFAILURE,
    IDS_CDERR_LOADRESFAILURE,
    IDS_CDERR_LOCKRESFAILURE,
    IDS_CDERR_MEMALLOCFAILURE,
    IDS_CDERR_MEMLOCKFAILURE,
    IDS_CDERR_NOHOOK,
    IDS_CDERR_REGISTERMSGFAIL,
    IDS_PDERR_SETUPFAILURE,
    IDS_PDERR_PARSEFAILURE,
    IDS_PDERR_RETDEFFAILURE,
    IDS_PDERR_LOADDRVFAILURE,
    IDS_PDERR_GETDEVMODEFAIL,
    IDS_PDERR_INITFAILURE,
    IDS_PDERR_NODEVICES,
    IDS_PDERR_NODEFAULTPRN,
    IDS_PDERR_DNDMMISMATCH,
    IDS_PDERR_CREATEICFAILURE,
    IDS_PDERR_PRINTERNOTFOUND,
    IDS_PDERR_DEFAULTDIFFERENT,
    IDS_CFERR_NOFONTS,
    IDS_CFERR_MAXLESSTHANMIN,
    IDS_FNERR_SUBCLASSFAILURE,
    IDS_FNERR_INVALIDFILENAME,
    IDS_FNERR_BUFFERTOOSMALL,
};

// The text of a string identifier, or an empty string when the table has none.
// Like the platform's loader, at most maxChars - 1 characters are returned.
std::string LoadString(uint16_t id, int maxChars = 256);
