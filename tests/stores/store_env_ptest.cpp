// The environment store on the real calls too: the running process's own environment has two
// copies, the C runtime's (getenv) and the system's (GetEnvironmentVariableA), and the store
// must update both as well as the registry.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "stores/store.h"
#include "support/workstation.h"

namespace {

const char ENVIRONMENT_KEY[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char NAME[] = "VX_PTEST_STORE_ENV";

std::string system_copy(void)
{
    char buf[256];
    SetLastError(0);
    DWORD n = GetEnvironmentVariableA(NAME, buf, sizeof buf);
    if (n == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? "<unset>" : "<error>";
    return n < sizeof buf ? std::string(buf, n) : "<too long>";
}

std::string runtime_copy(void)
{
    const char *v = crt_getenv(NAME);
    return v != NULL ? v : "<unset>";
}

std::string registry_value(void)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ENVIRONMENT_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    char buf[256];
    DWORD size = sizeof buf, type = 0;
    LONG rc = RegQueryValueExA(key, NAME, NULL, &type, (BYTE *)buf, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "<unset>";
    return std::string(buf, size > 0 ? size - 1 : 0);
}

TEST(StoreEnvironmentPortable, ReachesBothCopiesOfTheProcessEnvironment)
{
    ws_fresh();
    ASSERT_EQ(store_set_value(NAME, "C:\\vx tools", "$ENV", NULL, 0), STATUS_OK);
    EXPECT_EQ(runtime_copy(), "C:\\vx tools") << "the C runtime's copy (getenv)";
    EXPECT_EQ(system_copy(), "C:\\vx tools") << "the system's copy";
    EXPECT_EQ(registry_value(), "C:\\vx tools");

    ASSERT_EQ(store_set_value(NAME, "second", "$ENV", NULL, 0), STATUS_OK);
    EXPECT_EQ(runtime_copy(), "second");
    EXPECT_EQ(system_copy(), "second");

    ASSERT_EQ(store_set_value(NAME, "", "$ENV", NULL, 0), STATUS_OK) << "an empty value deletes";
    EXPECT_EQ(runtime_copy(), "<unset>");
    EXPECT_EQ(system_copy(), "<unset>");
    EXPECT_EQ(registry_value(), "<unset>");
}

} // namespace
