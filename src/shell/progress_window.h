// SPDX-License-Identifier: GPL-3.0-or-later
// Form2: the small window that shows which port is being tried while the
// panel looks for the supply.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class Form2 : public QWidget {
    Q_OBJECT
public:
    // Owned by the main window and kept in front of it.
    explicit Form2(QWidget* owner);

    // Puts the window's left edge at the owner's left edge.
    void Form2_Load();

    // Writes dispini's caption and sizes the label to it, centred where the
    // label was designed, so a caption longer than the first still shows whole.
    void ShowCaption(const QString& text);

    QLabel* dispini;
    QProgressBar* PBar1;
};
