#include "console.h"

#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>

Console::Console(QWidget *parent)
    : QPlainTextEdit(parent)
{
    viewFont.setFamily(QStringLiteral("Courier New"));
    // Where Courier New is missing, fall back to another fixed-width face.
    // The width stays unstretched: a stretch factor of 1 (per cent) squeezes
    // every glyph to a sliver with scalable fonts.
    viewFont.setStyleHint(QFont::TypeWriter);
    document()->setMaximumBlockCount(50001);
    document()->setDefaultFont(viewFont);

    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, Qt::green);
    setPalette(p);

    setReadOnly(true);
    setOverwriteMode(false);
}

Console::~Console() = default;

namespace {

// Characters that end a line of the view (a block of the document).
bool endsLine(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator
           || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
}

} // namespace

void Console::putData(const QByteArray &data)
{
    const QString text = QString::fromUtf8(data.constData(), int(qstrnlen(data.constData(), uint(data.size()))));
    moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);

    // Every insert lays out the whole last line again, so a line that never
    // ends would make each piece cost more than the one before. Past
    // kMaxLineLength characters the view starts a new line.
    int open = document()->lastBlock().length() - 1;
    QString shown;
    shown.reserve(text.size() + text.size() / kMaxLineLength + 1);
    for (const QChar c : text) {
        if (endsLine(c)) {
            open = 0;
        } else {
            // A surrogate pair stays on one line.
            if (open >= kMaxLineLength && !c.isLowSurrogate()) {
                shown += QLatin1Char('\n');
                open = 0;
            }
            ++open;
        }
        shown += c;
    }
    insertPlainText(shown);
}

void Console::setFilePrefix(QString prefix)
{
    logFilePrefix = prefix;
}

void Console::removeBlockLimit()
{
    document()->setMaximumBlockCount(0);
}

void Console::Save()
{
    // A port name such as "pts/3" must not send the file into another folder.
    QString prefix = logFilePrefix;
    prefix.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    const QString name = prefix + QDateTime::currentDateTime().toString(QStringLiteral("(MM-dd_hhmmss)"))
                         + QStringLiteral(".txt");
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QMessageBox::critical(this, tr("Error"),
                              tr("Cannot create the log file %1 (%2).").arg(name, file.errorString()));
        return;
    }
    QTextStream out(&file);
    out << toPlainText() << Qt::endl;
    file.close();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        QMessageBox::critical(this, tr("Error"),
                              tr("Cannot write the log file %1 (%2).").arg(name, file.errorString()));
        return;
    }
    QMessageBox::information(this, tr("Info"), QStringLiteral("Saved"));
}
