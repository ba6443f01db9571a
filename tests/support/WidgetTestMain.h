// The main() of a widget test: the program's own application object, so the tests see the
// style, fonts and error handling the program has, then the test object's functions.
#pragma once

#include "OrvelaneApplication.h"

#include <QTest>

#define ORVELANE_WIDGET_TEST_MAIN(TestObject)                                                                \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        OrvelaneApplication app(argc, argv);                                                                 \
        TestObject test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
