// The log view of the active tab: the converter's bytes as they arrive,
// green on black, and a Save that writes them to a text file in the working
// directory.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QPlainTextEdit>
#include <QString>

class Console : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit Console(QWidget *parent = nullptr);
    ~Console() override;

    // A line grows to this many characters; the next one starts a new line.
    static constexpr int kMaxLineLength = 1024;

    // Appends the bytes at the end, as text up to a first zero byte; each
    // carriage return starts a new line, and so does a line that reaches
    // kMaxLineLength characters.
    void putData(const QByteArray &data);
    // Start of the saved file's name: the connected port's name. Path
    // separators in it become '_' when the file is named.
    void setFilePrefix(QString prefix);
    // The view keeps the last 50001 lines until this lifts the limit.
    void removeBlockLimit();

public slots:
    // Writes the whole text to "<prefix>(MM-dd_hhmmss).txt" in the working
    // directory and tells the user "Saved", or why the file could not be
    // written.
    void Save();

private:
    QFont viewFont;
    QString logFilePrefix;
};
