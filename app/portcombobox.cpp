#include "portcombobox.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QStylePainter>

PortComboBox::PortComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // A name too long even for the screen loses its middle in the list too.
    view()->setTextElideMode(Qt::ElideMiddle);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { setToolTip(currentText()); });
    connect(model(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        for (int i = first; i <= last; ++i)
            setItemData(i, itemText(i), Qt::ToolTipRole);
    });
}

QSize PortComboBox::capped(QSize hint) const
{
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    const QSize text(fontMetrics().averageCharWidth() * kShownChars, hint.height());
    const int most = style()->sizeFromContents(QStyle::CT_ComboBox, &opt, text, this).width();
    hint.setWidth(qMin(hint.width(), most));
    return hint;
}

QSize PortComboBox::sizeHint() const
{
    return capped(QComboBox::sizeHint());
}

QSize PortComboBox::minimumSizeHint() const
{
    return capped(QComboBox::minimumSizeHint());
}

QString PortComboBox::shownText() const
{
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    // The label is drawn one pixel in from each side of the edit field.
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, qMax(0, field.width() - 2));
}

void PortComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    opt.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

void PortComboBox::showPopup()
{
    QComboBox::showPopup();
    QWidget *popup = view()->window();
    if (popup == window() || !popup->isVisible())
        return;
    const QScreen *screen = popup->screen() ? popup->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    // The popup's frame and scroll bar come on top of the widest item.
    const int chrome = popup->width() - view()->viewport()->width();
    QRect r = popup->geometry();
    r.setWidth(qMax(r.width(), view()->sizeHintForColumn(0) + chrome));
    if (room.isValid()) {
        r.setWidth(qMin(r.width(), room.width()));
        if (r.right() > room.right())
            r.moveRight(room.right());
        if (r.left() < room.left())
            r.moveLeft(room.left());
    }
    popup->setGeometry(r);
}
