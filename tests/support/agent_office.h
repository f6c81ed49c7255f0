/* A simulated office for the agent's tests: a file server with the shared home and the clients
 * directory, a workstation with the agent, and the texts the agent can show. */
#ifndef TESTS_SUPPORT_AGENT_OFFICE_H
#define TESTS_SUPPORT_AGENT_OFFICE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sim/sim.h"

/* The texts the agent shows. Defined here, not in a source file of their own, so that a test's
 * tables built at start-up find them made. */
inline const std::string TEXT_22 =
    "The Vornex Client Software Agent was unable to find your local Vornex home. Please run the "
    "agent KLAGENT.EXE from the shared Vornex home designated by your system administrator.";
inline const std::string TEXT_27 =
    "The Vornex Client Software Agent has determined that you are not a registered user of the "
    "shared Vornex home designated by your system administrator. Please ask your system "
    "administrator to register you.";
inline const std::string TEXT_29 =
    "The Vornex Client Software Agent has experienced unexpected difficulties. Please make sure "
    "you are connected to the appropriate server and volume and try again, or ask your system "
    "administrator for help.";
inline const std::string TEXT_OTHER =
    "An unknown error has occured, please try again or contact Vornex Support";
inline const std::string TEXT_SPAWN = "An unknown error occured while spawning the executable.";

/* The product key, and the server's key of the home OFFICE. */
inline constexpr const char *VORNEX = "SOFTWARE\\VORNEX";
inline constexpr const char *HOME_KEY = "SOFTWARE\\VORNEX\\VORNEX_HOMES\\OFFICE";

/* Write a host file, making its directories. */
void put(const std::string &path, const std::string &text);
/* A value of the workstation's product key as text, or "<missing>". */
std::string local_value(const char *name);

/* A file server VXSERVER with the shared home on share APPS (S:\VORNEX) and the clients
 * directory on share CLIENTS; a workstation PC1 with the agent on C:. Tests adjust the maps
 * and files, then run() builds the workstation and runs one pass. */
class Office : public ::testing::Test {
protected:
    std::string host;
    std::string apps;
    std::string clients;
    std::map<std::string, std::string> local;
    std::map<std::string, std::map<std::string, std::string>> server;
    std::string module = "C:\\VORNEX\\KLAGENT.EXE";
    bool connect_s = true;

    void SetUp() override;
    void TearDown() override;

    /* Every key, file and heap block of a run released; where names the run. */
    static void expect_nothing_left(const std::string &where);
    /* For a sweep whose runs are only known as it goes: the run before checked for leaks as
     * TearDown checks the last one, then a fresh office. */
    void next_run(const std::string &where_before);

    void client_list(const std::string &text);
    void new_client_list(const std::string &text);

    void build(const std::vector<std::string> &args);
    void run(const std::vector<std::string> &args = {});

    /* "current", "exec <command line>" or "box <text>", one line per event. */
    std::string outcome();
    static std::vector<sim_net_attempt> attempts_on(char letter);
};

/* Each row of a table is its own test on its own office, with its own leak check. */
template <typename Row> class OfficeRows : public Office, public ::testing::WithParamInterface<Row> {
};

#endif
