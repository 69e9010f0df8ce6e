// Included first in every test program (see cmake/AltavoTest.cmake): the
// test's QTEST_MAIN or QTEST_GUILESS_MAIN runs the tests in a function of
// its own, so the application and the test object are gone before the
// program ends through FinishProcess, as the programs themselves do.
#pragma once

#include "platform/ProcessEnd.h"

#include <QtTest/qtest.h>

#undef QTEST_MAIN_WRAPPER
#define QTEST_MAIN_WRAPPER(TestObject, ...)                                                                                  \
    static int RunTestObject(int argc, char *argv[])                                                                         \
    {                                                                                                                        \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                                   \
        __VA_ARGS__                                                                                                          \
        TestObject tc;                                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                                \
    }                                                                                                                        \
    int main(int argc, char *argv[])                                                                                         \
    {                                                                                                                        \
        return FinishProcess(RunTestObject(argc, argv));                                                                     \
    }
