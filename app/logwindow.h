// The diagnostic log window: the worker's and the error handler's console
// lines, shown in a window of their own that starts hidden and that the
// main window's hidden chord shows and hides. Every line also goes to
// standard error.
#pragma once

#include <QPlainTextEdit>

class LogWindow : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    // Appends text as it came (lines carry their own line ends). Safe to call
    // from any thread: other threads' text is handed to the GUI thread.
    void appendText(const QString &text);

private slots:
    void insertText(const QString &text);
};
