// Page 1: the welcome text and "&Load Settings", which loads a profile file so that the
// following pages show its values.
#pragma once

#include "wizard/wizard_page.h"

class QLabel;
class QPushButton;

class welcome_page : public wizard_page {
    Q_OBJECT

  public:
    explicit welcome_page(const QString& profile_extension);

  protected:
    void page_init() override;

  private:
    void on_load_settings();

    QString extension_;
    QLabel* title_ = nullptr;
    bool title_font_set_ = false;
};
