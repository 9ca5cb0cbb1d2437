// tarvolin: the desktop wizard that moves a MySQL database into an Oracle schema.
#include "platform/codepage.h"
#include "wizard/drx_shell.h"
#include "wizard/tarvolin_application.h"

int main(int argc, char** argv) {
    platform::init_locale();
    tarvolin_application application(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    tarvolin_program program(arguments);
    return program.run();
}
