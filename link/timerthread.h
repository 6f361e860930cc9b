// The beat of the active mode's periodic sending: while enabled, the thread
// emits TimeOut() every 2 x period + 2 ms; it sends nothing itself.
//
// The enable flag and the period are process-wide (there is one timer); the
// GUI thread sets them, the timer's loop reads them.
#pragma once

#include <QThread>

#include <atomic>
#include <cstdint>

class TimerThread : public QThread {
    Q_OBJECT

public:
    explicit TimerThread(QObject* parent = nullptr);
    // Does not stop the loop: the owner calls stopLoop() and waits first.
    ~TimerThread() override;

    void enable();
    void disable();
    bool isEnabled() const;
    // The interval in units of 2 ms (50 after construction, 100 ms); a
    // negative period counts as 0. Takes effect from the next interval.
    void setPeriod(int n);
    // The interval that the next one will last, in units of 2 ms.
    int period() const;
    // Ends the loop; a sleep in progress is cut short and emits no tick.
    void stopLoop();

signals:
    void TimeOut();

protected:
    void run() override;

private:
    std::atomic<uint8_t> running{1};
};
