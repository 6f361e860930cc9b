// The port list of the two connection dialogs. Stable port names, such as
// those under /dev/serial/by-id/, run to a hundred characters and more: the
// box asks for no more room than a short name needs, shows a longer name
// elided in the middle (its start and its distinctive end stay visible),
// and gives the whole name as its tool tip and in its open list. The items
// keep the whole names, so currentText() is the name the port opens with.
#pragma once

#include <QComboBox>
#include <QSize>
#include <QString>

class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    // The most room the box asks for, in average characters.
    static constexpr int kShownChars = 12;

    explicit PortComboBox(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // What the closed box shows of the current name.
    QString shownText() const;
    // The open list is as wide as the longest name, within the screen.
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize capped(QSize hint) const;
};
