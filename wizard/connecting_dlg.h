// The modal connecting dialog: an icon that walks through eight frames every 500 ms, the text
// ("Connecting to MySQL server." or "Connecting to Oracle server.", then "Please wait...") and a
// Cancel button. wait() shows it until the work it watches has ended or the user gives up:
// Cancel, Escape and the window's close button all do. Window thread only; the dialog never
// hears from the worker itself, it asks (see connection_attempt.h).
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>

class QLabel;

class connecting_dlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int frame_period_ms = 500;
    // How often wait() asks whether the work has ended.
    static constexpr int poll_period_ms = 20;
    static const QString mysql_text;
    static const QString oracle_text;

    enum result { cancelled = 0, ended = 1 };

    explicit connecting_dlg(const QString& text, QWidget* parent = nullptr);

    // Shows the dialog modally until work_ended() returns true or the user cancels.
    result wait(const std::function<bool()>& work_ended);
    int frame() const { return frame_; }

  private:
    void next_frame();

    QLabel* icon_ = nullptr;
    QTimer animation_;
    QTimer poll_;
    int frame_ = 0;
};
