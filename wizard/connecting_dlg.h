// The modal "Connecting to Oracle server" dialog: its icon walks through eight frames every
// 500 ms while a worker connects. The worker ends it with finish(), from its own thread; the
// user cannot close it.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

class connecting_dlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int frame_period_ms = 500;

    explicit connecting_dlg(QWidget* parent = nullptr);

    // Any thread: stops the animation and closes the dialog with result 0.
    void finish();
    int frame() const { return frame_; }

  protected:
    void reject() override {}

  private:
    void next_frame();

    QLabel* icon_ = nullptr;
    QTimer timer_;
    int frame_ = 0;
};
