#pragma once
// Each file of this folder holds one suite; main() runs them all in one process.

#include <QByteArray>
#include <QTest>
#include <string>

int run_request_rules_tests(int argc, char** argv);
int run_cookie_tests(int argc, char** argv);
int run_conversion_tests(int argc, char** argv);
int run_exchange_tests(int argc, char** argv);

// Byte strings compared as QByteArray, so a failure prints both sides.
inline QByteArray bytes(const std::string& text) { return QByteArray::fromStdString(text); }
inline std::string text(const QByteArray& bytes) { return bytes.toStdString(); }

// A column of the current data row, usable inside an expression (QFETCH declares a variable).
template <typename T>
T fetched(const char* column) {
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}
