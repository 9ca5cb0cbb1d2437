// The base of every page of the wizard: its header texts, the wizard buttons it offers, its help
// topic, and the hooks the shell calls (page_init on every activation, forward or back; on_next
// and on_back when the user leaves it; on_cancel when the user wants to quit). After page_init
// the page's first field receives the keyboard focus. Window thread only.
#pragma once

#include <QString>
#include <QWizardPage>

class QCheckBox;
class QFont;
class QLabel;
class wizard_shell;

class wizard_page : public QWizardPage {
    Q_OBJECT

  public:
    // The wizard buttons a page offers.
    enum buttons : unsigned { back_button = 1, next_button = 2, finish_button = 4 };

    // An empty header title hides the header (the first and last pages show the watermark).
    wizard_page(int template_id, const QString& header_title, const QString& subtitle,
                unsigned buttons, int help_topic);
    ~wizard_page() override;

    int template_id() const { return template_id_; }
    unsigned offered_buttons() const { return buttons_; }
    int help_topic() const { return help_topic_; }

    // Asks "Are you sure you want to exit the wizard?" (No is the default); true allows it.
    virtual bool on_cancel();

    // The shell calls it whenever the page becomes the current one: page_init, then the focus
    // to the first field.
    void activate();

    // QWizardPage: Next calls on_next, Back calls on_back. QWizard initialises a page only when
    // it is entered forward, so activation comes from the shell instead.
    void initializePage() final {}
    bool validatePage() final;
    void cleanupPage() final;
    bool isComplete() const override;

  protected:
    virtual void page_init() {}
    // False keeps the wizard on the page.
    virtual bool on_next() { return true; }
    virtual void on_back() {}
    // The control that has the focus when the page opens (null: the wizard's Next or Finish).
    virtual QWidget* first_field() const { return nullptr; }

    // Enables or disables a control; an enabled control also receives the keyboard focus.
    void enable_ctrl(QWidget* control, bool enable);
    // Checked becomes unchecked, every other state checked.
    void invert_chbox(QCheckBox* box);
    // Verdana, 10 points, bold: the titles of the first and last pages.
    static void set_title_font(QLabel* label);

    wizard_shell& shell() const;

  private:
    int template_id_;
    unsigned buttons_;
    int help_topic_;
};
