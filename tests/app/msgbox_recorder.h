// Records and closes the message boxes that the code under test shows.
//
// The program reports to the user with modal QMessageBox calls
// (QMessageBox::warning, critical, information), which wait in a loop of
// their own until the box is closed. While a MessageBoxRecorder lives, a
// timer polls for a visible QMessageBox (the active modal widget, or any
// visible top-level box), records its window title, text and icon, and
// presses its default button (else its escape button, else its first
// button), so the call returns and the test goes on.
//
//     MessageBoxRecorder boxes;
//     dialog.updateSettings();                   // shows a warning
//     ASSERT_EQ(boxes.count(), 1);
//     EXPECT_EQ(boxes.at(0).title, "Warning");
//     EXPECT_EQ(boxes.at(0).text, "Duplicate values were entered.");
//
// Boxes are seen only while an event loop runs (the box's own loop, or a
// QTest::qWait in the test); code that blocks the GUI thread without one
// does not lose its box, it is recorded once the loop runs again. Use it in
// the GUI thread, one at a time.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTimer>

class MessageBoxRecorder {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    explicit MessageBoxRecorder(int pollMs = 10);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    int count() const { return recorded.size(); }
    const Box &at(int i) const { return recorded.at(i); }
    const QList<Box> &boxes() const { return recorded; }
    void clear() { recorded.clear(); }

    // "title: text" of every box, one a line, for failure messages.
    QString summary() const;

private:
    void poll();

    QTimer timer;
    QList<Box> recorded;
};
