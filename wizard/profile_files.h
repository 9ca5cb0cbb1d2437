// Loading and saving profile files from the wizard: the converter does the work; a file that
// cannot be read or written, or that the profile reader refuses (a line too long for a
// profile), is said so in the error box instead of being passed over or ending the program.
// Window thread only.
#pragma once

#include <QString>

class dorvex_convertor;

// True when the profile was loaded into the converter. A refused file leaves the settings as
// they were. Internal errors (level 2) are not caught here.
bool load_profile_or_say_so(dorvex_convertor& converter, const QString& path);
// True when the converter's settings were written to the file.
bool save_profile_or_say_so(dorvex_convertor& converter, const QString& path);
