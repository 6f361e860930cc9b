// A worker whose port is open on the simulated converter's pty.
#pragma once

#include "link/consolelog.h"
#include "link/serialportthread.h"
#include "link/txring.h"
#include "tests/link/open_line.h"
#include "tests/sim/converter/converter_sim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

class PortFixture : public ::testing::Test {
protected:
    explicit PortFixture(sim::ConverterMode mode = sim::ConverterMode::Setup)
        : converter(mode)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(converter.start());
        // The ring is process-wide; forget what an earlier test left.
        worker.discardTx();
        ASSERT_TRUE(openPort(115200));
    }

    void TearDown() override
    {
        setConsoleSink(nullptr);
        if (worker.port.isOpen())
            worker.port.close();
    }

    bool openPort(qint32 baud)
    {
        bool ok = openLine(worker.port, converter.portPath(), baud);
        if (!ok)
            ADD_FAILURE() << worker.port.errorString().toStdString();
        return ok;
    }

    // Collects the console lines printed meanwhile.
    void captureConsole()
    {
        setConsoleSink([this](const QString& text) {
            std::lock_guard<std::mutex> lock(consoleMutex);
            console << text;
        });
    }

    QStringList consoleLines()
    {
        std::lock_guard<std::mutex> lock(consoleMutex);
        return console;
    }

    // Lets the port write what it holds and report it.
    void flushPort(int guardMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (worker.port.bytesToWrite() > 0 && t.elapsed() < guardMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
    }

    sim::ConverterSim converter;
    SerialPortThread worker;
    std::mutex consoleMutex;
    QStringList console;
};

class ActivePortFixture : public PortFixture {
protected:
    ActivePortFixture()
        : PortFixture(sim::ConverterMode::Active)
    {
    }
};
