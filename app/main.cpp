#include "MarloApp.h"

#include <QApplication>

#include <csignal>
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
    // Past the file-size limit a write fails with EFBIG, which a save reports; the
    // signal would end the program instead, and the changes with it.
    std::signal(SIGXFSZ, SIG_IGN);
    if (AnswersInTerminal(argc, argv))
        qputenv("QT_QPA_PLATFORM", "minimal");
    QApplication qapp(argc, argv);
    CMarloApp theApp;
    // The toolkit has taken its own options out of argv; what is left are the program's,
    // as bytes: a file name that is not UTF-8 must reach the file system unchanged.
    theApp.SetArgumentBytes(std::vector<std::string>(argv + 1, argv + argc));
    if (!theApp.InitInstance())
        return theApp.ExitCode();
    return QApplication::exec();
}
