#include "wizard/tarvolin_application.h"

#include "platform/codepage.h"

tarvolin_application::tarvolin_application(int& argc, char** argv) : QApplication(argc, argv) {
    platform::init_locale();
}
