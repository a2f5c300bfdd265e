// Runs the window test classes in one application.

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <memory>

std::unique_ptr<QObject> MakeFrameworkTest();
std::unique_ptr<QObject> MakeMarloAppTest();
std::unique_ptr<QObject> MakeEntryDialogsTest();
std::unique_ptr<QObject> MakeSearchDialogTest();
std::unique_ptr<QObject> MakeOptionDialogTest();
std::unique_ptr<QObject> MakeEntryHistoryTest();
std::unique_ptr<QObject> MakeKanaSearchTest();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Test functions named on the command line run in the class that has them.
    QStringList functions;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            functions << QString::fromLocal8Bit(argv[i]).section(QLatin1Char(':'), 0, 0);
    int failures = 0;
    for (auto make : {&MakeFrameworkTest, &MakeMarloAppTest, &MakeEntryDialogsTest, &MakeSearchDialogTest,
                      &MakeOptionDialogTest, &MakeEntryHistoryTest, &MakeKanaSearchTest}) {
        std::unique_ptr<QObject> test = make();
        const QMetaObject* meta = test->metaObject();
        const bool bWanted =
            functions.isEmpty() || std::any_of(functions.begin(), functions.end(), [meta](const QString& f) {
                return meta->indexOfMethod(QMetaObject::normalizedSignature(qPrintable(f + "()"))) >= 0;
            });
        if (bWanted)
            failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
