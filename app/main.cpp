// The editor's entry: one window on the Jnx.ini beside the executable.

#include <QApplication>

#include "command.h"
#include "qv_env.h"
#include "window_style.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    jnx::UseWindowLook();
    jnx::TQvEnv QvEnv;
    // The window's creation step: an error of the load is shown before the window is.
    jnx::RunCommand(&QvEnv, [&QvEnv] { QvEnv.FormCreate(); });
    QvEnv.show();
    return QApplication::exec();
}
