// The simulated process environment and the broadcast of its changes.
#include <gtest/gtest.h>

#include <errno.h>

#include "sim/sim.h"
#include "support/workstation.h"

namespace {

/* Setting, removing and the refusal of a text without = are EnvironmentPortable's, on both
 * platforms; here the errno of each refusal (EINVAL, as Windows documents it; Wine's runtime
 * leaves errno alone), which the simulation alone is held to. */
TEST(SimEnvironment, PutenvRefusalsSetEinval)
{
    ws_fresh();
    struct Row {
        const char *what, *text;
        int rc, err;
        const char *value; // X afterwards, NULL when absent
    } rows[] = {
        {"set", "X=a=b", 0, 0, "a=b"},
        {"no =", "X", -1, EINVAL, "a=b"},
        {"no name", "=1", -1, EINVAL, "a=b"},
        {"NULL", NULL, -1, EINVAL, "a=b"},
    };
    for (const Row &r : rows) {
        errno = 0;
        EXPECT_EQ(r.rc, crt_putenv(r.text)) << r.what;
        EXPECT_EQ(r.err, errno) << r.what;
        std::string v;
        EXPECT_EQ(r.value != NULL, sim_env_get("X", &v)) << r.what;
        if (r.value != NULL) {
            EXPECT_EQ(r.value, v) << r.what;
        }
    }
}

TEST(SimEnvironment, SetEnvironmentVariable)
{
    ws_fresh();
    std::string v;
    EXPECT_TRUE(SetEnvironmentVariableA("Path", "C:\\A"));
    EXPECT_TRUE(sim_env_get("PATH", &v));
    EXPECT_EQ("C:\\A", v);
    EXPECT_TRUE(SetEnvironmentVariableA("PATH", ""));
    EXPECT_TRUE(sim_env_get("path", &v)) << "an empty value is still a variable";
    EXPECT_EQ("", v);
    EXPECT_TRUE(SetEnvironmentVariableA("PATH", NULL));
    EXPECT_FALSE(sim_env_get("PATH", &v));
    for (const char *bad : {"", "A=B"}) {
        EXPECT_FALSE(SetEnvironmentVariableA(bad, "1")) << bad;
        EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError()) << bad;
    }
    ws_fresh();
    EXPECT_TRUE(SetEnvironmentVariableA("A", "1"));
    ws_fresh();
    EXPECT_FALSE(sim_env_get("A", &v)) << "a reset empties the environment";
}

TEST(SimEnvironment, BroadcastIsRecorded)
{
    ws_fresh();
    DWORD_PTR result = 0;
    EXPECT_EQ(1, SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0,
                                     (LPARAM) "Environment", SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_EQ(1u, result);
    EXPECT_EQ(1, SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, (LPARAM) "Environment",
                                     SMTO_ABORTIFHUNG, 5000, NULL));
    EXPECT_EQ(0, SendMessageTimeoutA((HWND)(uintptr_t)0x1234, WM_WININICHANGE, 0, 0, 0, 10, NULL))
        << "no window but the broadcast";
    ASSERT_EQ(2u, sim_broadcasts().size());
    const sim_broadcast &b = sim_broadcasts()[0];
    EXPECT_EQ(HWND_BROADCAST, b.window);
    EXPECT_EQ((UINT)WM_WININICHANGE, b.message);
    EXPECT_EQ(0u, b.wparam);
    EXPECT_EQ("Environment", b.text);
    EXPECT_EQ((UINT)SMTO_ABORTIFHUNG, b.flags);
    EXPECT_EQ(5000u, b.timeout_ms);
}

} // namespace
