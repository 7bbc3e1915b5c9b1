#include "tests/common/TestEnvironment.h"

#include <QTemporaryDir>

namespace testing_env {

QString TemporaryRoot()
{
    static QTemporaryDir root;
    return root.path();
}

} // namespace testing_env
