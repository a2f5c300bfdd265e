#include "MarloApp.h"

#include <QApplication>

#include <cstring>

namespace {

// --help, --version and unknown options only write to the terminal: they must work without a display.
bool AnswersInTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (argv[i][0] == '-' && argv[i][1] != '\0')
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnswersInTerminal(argc, argv))
        qputenv("QT_QPA_PLATFORM", "minimal");
    QApplication qapp(argc, argv);
    CMarloApp theApp;
    if (!theApp.InitInstance())
        return theApp.ExitCode();
    return QApplication::exec();
}
