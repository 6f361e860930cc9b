#include "msgbox_recorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QStringList>

MessageBoxRecorder::MessageBoxRecorder(int pollMs)
{
    timer.setInterval(pollMs);
    QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    timer.start();
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    timer.stop();
}

QString MessageBoxRecorder::summary() const
{
    QStringList lines;
    for (const Box &b : recorded)
        lines << b.title + QStringLiteral(": ") + b.text;
    return lines.join(QLatin1Char('\n'));
}

void MessageBoxRecorder::poll()
{
    QMessageBox *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *candidate = qobject_cast<QMessageBox *>(w);
            if (candidate && candidate->isVisible()) {
                box = candidate;
                break;
            }
        }
    }
    if (!box)
        return;

    recorded.append(Box{box->windowTitle(), box->text(), box->icon()});
    QAbstractButton *button = box->defaultButton();
    if (!button)
        button = box->escapeButton();
    if (!button && !box->buttons().isEmpty())
        button = box->buttons().first();
    if (button)
        button->click();
    else
        box->reject();
}
