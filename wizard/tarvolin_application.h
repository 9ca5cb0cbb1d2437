// The QApplication of tarvolin. Qt sets the process locale from the environment while it
// constructs the application (setlocale(LC_ALL, "")), which would let a locale with a decimal
// comma change how the conversion core reads and writes numbers (strtod, printf): a DOUBLE read
// from MySQL as "0.5" would arrive as 0. The constructor therefore sets the locale again as
// the core needs it, right after Qt's. The program and the wizard's tests construct it the same
// way. Window thread only, one per process like any QApplication.
#pragma once

#include <QApplication>

class tarvolin_application : public QApplication {
    Q_OBJECT

  public:
    tarvolin_application(int& argc, char** argv);
};
