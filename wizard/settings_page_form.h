// The controls of the conversion settings page: the MySQL database list, the handling of
// existing tables and the switches (the fourth and fifth say how MySQL types are converted).
#pragma once

#include <QWidget>
#include <array>

class QCheckBox;
class QListWidget;
class QRadioButton;

struct settings_page_form {
    QListWidget* databases = nullptr;
    // Overwrite, merge, skip: the radio of mode m is modes[m].
    std::array<QRadioButton*, 3> modes{};
    QCheckBox* tab_def = nullptr;
    QCheckBox* skip_idx = nullptr;
    QCheckBox* uppercase = nullptr;
    QCheckBox* blob2text = nullptr;
    QCheckBox* time_interval = nullptr;

    void build(QWidget* page);
};
