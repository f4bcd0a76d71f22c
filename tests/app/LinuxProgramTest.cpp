// The whole Linux program over a scripted sockets library: what the user sees
// at start-up when the library or the host-name lookup fails. Each case runs
// the program in a child process of this test, because a failed start-up ends
// the process.
#include "app/LinuxProgram.h"
#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "StartupScenarios.h"
#include "backends/qt/QtMainWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <sys/wait.h>

namespace vexor {
namespace {

std::string gSelf;

QtMainWindow* MainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<QtMainWindow*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

// Writes what each message box says, and whether the main window was on the
// screen behind it, then presses its OK button.
void AnswerMessageBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            const QtMainWindow* window = MainWindow();
            std::printf("caixa:%s|janela:%s\n", box->text().toStdString().c_str(),
                        window != nullptr && window->isVisible() ? "visível" : "oculta");
            std::fflush(stdout);
            box->button(QMessageBox::Ok)->click();
        }
    }
    QTimer::singleShot(20, qApp, AnswerMessageBoxes);
}

int RunChild(const std::string& scenario, int argc, char** argv) {
    fakes::FakeSockets sockets;
    fakes::ScriptSockets(sockets, scenario);
    fakes::FakeNetwork network({});
    fakes::FakeShell shell;
    ProgramObservers observers;
    observers.started = [] { QTimer::singleShot(0, qApp, AnswerMessageBoxes); };
    observers.shown = [](QWidget& window) {
        // The final centring follows the window manager's decoration.
        QTimer::singleShot(200, qApp, [&window] {
            const QRect screen = window.screen()->availableGeometry();
            const QPoint offset = window.frameGeometry().center() - screen.center();
            std::printf("janela:%s|centrada:%s\n",
                        window.findChild<QLineEdit*>(QStringLiteral("txtIPS"))
                            ->text()
                            .toStdString()
                            .c_str(),
                        offset.manhattanLength() <= 2 ? "sim" : "não");
            std::fflush(stdout);
            QApplication::quit();
        });
    };
    return RunLinuxWindow(argc, argv, sockets, network, shell, observers);
}

// The window's "&Sair" clicked once the window is up: the hook that runs right
// before the process ends says whether the application was destroyed first.
int RunLeaving(char** argv) {
    fakes::FakeSockets sockets;
    fakes::ScriptSockets(sockets, "normal");
    fakes::FakeNetwork network({});
    fakes::FakeShell shell;
    ProgramObservers observers;
    observers.shown = [](QWidget& window) {
        QTimer::singleShot(0, qApp, [&window] {
            window.findChild<QPushButton*>(QStringLiteral("btnSair"))->click();
        });
    };
    observers.ending = [] {
        std::printf("aplicação:%s\n",
                    QCoreApplication::instance() == nullptr ? "destruída" : "viva");
    };
    RunLinuxWindow(1, argv, sockets, network, shell, observers);
    std::printf("depois do fim\n");
    return 7;
}

// The libraries only a refresh uses, as /proc/self/maps names those mapped,
// then how many font files are mapped.
std::string WhatIsMapped() {
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    std::string found;
    std::set<std::string> fonts;
    char line[4096];
    while (maps != nullptr && std::fgets(line, sizeof line, maps) != nullptr) {
        for (const char* library :
             {"libcurl", "libxml2", "libavahi-client", "libsmbclient", "libresolv"}) {
            if (std::strstr(line, library) != nullptr && found.find(library) == std::string::npos) {
                found += std::string(library) + " ";
            }
        }
        const std::string_view path = std::strchr(line, '/') ? std::strchr(line, '/') : "";
        if (path.find("/fonts/") != std::string_view::npos &&
            path.find("fontconfig") == std::string_view::npos) {
            fonts.emplace(path);
        }
    }
    if (maps != nullptr) {
        std::fclose(maps);
    }
    return (found.empty() ? "nenhuma " : found) + "fontes=" + std::to_string(fonts.size());
}

// The real program, once its window is painted: nothing that only a refresh
// needs has been loaded, and the one face its text is drawn in is the only
// font file mapped.
int RunPainted(char** argv) {
    return RunLinuxProgram(1, argv,
                           {.started = {},
                            .shown =
                                [](QWidget&) {
                                    QTimer::singleShot(100, qApp, [] {
                                        std::printf("%s\n", WhatIsMapped().c_str());
                                        std::fflush(stdout);
                                        QApplication::quit();
                                    });
                                },
                            .ending = {}});
}

TEST(LinuxProgram, ThePaintedWindowHasMappedOneFontAndNothingOnlyARefreshNeeds) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string command = "'" + gSelf + "' --pintada 2>/dev/null";
    std::FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    char chunk[256] = {};
    const bool read = std::fgets(chunk, sizeof chunk, child) != nullptr;
    pclose(child);
    ASSERT_TRUE(read);
    EXPECT_STREQ(chunk, "nenhuma fontes=1\n");
}

TEST(LinuxProgram, SairDestroysTheApplicationThenEndsWithSuccess) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string command = "'" + gSelf + "' --sair 2>/dev/null";
    std::FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string transcript;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, child) != nullptr) {
        transcript += chunk;
    }
    const int status = pclose(child);
    EXPECT_EQ(transcript, "aplicação:destruída\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(LinuxProgram, StartUpMessagesComeBeforeTheWindowAndFailedLibrariesEndTheProgram) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const auto& c : fakes::kStartupScenarios) {
        const std::string command = "'" + gSelf + "' --filho " + c.name + " 2>/dev/null";
        std::FILE* child = popen(command.c_str(), "r");
        ASSERT_NE(child, nullptr);
        std::string transcript;
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, child) != nullptr) {
            transcript += chunk;
        }
        const int status = pclose(child);
        EXPECT_EQ(transcript, c.transcript) << c.name;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.name;
    }
}

} // namespace
} // namespace vexor

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--filho") {
        return vexor::RunChild(argv[2], 1, argv);
    }
    if (argc == 2 && std::string(argv[1]) == "--sair") {
        return vexor::RunLeaving(argv);
    }
    if (argc == 2 && std::string(argv[1]) == "--pintada") {
        return vexor::RunPainted(argv);
    }
    vexor::gSelf = argv[0];
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
