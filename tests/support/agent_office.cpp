/* A simulated office for the agent's tests. */
#include "support/agent_office.h"

#include <ctype.h>

#include <filesystem>
#include <fstream>

#include "platform/os.h"
#include "support/workstation.h"

void put(const std::string &path, const std::string &text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string local_value(const char *name)
{
    std::string data;
    DWORD type = 0;
    if (!sim_reg_get(NULL, HKEY_LOCAL_MACHINE, VORNEX, name, &type, &data))
        return "<missing>";
    return data.substr(0, data.find('\0'));
}

void Office::SetUp()
{
    sim_reset();
    host = sim_make_temp_dir();
    apps = host + "/apps";
    clients = host + "/clients";
    std::filesystem::create_directories(host + "/c/VORNEX");
    put(apps + "/VORNEX/bin/vxinst.exe", ws_program_image());
    put(apps + "/VORNEX/vxinst/VCSM.ini", "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=OFFICE\r\n");
    put(apps + "/VORNEX/vxinst/clients.ini", "[PC1]\r\nTIMESTAMP=3.2.2\r\n");
    put(clients + "/newclnts.ini", "");
    local = {{"VORNEX_HOME", "C:\\VORNEX"}, {"SHARED_VORNEX_HOME", "S:\\VORNEX"},
             {"CLIENTNAME", "PC1"},         {"HOST_MACHINE", "VXSERVER"},
             {"VORNEX_HOME_SHARE", "APPS"}, {"TIMESTAMP", "3.2.2"}};
    server = {{VORNEX, {{"VORNEX_HOME", "D:\\VORNEX"}}},
              {HOME_KEY, {{"VORNEX_HOME", "D:\\APPS\\VORNEX"}, {"CLIENTS_DIR_SHARE", "CLIENTS"}}}};
}

void Office::TearDown()
{
    expect_nothing_left("");
    sim_reset();
    sim_cleanup_temp_dirs();
}

void Office::expect_nothing_left(const std::string &where)
{
    EXPECT_EQ(sim_open_keys(), 0) << where;
    EXPECT_EQ(sim_open_files(), 0) << where;
    EXPECT_EQ(sim_live_blocks(), 0) << where;
}

void Office::next_run(const std::string &where_before)
{
    expect_nothing_left(where_before);
    sim_reset();
    sim_cleanup_temp_dirs();
    SetUp();
}

void Office::client_list(const std::string &text)
{
    put(apps + "/VORNEX/vxinst/clients.ini", text);
}

void Office::new_client_list(const std::string &text)
{
    put(clients + "/newclnts.ini", text);
}

void Office::build(const std::vector<std::string> &args)
{
    sim_add_drive('C', DRIVE_FIXED, (host + "/c").c_str());
    sim_add_machine("VXSERVER");
    sim_add_share("VXSERVER", "APPS", apps.c_str());
    sim_add_share("VXSERVER", "CLIENTS", clients.c_str());
    if (connect_s)
        sim_connect('S', "\\\\VXSERVER\\APPS");
    for (const auto &v : local)
        sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, VORNEX, v.first.c_str(), v.second.c_str());
    for (const auto &k : server)
        for (const auto &v : k.second)
            sim_reg_set_text("VXSERVER", HKEY_LOCAL_MACHINE, k.first.c_str(), v.first.c_str(),
                             v.second.c_str());
    sim_set_module_path(module.c_str());
    std::vector<const char *> argv{module.c_str()};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    sim_set_args((int)argv.size(), argv.data());
}

void Office::run(const std::vector<std::string> &args)
{
    build(args);
    char tail[] = "";
    EXPECT_EQ(WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail, SW_SHOWNORMAL), 0);
}

std::string Office::outcome()
{
    std::string r;
    for (const sim_exec &e : sim_execs()) {
        EXPECT_EQ(e.show, (UINT)SW_SHOWNORMAL);
        r += (r.empty() ? "" : "\n") + std::string("exec ") + e.command_line;
    }
    for (const sim_message_box &b : sim_message_boxes()) {
        EXPECT_EQ(b.owner, (HWND)NULL);
        EXPECT_EQ(b.caption, "Vornex Client Software Agent");
        EXPECT_EQ(b.style, MB_OK | MB_ICONEXCLAMATION);
        r += (r.empty() ? "" : "\n") + std::string("box ") + b.text;
    }
    return r.empty() ? "current" : r;
}

std::vector<sim_net_attempt> Office::attempts_on(char letter)
{
    std::vector<sim_net_attempt> r;
    for (const sim_net_attempt &a : sim_net_attempts())
        if (!a.local.empty() && toupper((unsigned char)a.local[0]) == letter)
            r.push_back(a);
    return r;
}
