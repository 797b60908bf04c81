// The editor's entry: one window on the Jnx.ini beside the executable.

#include <QApplication>

#include "command.h"
#include "qv_env.h"
#include "settings_file.h"
#include "window_style.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    jnx::UseWindowLook();
    jnx::TQvEnv QvEnv;
    jnx::RunCommand(&QvEnv, [&QvEnv] {
        jnx::ReadIni(QvEnv.model(), jnx::SettingsFilePath());
        QvEnv.pages().currentPage = 1;
        QvEnv.pages().UpDatePage();
    });
    QvEnv.show();
    return QApplication::exec();
}
