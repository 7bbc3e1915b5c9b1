#pragma once

#include <QString>

namespace testing_env {

// The time scale every test runs at unless it sets its own with platform::ScopedTimeScale:
// a 1000 ms wait of the system takes a millisecond.
constexpr double kDefaultTimeScale = 0.001;

// The temporary folder that stands in for the user's documents, common application
// data and system settings of this test process.
QString TemporaryRoot();

} // namespace testing_env
