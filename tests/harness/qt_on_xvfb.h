#pragma once
// One private X server and one QApplication for a whole test program (Qt allows one per process), with the
// saver's font substitutions as Mirevo.scr installs them, and the program's own connection for screenshots
// and XTest. A test program registers it once:
//   QtOnXvfb* qtEnv = QtOnXvfb::install("name", 640, 240);
// and links mirevo_saver_qt, mirevo_test_harness and Qt6::Widgets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "common/session_bus.h"
#include "saver/qt_toolkit.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {

struct QtOnXvfb : testing::Environment {
    static QtOnXvfb* install(std::string programName, int width, int height) {
        auto* environment = new QtOnXvfb(std::move(programName), width, height);
        testing::AddGlobalTestEnvironment(environment);
        return environment;
    }

    TempDir home;
    std::unique_ptr<Xvfb> server;
    std::vector<std::unique_ptr<ScopedEnv>> env;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<XClient> x;

    void SetUp() override {
        server = std::make_unique<Xvfb>(width_, height_);
        ASSERT_TRUE(server->ok());
        for (const char* var : {"HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            env.push_back(std::make_unique<ScopedEnv>(var, home.path()));
        env.push_back(std::make_unique<ScopedEnv>("DISPLAY", server->display()));
        env.push_back(std::make_unique<ScopedEnv>("QT_QPA_PLATFORM", "xcb"));
        env.push_back(std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", kNoSessionBus));
        app = std::make_unique<QApplication>(argc_, argv_);
        installFontSubstitutions();
        x = std::make_unique<XClient>(server->display());
    }
    void TearDown() override {
        x.reset();
        app.reset();
        server.reset();
    }

private:
    QtOnXvfb(std::string programName, int width, int height)
        : name_(std::move(programName)), width_(width), height_(height) {}

    std::string name_;
    int width_, height_;
    int argc_ = 1;
    char* argv_[2] = {name_.data(), nullptr};
};

} // namespace mirevo::test
