// Where the program finds what it ships and where the user's own files go.
//
// Run from a build tree, everything the program ships lies beside it.  Once
// installed, the data is in share/reelcard and the picture plugins in
// lib/<multiarch>/reelcard/plugins, both found from the program's own folder
// by relative paths, so an installation moved to another prefix still works.
// Nothing the program ships is ever written.
#pragma once

#include <string>
#include <vector>

// The program's version, as the build and the package know it ("5.7.0").
const char* ProgramVersion();

// The folder of the shipped data (default.fmt, formats/, samples/, help/)
// for a program running from `programFolder`: that folder itself when the
// data lies beside it, else the installed data folder.
std::string DataFolder(const std::string& programFolder);
std::string DataFolder();

// The folders searched for a picture plugin, in order: the program's folder,
// then the installed plugin folder.
std::vector<std::string> PluginFolders(const std::string& programFolder);

// The shipped default format.
std::string BundledDefaultFormat();

// Where the user's own formats go by default: $XDG_DATA_HOME/reelcard/formats.
std::string UserFormatFolder();
// Where copies of unsaved changes are kept against a crash:
// $XDG_DATA_HOME/reelcard/recovery.
std::string RecoveryFolder();

// The user's documents folder, or the home folder when there is none.
std::string DocumentsFolder();

// Whether `path` names one of the files shipped in `dataFolder` (the default
// format, a format, a sample or a help page), which are never written.
bool IsShippedFile(const std::string& path, const std::string& dataFolder);
