// The programs as a user (or a session manager) ends them: SIGTERM and
// SIGINT close the window as "Выход" does, so the settings are written.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "common/core/IniFile.h"
#include "tests/support/Child.h"

namespace {

struct Program {
    const char* path;
    const char* section;  // a section every settings file of the program has
};

}  // namespace

TEST(Programs, TerminationSignalsCloseTheWindowAndSaveTheSettings) {
    const Program programs[] = {{QUORVANE_PROGRAM, "Connection"}, {OSTRILON_PROGRAM, "COMPORT"}};
    for (const auto& p : programs) {
        for (int sig : {SIGTERM, SIGINT}) {
            // A copy in a folder of its own keeps its settings beside it, as installed.
            QTemporaryDir dir;
            const QString exe = dir.filePath(QFileInfo(QString::fromUtf8(p.path)).fileName());
            ASSERT_TRUE(QFile::copy(QString::fromUtf8(p.path), exe));
            QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
            const QString ini = exe + ".INI";
            testchild::Child child({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", exe.toStdString()});
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            ASSERT_EQ(child.Wait(0), testchild::Child::kStillRunning) << p.path << ": " << child.err;
            ASSERT_FALSE(QFile::exists(ini));  // written at exit only
            ::kill(child.Pid(), sig);
            EXPECT_EQ(child.Wait(10000), 0) << p.path << " signal " << sig << ": " << child.err;
            common::IniFile settings(ini.toStdString());
            ASSERT_TRUE(settings.Load());
            EXPECT_TRUE(settings.SectionExists(p.section)) << p.path << " signal " << sig;
        }
    }
}
