// QSerialPort and QThread want an application object; every test program
// of this folder gets one for the whole run, and has its exchanges with a
// simulated converter wait for the answer (converter_replywait.h).
#include "tests/sim/converter/converter_replywait.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "link-test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
        sim::installConverterReplyWait();
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
