#pragma once
// The message of the error an action raises, for tests that compare the exact text a
// person would read. An error of any other type escapes and fails the test.
#include <functional>
#include <string>

#include "platform/Errors.h"

namespace velora::test {

inline const std::string kNoError = "(no error)";

template <class E = Error>
std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return kNoError;
}

}  // namespace velora::test
