#include "wizard/profile_files.h"

#include "TK/tk_exception.h"
#include "core/dorvex_convertor.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_shell.h"

bool load_profile_or_say_so(dorvex_convertor& converter, const QString& path) {
    try {
        if (converter.load_profile(to_wide(path))) {
            return true;
        }
    } catch (const tk_exception& e) {
        // The reader names the file and the line; the user can mend the file and load it
        // again. This is no conversion error, so it does not join the finish page's list.
        if (e.level() >= 2) {
            throw;
        }
        wizard_shell::instance().error(from_ansi(e.message()));
        return false;
    }
    wizard_shell::instance().error(QStringLiteral("Cannot read the profile file ") + path +
                                   QLatin1Char('.'));
    return false;
}

bool save_profile_or_say_so(dorvex_convertor& converter, const QString& path) {
    if (converter.save_profile(to_wide(path))) {
        return true;
    }
    wizard_shell::instance().error(QStringLiteral("Cannot write the profile file ") + path +
                                   QLatin1Char('.'));
    return false;
}
