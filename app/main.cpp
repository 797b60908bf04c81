// The editor's entry: one window on the Jnx.ini beside the executable.

#include <QApplication>
#include <array>

#include "error_box.h"
#include "look/window_style.h"
#include "qv_env.h"

int main(int /*argc*/, char* argv[]) {
    // The program takes no arguments, and Qt gets none either ("-reverse", "-stylesheet"
    // … would change the window); Qt's environment variables still choose its platform.
    int qtArgc = 1;
    std::array<char*, 2> qtArgv = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv.data());
    jnx::UseWindowLook();
    jnx::TQvEnv QvEnv;
    // The window's creation step: an error of the load is shown before the window is.
    jnx::RunCommand(&QvEnv, [&QvEnv] { QvEnv.FormCreate(); });
    QvEnv.show();
    return QApplication::exec();
}
