// The status bar's port settings ("ttyUSB0, 115200, 8N1, Non-flow"). A long
// port name, such as one under /dev/serial/by-id/, would push the settings
// out of sight and crowd the texts beside it: where the label is too narrow
// for the whole text, the name loses its middle, so that the settings always
// show. text() keeps the whole text, which the tool tip then shows.
#pragma once

#include <QLabel>
#include <QSize>
#include <QString>

class PortSettingsLabel : public QLabel
{
    Q_OBJECT

public:
    // The least of the name that the label asks room for, in average characters.
    static constexpr int kLeastNameChars = 20;

    explicit PortSettingsLabel(QWidget *parent = nullptr);

    // Shows `text`, whose first `name` may be shortened.
    void setSettingsText(const QString &text, const QString &name);
    // What the label shows at its present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QString shownFor(int width) const;
    int textRoom() const;

    QString name;
    int nameAt = -1;
};
