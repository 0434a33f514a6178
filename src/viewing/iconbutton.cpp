#include "iconbutton.h"

#include <QPushButton>

void makeIconButton(QPushButton *button, const char *iconResource, int side)
{
    button->setIcon(QIcon(QPixmap(QString::fromLatin1(iconResource))));
    button->setIconSize(QSize(side, side));
    button->setFlat(true);
    button->setFixedSize(side, side);
    button->setText(QString());
}
