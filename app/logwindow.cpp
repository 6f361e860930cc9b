#include "app/logwindow.h"

#include <QFont>
#include <QMetaObject>
#include <QTextCursor>
#include <QThread>

namespace {
// Diagnostic lines pile up over a long session; the oldest go first.
constexpr int kMaxLines = 20000;
} // namespace

LogWindow::LogWindow(QWidget *parent) : QPlainTextEdit(parent)
{
    setWindowTitle(tr("Vantrel log"));
    // A window beside the main one, not a main window: left open, it must
    // not keep the program running once the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setReadOnly(true);
    setMaximumBlockCount(kMaxLines);
    QFont font("Monospace");
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    resize(640, 360);
}

LogWindow::~LogWindow() = default;

void LogWindow::appendText(const QString &text)
{
    if (QThread::currentThread() == thread())
        insertText(text);
    else
        QMetaObject::invokeMethod(this, "insertText", Qt::QueuedConnection, Q_ARG(QString, text));
}

void LogWindow::insertText(const QString &text)
{
    // Converter replies end in carriage returns; the view wants plain line ends.
    QString lines = text;
    lines.replace("\r\n", "\n");
    lines.replace('\r', '\n');
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
}
