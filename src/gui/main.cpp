// velora: the window program.
#include <QApplication>

#include "gui/DialogRunner.h"
#include "gui/MainWindow.h"
#include "gui/QtUiHost.h"
#include "platform/Clock.h"
#include "platform/CoreDumps.h"
#include "platform/Environment.h"
#include "platform/IcmpSocket.h"
#include "platform/Locale.h"
#include "platform/NameResolver.h"
#include "platform/Registry.h"
#include "platform/TcpConnector.h"
#include "platform/X11Screen.h"
#include "platform/XdgOpenShell.h"
#include "program/Program.h"

int main(int argc, char** argv) {
    velora::disableCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELORA"));

    velora::SystemEnvironment env;
    velora::SystemClock clock;
    velora::gui::ModalDialogRunner dialogs;
    velora::gui::QtUiHost ui(dialogs);
    velora::X11Screen screen(env.get("DISPLAY"));
    velora::XdgOpenShell shell;
    velora::SystemNameResolver resolver;
    velora::SystemTcpConnector connector;
    velora::SystemIcmpSockets icmpSockets;
    velora::Program program({env, clock, velora::Locale::system(), ui, velora::Registry::defaultPath(),
                             velora::SystemInfo::fromSystem(), screen, shell, resolver, connector, icmpSockets});

    velora::gui::MainWindow window(program, ui);
    window.startUp();
    window.show();
    return app.exec();
}
