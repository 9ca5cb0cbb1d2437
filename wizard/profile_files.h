// Loading and saving profile files from the wizard: the converter does the work; a file that
// cannot be read or written is said so in the error box instead of being passed over.
#pragma once

#include <QString>

class dorvex_convertor;

// True when the profile was loaded into the converter.
bool load_profile_or_say_so(dorvex_convertor& converter, const QString& path);
// True when the converter's settings were written to the file.
bool save_profile_or_say_so(dorvex_convertor& converter, const QString& path);
