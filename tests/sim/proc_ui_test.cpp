/* The simulated process and user interface: module path, WinExec, version, arguments,
 * window messages and classes, icons, cursors, message boxes. */
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/os.h"
#include "sim/sim.h"
#include "support/workstation.h"

namespace {

TEST(ProcModule, WindowsXpTruncation)
{
    ws_fresh();
    sim_set_module_path("C:\\VORNEX\\klagent.exe"); /* 21 characters */
    struct Row {
        DWORD size;
        DWORD ret;
        std::string bytes; /* written, then the guard must be intact */
        DWORD gle;
    } rows[] = {
        {260, 21, std::string("C:\\VORNEX\\klagent.exe\0", 22), 0},
        {22, 21, std::string("C:\\VORNEX\\klagent.exe\0", 22), 0},
        {21, 21, "C:\\VORNEX\\klagent.exe", ERROR_INSUFFICIENT_BUFFER},
        {5, 5, "C:\\VO", ERROR_INSUFFICIENT_BUFFER},
        {0, 0, "", ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Row &row : rows) {
        char buf[300];
        memset(buf, '#', sizeof buf);
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameA(NULL, buf, row.size), row.ret) << "size " << row.size;
        EXPECT_EQ(std::string(buf, row.bytes.size()), row.bytes) << "size " << row.size;
        EXPECT_EQ(buf[row.bytes.size()], '#') << "size " << row.size << ": nothing past";
        EXPECT_EQ(GetLastError(), row.gle) << "size " << row.size;
    }
}

TEST(ProcWinExec, FindsTheProgramAsWindowsDoes)
{
    std::string dir = ws_fresh();
    ASSERT_TRUE(ws_write_file("C:\\vxtest\\child.exe", ws_program_image()));
    std::string host = sim_host_path("C:\\vxtest");
    ASSERT_EQ(mkdir((host + "/dir with blank").c_str(), 0777), 0);
    ASSERT_TRUE(ws_write_file("C:\\vxtest\\dir with blank\\vxinst.exe", ws_program_image()));
    ASSERT_TRUE(ws_write_file("C:\\vxtest\\dir.exe", ws_program_image()));
    struct Row {
        const char *line;
        UINT result;
    } rows[] = {
        {"C:\\vxtest\\child.exe -a b /configure", 33},
        {"C:\\VXTEST\\CHILD.EXE /X", 33},
        {"C:\\vxtest\\child -x", 33},
        {"\"C:\\vxtest\\child.exe\" \"two words\" x", 33},
        {"C:\\vxtest\\nosuch.exe a b", 2},
        {"C:\\vxtest\\nodir\\nosuch.exe a", 2},
        {"C:\\vxtest\\nosuch", 2},
        {"C:\\vxtest", 2},
        {"", 2},
        {"\"C:\\vxtest\\dir with blank\\vxinst.exe\" /bootstrap", 33},
        /* Unquoted, the shortest prefix that names a file wins: C:\vxtest\dir.exe. */
        {"C:\\vxtest\\dir with blank\\vxinst.exe /bootstrap", 33},
    };
    for (const Row &row : rows)
        EXPECT_EQ(WinExec(row.line, SW_SHOWNORMAL), row.result) << row.line;
    ASSERT_EQ(sim_execs().size(), sizeof rows / sizeof rows[0]);
    EXPECT_EQ(sim_execs()[0].command_line, rows[0].line);
    EXPECT_EQ(sim_execs()[0].show, (UINT)SW_SHOWNORMAL);
    EXPECT_EQ(sim_execs()[4].result, 2u);

    /* Without dir.exe, the longer prefix is found. */
    ASSERT_EQ(crt_remove("C:\\vxtest\\dir.exe"), 0);
    EXPECT_EQ(WinExec("C:\\vxtest\\dir with blank\\vxinst.exe /bootstrap", 1), 33u);
    ASSERT_EQ(crt_remove("C:\\vxtest\\dir with blank\\vxinst.exe"), 0);
    EXPECT_EQ(WinExec("C:\\vxtest\\dir with blank\\vxinst.exe /bootstrap", 1), 2u);

    sim_set_winexec_result("c:\\VXTEST\\child.exe", 0);
    EXPECT_EQ(WinExec("C:\\vxtest\\child.exe -a", 1), 0u) << "a set result wins";
    sim_set_winexec_result("S:\\VORNEX\\bin\\vxinst.exe", 42);
    EXPECT_EQ(WinExec("S:\\VORNEX\\BIN\\vxinst.exe -a b /configure", 1), 42u)
        << "also for a program that does not exist";
    EXPECT_EQ(sim_execs().back().command_line, "S:\\VORNEX\\BIN\\vxinst.exe -a b /configure");
}

TEST(ProcVersion, SizeFieldAndSetVersion)
{
    ws_fresh();
    OSVERSIONINFOA v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(v.dwMajorVersion, 6u);
    EXPECT_EQ(v.dwMinorVersion, 1u);
    EXPECT_EQ(v.dwBuildNumber, 7601u);
    EXPECT_STREQ(v.szCSDVersion, "Service Pack 1");

    for (DWORD size : {0u, 147u, 149u, 156u}) {
        v.dwOSVersionInfoSize = size;
        v.dwMajorVersion = 99;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&v)) << size;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER) << size;
        EXPECT_EQ(v.dwMajorVersion, 99u) << size << ": untouched";
    }
    sim_set_version(VER_PLATFORM_WIN32_WINDOWS, 4, 0);
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(v.dwMajorVersion, 4u);
    sim_set_version_fails(true);
    EXPECT_FALSE(GetVersionExA(&v));
}

TEST(ProcArgs, FromTheFrontEnd)
{
    ws_fresh();
    sim_set_module_path("C:\\VORNEX\\KLAGENT.EXE");
    int argc = 0;
    char **argv = NULL;
    crt_args(&argc, &argv);
    ASSERT_EQ(argc, 1) << "started with no arguments";
    EXPECT_STREQ(argv[0], "C:\\VORNEX\\KLAGENT.EXE");
    EXPECT_EQ(argv[1], nullptr);
    const char *args[] = {"klagent", "-a", "two words"};
    sim_set_args(3, args);
    crt_args(&argc, &argv);
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[2], "two words");
    EXPECT_EQ(argv[3], nullptr);
}

TEST(UiMessages, AtomsFromC000AndCaseBlind)
{
    ws_fresh();
    UINT a = RegisterWindowMessageA("WM_VORNEX_EXIT_INSTALL");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("wm_vornex_exit_install"), a);
    UINT b = RegisterWindowMessageA("OTHER");
    EXPECT_NE(b, a);
    EXPECT_GE(b, 0xC000u);
    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    ASSERT_EQ(sim_registered_messages().size(), 2u);
    EXPECT_EQ(sim_registered_messages()[0], "WM_VORNEX_EXIT_INSTALL");
}

LRESULT test_proc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

TEST(UiClasses, RegisterOnceAndRecord)
{
    ws_fresh();
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = test_proc;
    wc.hIcon = LoadIconA(NULL, "VXINSTIcon");
    wc.hCursor = LoadCursorA(NULL, IDC_WAIT);
    wc.lpszClassName = "KlAgentClass";
    EXPECT_NE(wc.hIcon, nullptr) << "the icon resource, case-blind";
    EXPECT_NE(wc.hCursor, nullptr);
    ATOM atom = RegisterClassA(&wc);
    EXPECT_GE(atom, 0xC000u);
    SetLastError(0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    ASSERT_EQ(sim_window_classes().size(), 1u);
    const sim_window_class &c = sim_window_classes()[0];
    EXPECT_EQ(c.name, "KlAgentClass");
    EXPECT_EQ(c.style, 3u);
    EXPECT_EQ(c.proc, test_proc);
    EXPECT_EQ(c.icon, wc.hIcon);

    wc.lpszClassName = "Second";
    sim_set_register_class_fails(true);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(sim_window_classes().size(), 1u);
}

TEST(UiResources, IconAndCursor)
{
    ws_fresh();
    SetLastError(0);
    EXPECT_EQ(LoadIconA(NULL, "OTHERICON"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadIconA(NULL, MAKEINTRESOURCEA(1)), nullptr);
    sim_set_icon_resource(false);
    SetLastError(0);
    EXPECT_EQ(LoadIconA(NULL, "VXINSTICON"), nullptr);
    EXPECT_EQ(GetLastError(), 1812u);
    EXPECT_EQ(LoadCursorA(NULL, MAKEINTRESOURCEA(1)), nullptr);
}

TEST(UiMessageBox, RecordedAndAnsweredOk)
{
    ws_fresh();
    EXPECT_EQ(MessageBoxA(NULL, "text", "Vornex Client Software Agent", MB_OK | MB_ICONEXCLAMATION),
              IDOK);
    ASSERT_EQ(sim_message_boxes().size(), 1u);
    EXPECT_EQ(sim_message_boxes()[0].text, "text");
    EXPECT_EQ(sim_message_boxes()[0].caption, "Vornex Client Software Agent");
    EXPECT_EQ(sim_message_boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(sim_message_boxes()[0].owner, nullptr);
}

TEST(UiMessageLoopDeathTest, FailsLoudly)
{
    MSG msg;
    EXPECT_DEATH(GetMessageA(&msg, NULL, 0, 0), "never enters a message loop");
    EXPECT_DEATH(TranslateMessage(&msg), "never enters a message loop");
    EXPECT_DEATH(DispatchMessageA(&msg), "never enters a message loop");
}

} // namespace
