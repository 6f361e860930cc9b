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

void Console::putData(const QByteArray &data)
{
    moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
    insertPlainText(QString::fromUtf8(data.constData(), int(qstrnlen(data.constData(), uint(data.size())))));
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
