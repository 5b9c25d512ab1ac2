#pragma once

#include "storage/SQLiteTable3.h"

#include <string>

// Runs f and returns the ESQLiteException's message, or a marker when nothing was raised.
template <class F> std::string failureOf(F&& f) {
    try {
        f();
    } catch (const ESQLiteException& e) {
        return e.what();
    }
    return "<nothing raised>";
}
