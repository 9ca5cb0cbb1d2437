// The open and save file dialogs of the wizard (profile files).
//
// The filter is given in the old two-part form, "Name (.ext)X*.extX...X", where every "X"
// separates a display name from its pattern; it is turned into Qt's "Name (*.ext);;..." form.
// The pattern "*.*" (every file on the original platform) becomes "*" here, where file names
// need not contain a dot.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class g_f_dlg {
  public:
    // An empty extension is an internal error; one given without its dot gets one.
    g_f_dlg(QWidget* parent, const QString& title, const QString& filter, const QString& extension);

    // The chosen path, or an empty string when the user cancelled.
    QString open_file();
    QString save_file();

    const QString& extension() const { return extension_; }
    const QStringList& name_filters() const { return name_filters_; }

    static QStringList convert_filter(const QString& filter);

  private:
    QString run(bool save);

    QWidget* parent_;
    QString title_;
    QStringList name_filters_;
    QString extension_;
};

// "Profile Files (.%s)X*.%sXAll Files (*.*)X*.*X" with the profile extension in both places; the
// extension must be three characters long.
QString profile_filter(const QString& extension);
