#include <QApplication>
#include <QTest>

#include "ui/qtestsuite.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& factory : QTestSuite::factories()) {
        const auto test = factory();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
