// Tellar, the cashier's console.
//
//   Tellar [--home DIR] [--registry DIR]
//   Tellar [--registry DIR] --config list | get NAME | set NAME VALUE
//   Tellar [--home DIR] [--registry DIR] --version | --check | --support-bundle FILE.tar.gz
//
// The config and technician's commands run before any window system is
// touched, so a technician can provision and check a till over ssh without
// a display.
#include "common/AppPaths.h"
#include "tech/ConfigCommand.h"
#include "tech/TechCommand.h"
#include "window/Form1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (isConfigCommand(args)) {
        QFile out;
        QFile err;
        out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
        err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
        return runConfigCommand(args, out, err);
    }

    const QStringList rest = AppPaths::init(args);
    if (isTechCommand(args)) {
        QCoreApplication app(argc, argv);  // for the check's helper processes; no display
        QFile out;
        QFile err;
        out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
        err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
        return runTechCommand(args, out, err);
    }
    for (const QString &arg : rest.mid(1)) {
        if (arg == u"--home" || arg == u"--registry") {
            std::fprintf(stderr, "Tellar: %s needs a folder\n", qPrintable(arg));
            return 2;
        }
    }

    QApplication app(argc, argv);
    Form1 window;
    window.show();
    return app.exec();
}
