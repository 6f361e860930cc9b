// QSerialPort and QThread want an application object; every test program
// of this folder gets one for the whole run.
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
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplication);

} // namespace
