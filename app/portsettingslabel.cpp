#include "portsettingslabel.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

PortSettingsLabel::PortSettingsLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void PortSettingsLabel::setSettingsText(const QString &text, const QString &portName)
{
    name = portName;
    nameAt = portName.isEmpty() ? -1 : text.indexOf(portName);
    setText(text);
    updateGeometry();
}

QString PortSettingsLabel::shownFor(int width) const
{
    const QString whole = text();
    const QFontMetrics fm = fontMetrics();
    // A plain setText() since leaves no name to shorten.
    if (nameAt < 0 || whole.midRef(nameAt, name.size()) != name || fm.horizontalAdvance(whole) <= width)
        return whole;
    const QString before = whole.left(nameAt);
    const QString after = whole.mid(nameAt + name.size());
    const int room = width - fm.horizontalAdvance(before) - fm.horizontalAdvance(after);
    return before + fm.elidedText(name, Qt::ElideMiddle, qMax(0, room)) + after;
}

int PortSettingsLabel::textRoom() const
{
    return contentsRect().width() - 2 * margin();
}

QString PortSettingsLabel::shownText() const
{
    return shownFor(textRoom());
}

QSize PortSettingsLabel::minimumSizeHint() const
{
    QSize hint = QLabel::minimumSizeHint();
    if (nameAt < 0 || text().midRef(nameAt, name.size()) != name)
        return hint;
    const QFontMetrics fm = fontMetrics();
    const int least = fm.horizontalAdvance(name.left(kLeastNameChars)) + fm.horizontalAdvance(QChar(0x2026));
    const int saved = fm.horizontalAdvance(name) - least;
    if (saved > 0)
        hint.setWidth(hint.width() - saved);
    return hint;
}

bool PortSettingsLabel::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        // The whole text, only when part of it is hidden.
        auto *help = static_cast<QHelpEvent *>(e);
        if (shownText() != text())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(e);
}

void PortSettingsLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const int align = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, room, align, palette(), isEnabled(), shownText(), foregroundRole());
}
