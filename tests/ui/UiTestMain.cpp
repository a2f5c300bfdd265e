// Runs the window test classes in one application.

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

std::unique_ptr<QObject> MakeFrameworkTest();
std::unique_ptr<QObject> MakeMarloAppTest();
std::unique_ptr<QObject> MakeEntryDialogsTest();
std::unique_ptr<QObject> MakeSearchDialogTest();
std::unique_ptr<QObject> MakeOptionDialogTest();
std::unique_ptr<QObject> MakeEntryHistoryTest();
std::unique_ptr<QObject> MakeKanaSearchTest();
std::unique_ptr<QObject> MakeSyncTest();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Test functions named on the command line run in the class that has them; each
    // class is handed the options and its own functions only.
    auto hasFunction = [](const QMetaObject* meta, const char* arg) {
        const QByteArray name = QByteArray(arg).split(':').first() + "()";
        return meta->indexOfMethod(QMetaObject::normalizedSignature(name.constData())) >= 0;
    };
    const bool bNamed = std::any_of(argv + 1, argv + argc, [](const char* arg) { return arg[0] != '-'; });
    int failures = 0;
    for (auto make : {&MakeFrameworkTest, &MakeMarloAppTest, &MakeEntryDialogsTest, &MakeSearchDialogTest,
                      &MakeOptionDialogTest, &MakeEntryHistoryTest, &MakeKanaSearchTest, &MakeSyncTest}) {
        std::unique_ptr<QObject> test = make();
        const QMetaObject* meta = test->metaObject();
        std::vector<char*> args{argv[0]};
        for (int i = 1; i < argc; ++i)
            if (argv[i][0] == '-' || hasFunction(meta, argv[i]))
                args.push_back(argv[i]);
        const bool bWanted =
            !bNamed || std::any_of(args.begin() + 1, args.end(), [](const char* arg) { return arg[0] != '-'; });
        if (bWanted)
            failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
