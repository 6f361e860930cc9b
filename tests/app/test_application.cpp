// One QApplication for every test of the program, made before the first test
// and destroyed after the last, inside main(), so that no Qt object outlives
// it. Tests must not create an application object of their own.
// Every test also has the exchanges with a simulated converter wait for its
// answer (converter_replywait.h).
#include "tests/sim/converter/converter_replywait.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "vantrel-test";
        static char *argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        // Every exchange with a simulated converter finds its answer waiting.
        sim::installConverterReplyWait();
    }
    void TearDown() override
    {
        delete app;
        app = nullptr;
    }

private:
    QApplication *app = nullptr;
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace

// Qt's offscreen platform never releases its screen and cursor, whatever the
// program does. Only those blocks are excused (what hangs off them goes with
// them); with the fast unwinder the innermost Qt frame is all a report shows.
// Nothing generic such as QObject::QObject belongs here: a suppressed block
// keeps alive, for the leak check, everything it points to.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QPlatformScreen::QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:QPlatformCursor::QPlatformCursor\n";
}
