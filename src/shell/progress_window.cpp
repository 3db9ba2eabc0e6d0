// SPDX-License-Identifier: GPL-3.0-or-later
#include "progress_window.h"
#include "panel_texts.h"

#include "geometry.h"
#include "pictures.h"

Form2::Form2(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Inquiry about ZRM"));
    setWindowIcon(AppIcon());
    setFont(QFont(QStringLiteral("Arial"), 9));
    setFixedSize(Twips(8115), Twips(2925));
    move(Twips(2790), Twips(2790));

    dispini = new QLabel(this);
    dispini->setObjectName(QStringLiteral("dispini"));
    QFont big(QStringLiteral("Arial"));
    big.setPointSizeF(20.25);
    dispini->setFont(big);
    dispini->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    dispini->setAlignment(Qt::AlignCenter);
    ShowCaption(ProgressText::Start);
    dispini->setAccessibleName(QStringLiteral("Connection progress"));

    PBar1 = new QProgressBar(this);
    PBar1->setObjectName(QStringLiteral("PBar1"));
    PBar1->setGeometry(TwipsRect(600, 1890, 6705, 345));
    PBar1->setTextVisible(false);
    PBar1->setAccessibleName(QStringLiteral("Ports tried"));
}

void Form2::ShowCaption(const QString& text) {
    dispini->setText(text);
    dispini->adjustSize();
    const QRect design = TwipsRect(2910, 750, 2325, 480);
    dispini->move(design.center() - dispini->rect().center());
}

void Form2::Form2_Load() {
    if (parentWidget() != nullptr) {
        move(parentWidget()->frameGeometry().left(), y());
    }
}
