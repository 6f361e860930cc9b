// The line-parameter combos that the settings and the auto-connect dialogs
// offer alike: the items they hold, the baud rate box that takes a typed-in
// rate on an entry without one, and how the chosen rate is read.
#pragma once

#include <QtGlobal>

#include <initializer_list>

class QComboBox;
class QValidator;

// One item per rate, its text the rate and its data the rate; selects the
// item at `current`.
void fillBaudRateCombo(QComboBox *box, std::initializer_list<qint32> rates, int current);

// Parity None, Even, Odd, Mark, Space; stop bits 1, 2; flow control None,
// Hardware; each item's data is its QSerialPort value and the first item of
// each is selected.
void fillLineParameterCombos(QComboBox *parity, QComboBox *stopBits, QComboBox *flowControl);

// For the baud rate box's currentIndexChanged: an entry without a rate makes
// the box editable, empty and limited to what `validator` accepts; an entry
// with one makes it a plain list again.
void applyCustomBaudRatePolicy(QComboBox *box, int idx, QValidator *validator);

// The chosen rate: item 4 is read from the box's text (where a typed-in rate
// would stand), every other item from its data.
qint32 chosenBaudRate(const QComboBox *box);
