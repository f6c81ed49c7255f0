// The process environment as the real runtime and system keep it: two copies, which _putenv
// keeps in step and SetEnvironmentVariableA does not.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/os.h"
#include "support/workstation.h"

namespace {

std::string system_copy(const char *name)
{
    char buf[64];
    SetLastError(0);
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    if (n == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? "<unset>" : "<error>";
    return n < sizeof buf ? std::string(buf, n) : "<too long>";
}

std::string runtime_copy(const char *name)
{
    const char *v = crt_getenv(name);
    return v != NULL ? v : "<unset>";
}

TEST(EnvironmentPortable, PutenvChangesBothCopiesTheSystemCallOnlyItsOwn)
{
    ws_fresh();
    const char *name = "VX_PTEST_ENV";
    struct Row {
        const char *what;
        const char *putenv_text; // NULL: SetEnvironmentVariableA(name, set_value)
        const char *set_value;
        int rc;
        const char *runtime, *system;
    } rows[] = {
        {"_putenv sets both", "VX_PTEST_ENV=1", NULL, 0, "1", "1"},
        {"the name in another case", "vx_ptest_env=2", NULL, 0, "2", "2"},
        {"a value that holds =", "VX_PTEST_ENV=a=b", NULL, 0, "a=b", "a=b"},
        {"SetEnvironmentVariableA: the system's copy only", NULL, "3", 1, "a=b", "3"},
        {"no = is refused", "VX_PTEST_ENV", NULL, -1, "a=b", "3"},
        {"an empty value removes from both", "VX_PTEST_ENV=", NULL, 0, "<unset>", "<unset>"},
        {"SetEnvironmentVariableA again", NULL, "4", 1, "<unset>", "4"},
        {"SetEnvironmentVariableA(NULL) removes", NULL, NULL, 1, "<unset>", "<unset>"},
    };
    for (const Row &row : rows) {
        if (row.putenv_text != NULL) {
            EXPECT_EQ(crt_putenv(row.putenv_text), row.rc) << row.what;
        } else {
            EXPECT_EQ(SetEnvironmentVariableA(name, row.set_value), row.rc) << row.what;
        }
        EXPECT_EQ(runtime_copy(name), row.runtime) << row.what;
        EXPECT_EQ(system_copy(name), row.system) << row.what;
    }
}

TEST(EnvironmentPortable, GetEnvironmentVariableSizes)
{
    ws_fresh();
    ASSERT_TRUE(SetEnvironmentVariableA("VX_PTEST_SIZE", "abcdef"));
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(GetEnvironmentVariableA("VX_PTEST_SIZE", buf, 6), 7u) << "too small: size needed";
    EXPECT_EQ(GetEnvironmentVariableA("VX_PTEST_SIZE", buf, 7), 6u) << "exact fit";
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(GetEnvironmentVariableA("vx_ptest_size", buf, sizeof buf), 6u) << "case-blind";
    EXPECT_TRUE(SetEnvironmentVariableA("VX_PTEST_SIZE", NULL));
}

} // namespace
