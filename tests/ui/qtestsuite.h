#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QObject>

/**
 * Lets several QtTest classes share one executable: each test file registers its class with
 * PLOVIK_QTEST, and qtestmain.cpp runs them all in turn.
 */
namespace QTestSuite {

using Factory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<Factory>& factories() {
    static std::vector<Factory> registered;
    return registered;
}

inline bool add(Factory factory) {
    factories().push_back(std::move(factory));
    return true;
}

}  // namespace QTestSuite

#define PLOVIK_QTEST(TestClass)                                                                  \
    namespace {                                                                                  \
    const bool registered##TestClass =                                                           \
        QTestSuite::add([] { return std::unique_ptr<QObject>(std::make_unique<TestClass>()); }); \
    }
