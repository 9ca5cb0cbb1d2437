// Page 1: the welcome text and "&Load Settings", which loads a profile file so that the
// following pages show its values.
#pragma once

#include "wizard/wizard_page.h"

class QLabel;
class dorvex_convertor;
class QPushButton;

class welcome_page : public wizard_page {
    Q_OBJECT

  public:
    welcome_page(dorvex_convertor& converter, const QString& profile_extension);

  protected:
    void page_init() override;

  private:
    void on_load_settings();

    dorvex_convertor& converter_;
    QString extension_;
    QLabel* title_ = nullptr;
    bool title_font_set_ = false;
};
