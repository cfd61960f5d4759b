// The main of every widget test program; see QtTestMain.h.
#include "QtTestMain.h"

#include <QApplication>
#include <QTest>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const auto& tests = quillon::testing::registeredQtTests();
    const char* only = nullptr;
    for (const auto& [name, make] : tests) {
        if (argc > 1 && std::strcmp(argv[1], name) == 0)
            only = name;
    }
    std::vector<char*> arguments(argv, argv + argc);
    if (only)
        arguments.erase(arguments.begin() + 1);
    int failures = 0;
    for (const auto& [name, make] : tests) {
        if (only && std::strcmp(only, name) != 0)
            continue;
        const std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), static_cast<int>(arguments.size()), arguments.data());
    }
    return failures == 0 ? 0 : 1;
}
