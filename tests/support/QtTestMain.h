#pragma once
// Several QtTest classes in one program: each test file ends with
// QUILLON_QTEST(Class) instead of QTEST_MAIN, and QtTestMain.cpp runs every
// registered class in turn. Arguments are handed to each class; a first
// argument naming a class runs that class alone (e.g. `MainWindowTest -v2`).
#include <QObject>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillon::testing {

using QtTestFactory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<std::pair<const char*, QtTestFactory>>& registeredQtTests()
{
    static std::vector<std::pair<const char*, QtTestFactory>> tests;
    return tests;
}

struct QtTestRegistration {
    QtTestRegistration(const char* name, QtTestFactory make)
    {
        registeredQtTests().emplace_back(name, std::move(make));
    }
};

} // namespace quillon::testing

#define QUILLON_QTEST(Class)                                                                                           \
    static const quillon::testing::QtTestRegistration registered##Class(#Class,                                        \
                                                                        [] { return std::make_unique<Class>(); });
