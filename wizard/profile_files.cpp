#include "wizard/profile_files.h"

#include "core/dorvex_convertor.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_shell.h"

bool load_profile_or_say_so(dorvex_convertor& converter, const QString& path) {
    if (converter.load_profile(to_wide(path))) {
        return true;
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
