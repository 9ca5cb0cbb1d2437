#include "wizard/welcome_page.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "TK/tk_trace_log.h"
#include "wizard/g_f_dlg.h"
#include "wizard/profile_files.h"
#include "wizard/wizard_guard.h"
#include "wizard/wizard_shell.h"

welcome_page::welcome_page(dorvex_convertor& converter, const QString& profile_extension)
    : wizard_page(103, QString(), QString(), next_button, 1014),
      converter_(converter),
      extension_(profile_extension) {
    title_ = new QLabel(QStringLiteral("Welcome to the Database\nConversion Wizard\n"), this);
    title_->setObjectName(QStringLiteral("title"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    const char* const lines[] = {
        "This wizard helps you move MySQL database to Oracle",
        "server. Click 'Next' to continue.",
        "",
        "WARNING: conversion productivity strongly depends",
        "on amount of available memory. It is recommended that",
        "you exit all programs before continue with the wizard.",
    };
    layout->setSpacing(2);
    for (const char* line : lines) {
        layout->addWidget(new QLabel(QString::fromLatin1(line), this));
    }
    layout->addStretch();

    auto* load = new QPushButton(QStringLiteral("&Load Settings"), this);
    load->setObjectName(QStringLiteral("load_settings"));
    auto* row = new QHBoxLayout;
    row->addWidget(load);
    row->addStretch();
    layout->addLayout(row);
    connect(load, &QPushButton::clicked, this, guarded([this] { on_load_settings(); }));
}

void welcome_page::page_init() {
    tk_trace(1, "welcome_page::page_init");
    if (!title_font_set_) {
        set_title_font(title_);
        title_font_set_ = true;
    }
}

void welcome_page::on_load_settings() {
    g_f_dlg dialog(&shell(), QStringLiteral("Select Profile File"), profile_filter(extension_),
                   extension_);
    const QString path = dialog.open_file();
    if (path.isEmpty()) {
        return;
    }
    load_profile_or_say_so(converter_, path);
}
