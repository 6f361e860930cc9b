// The log view under received traffic: how long the view takes to show
// 1 MiB that never ends a line, and 1 MiB of 20-byte lines, arriving in
// pieces as a serial port delivers them. The window is shown and its events
// run after each piece, as they would between two reads of the port.
//
//   console_bench [piece-bytes ...]   (default: 64 4096)
#include "app/console.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kTotal = 1 << 20;

QByteArray withoutLineEnds()
{
    QByteArray data(kTotal, 'x');
    for (int i = 0; i < kTotal; ++i)
        data[i] = "0123456789ABCDEF"[i % 16];
    return data;
}

QByteArray shortLines()
{
    // A frame line of 20 bytes, carriage return included.
    const QByteArray line("t123811223344556677\r");
    QByteArray data;
    data.reserve(kTotal + line.size());
    while (data.size() < kTotal)
        data += line;
    data.truncate(kTotal);
    return data;
}

double feedSeconds(const QByteArray &data, int piece)
{
    Console console;
    console.resize(640, 400);
    console.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (int at = 0; at < data.size(); at += piece) {
        console.putData(data.mid(at, piece));
        QApplication::processEvents();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("    (%d lines held)\n", console.document()->blockCount());
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> pieces;
    for (int i = 1; i < argc; ++i)
        pieces.push_back(std::atoi(argv[i]));
    if (pieces.empty())
        pieces = {64, 4096};

    const QByteArray endless = withoutLineEnds();
    const QByteArray lines = shortLines();
    for (int piece : pieces) {
        if (piece <= 0)
            continue;
        const double a = feedSeconds(endless, piece);
        std::printf("1 MiB without line ends, %d-byte pieces: %.3f s\n", piece, a);
        const double b = feedSeconds(lines, piece);
        std::printf("1 MiB of 20-byte lines, %d-byte pieces: %.3f s\n", piece, b);
        std::fflush(stdout);
    }
    return 0;
}
