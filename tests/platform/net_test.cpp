/* Network drive connections on the simulated workstation: the remote name behind a letter,
 * reuse of an existing connection, the first free letter from z down, faults and leaks. */
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "platform/mem.h"
#include "platform/net.h"
#include "sim/sim.h"
#include "support/rows.h"

namespace {

const char ALL_LETTERS[] = "zyxwvutsrqponmlkjihgfedc";

/* The drive letter of a device name ("z:", in the case given), or 0. */
char device_letter(const std::string &local)
{
    if (local.size() != 2 || local[1] != ':')
        return 0;
    char letter = local[0];
    return (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z') ? letter : 0;
}

/* The letters an mpr call was made for, in order: queries (WNetGetConnectionA) or connection
 * attempts (WNetAddConnection2A). */
std::string letters_of(const char *call)
{
    std::string out;
    if (strcmp(call, "WNetGetConnectionA") == 0) {
        for (const sim_net_query &q : sim_net_queries())
            out += device_letter(q.local);
    } else {
        for (const sim_net_attempt &a : sim_net_attempts())
            out += device_letter(a.local);
    }
    return out;
}

/* Call names of the mpr family in order, one letter each: Q for a query, A for a connect. */
std::string mpr_order(void)
{
    std::string out;
    for (const sim_call &c : sim_calls()) {
        if (c.name == "WNetGetConnectionA")
            out += 'Q';
        else if (c.name == "WNetAddConnection2A")
            out += 'A';
    }
    return out;
}

const sim_connection *connection_on(const std::vector<sim_connection> &all, char letter)
{
    for (const sim_connection &c : all)
        if (c.letter == letter || c.letter == letter - 'a' + 'A' || c.letter == letter + 'a' - 'A')
            return &c;
    return NULL;
}

bool equal_ci(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? (char)(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? (char)(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

class NetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_reset();
        dir_ = sim_make_temp_dir();
        sim_add_drive('C', DRIVE_FIXED, dir_.c_str());
        sim_add_share("SERVER1", "VOL", dir_.c_str());
        sim_add_share("SERVER1", "CLIENTS", dir_.c_str());
        sim_add_share("OTHER", "VOL", dir_.c_str());
        blocks_ = sim_live_blocks();
    }
    void TearDown() override
    {
        EXPECT_EQ(sim_live_blocks(), blocks_) << "heap blocks left behind";
    }
    std::string dir_;
    long blocks_ = 0;
};

TEST_F(NetTest, RemotePathOfALetter)
{
    sim_connect('Z', "\\\\srv\\vol");
    sim_add_share("srv", "vol", dir_.c_str());
    static const struct {
        const char *path;
        status_t rc;
        const char *remote;
    } rows[] = {
        {"z:", 0, "\\\\srv\\vol"},
        {"Z:", 0, "\\\\srv\\vol"},
        {"z:\\apps", 0, "\\\\srv\\vol\\apps"},
        {"z:\\", 0, "\\\\srv\\vol\\"},
        {"z", 0, "\\\\srv\\vol"},
        {"c:", 29, NULL},   /* a local disk */
        {"q:\\x", 29, NULL}, /* no such drive */
        {"", 29, NULL},
    };
    for (const auto &r : rows) {
        char *remote = (char *)"untouched";
        status_t rc = net_drive_remote_path(r.path, &remote);
        EXPECT_EQ(rc, r.rc) << r.path;
        if (r.rc == 0 && rc == 0) {
            EXPECT_STREQ(remote, r.remote) << r.path;
            mem_free(remote);
        } else {
            EXPECT_STREQ(remote, "untouched") << r.path;
            if (rc == 0)
                mem_free(remote);
        }
    }
    char *remote = NULL;
    EXPECT_EQ(net_drive_remote_path(NULL, &remote), 29);
}

TEST_F(NetTest, RemotePathLongerThanTheFirstQuery)
{
    /* a name longer than the first 260-character query is asked for again at its length */
    std::string share(300, 's');
    sim_add_share("srv", share.c_str(), dir_.c_str());
    std::string remote_name = "\\\\srv\\" + share;
    sim_connect('Y', remote_name.c_str());
    char *remote = NULL;
    ASSERT_EQ(net_drive_remote_path("y:\\deep", &remote), 0);
    EXPECT_EQ(std::string(remote), remote_name + "\\deep");
    mem_free(remote);
    EXPECT_EQ(letters_of("WNetGetConnectionA"), "yy");
}

TEST_F(NetTest, RemotePathAllocationFaults)
{
    sim_connect('Z', "\\\\SERVER1\\VOL");
    unsigned n;
    for (n = 1; n < 10; n++) {
        sim_fault_clear();
        long before = sim_live_blocks();
        sim_fault(SIM_MEM, n, false, 0);
        char *remote = (char *)"untouched";
        status_t rc = net_drive_remote_path("z:\\apps", &remote);
        if (sim_fault_fired(SIM_MEM) == 0) {
            ASSERT_EQ(rc, 0) << "allocation " << n;
            EXPECT_STREQ(remote, "\\\\SERVER1\\VOL\\apps");
            mem_free(remote);
            break;
        }
        EXPECT_EQ(rc, 5) << "allocation " << n;
        EXPECT_STREQ(remote, "untouched") << "allocation " << n;
        EXPECT_EQ(sim_live_blocks(), before) << "allocation " << n;
    }
    EXPECT_EQ(n, 3u) << "the query buffer and the result";
}

TEST_F(NetTest, ReusesAConnectionFoundOnAnyLetterBeforeConnecting)
{
    /* the share is on y:, z: holds nothing */
    sim_connect('Y', "\\\\SERVER1\\CLIENTS");
    char drive[8] = "";
    ASSERT_EQ(net_connect_share("SERVER1", "CLIENTS", drive), 0);
    EXPECT_STREQ(drive, "y:\\");
    EXPECT_EQ(letters_of("WNetAddConnection2A"), "") << "no connection is made";
    /* every letter is asked, from z down, and none is connected */
    EXPECT_EQ(letters_of("WNetGetConnectionA").substr(0, 2), "zy");
}

TEST_F(NetTest, ConnectsTheFirstFreeLetterAfterAskingEveryLetter)
{
    sim_connect('Z', "\\\\OTHER\\VOL");
    sim_connect('Y', "\\\\SERVER1\\VOL");
    char drive[8] = "";
    ASSERT_EQ(net_connect_share("SERVER1", "CLIENTS", drive), 0);
    EXPECT_STREQ(drive, "x:\\");
    EXPECT_EQ(letters_of("WNetGetConnectionA"), ALL_LETTERS) << "z down to c, each once";
    std::string order = mpr_order();
    EXPECT_EQ(order.find('A'), order.find_last_of('Q') + 1) << "all queries before a connect: "
                                                             << order;
    EXPECT_EQ(letters_of("WNetAddConnection2A"), "zyx");
    std::vector<sim_connection> all = sim_connections();
    const sim_connection *x = connection_on(all, 'x');
    ASSERT_NE(x, (const sim_connection *)NULL);
    EXPECT_TRUE(equal_ci(x->remote, "\\\\SERVER1\\CLIENTS")) << x->remote;
    EXPECT_FALSE(x->remembered_only);
    /* a disk resource, no password or user name, flags 0: not restored at the next log-on */
    ASSERT_FALSE(sim_net_attempts().empty());
    const sim_net_attempt &last = sim_net_attempts().back();
    EXPECT_EQ(last.type, (DWORD)RESOURCETYPE_DISK);
    EXPECT_EQ(last.local, "x:");
    EXPECT_EQ(last.remote, "\\\\SERVER1\\CLIENTS");
    EXPECT_FALSE(last.password);
    EXPECT_EQ(last.user, "");
    EXPECT_EQ(last.flags, 0u);
}

/* Each row of a table is its own test on a fresh workstation, with its own leak check. */
template <typename Row> class NetRows : public NetTest, public ::testing::WithParamInterface<Row> {
};

struct reuse_row {
    const char *name;
    const char *existing;
    const char *host;
    const char *share;
    bool reused;
};
const reuse_row REUSE_ROWS[] = {
    {"letter case aside", "\\\\server1\\VOL", "SERVER1", "vol", true},
    {"deeper connection", "\\\\SERVER1\\VOL\\sub\\deeper", "SERVER1", "VOL", true},
    {"longer share name", "\\\\SERVER1\\VOLUME", "SERVER1", "VOL", false},
    {"longer host name", "\\\\SERVER1X\\VOL", "SERVER1", "VOL", false},
    {"other host", "\\\\OTHER\\VOL", "SERVER1", "VOL", false},
    {"host alone", "\\\\SERVER1", "SERVER1", "VOL", false},
};
class ConnectionReuse : public NetRows<reuse_row> {
};
TEST_P(ConnectionReuse, IsCaseFoldedAndReachesDeeperConnections)
{
    const reuse_row &r = GetParam();
    sim_add_share("SERVER1", "VOLUME", dir_.c_str());
    sim_add_share("SERVER1X", "VOL", dir_.c_str());
    sim_connect('M', r.existing);
    char drive[8] = "";
    ASSERT_EQ(net_connect_share(r.host, r.share, drive), 0);
    EXPECT_STREQ(drive, r.reused ? "m:\\" : "z:\\");
    EXPECT_EQ(letters_of("WNetAddConnection2A"), r.reused ? "" : "z");
    std::vector<sim_connection> all = sim_connections();
    const sim_connection *m = connection_on(all, 'm');
    ASSERT_NE(m, (const sim_connection *)NULL);
    EXPECT_EQ(m->remote, r.existing) << "the reused connection stays unchanged";
}
VX_ROWS(ConnectionReuse, REUSE_ROWS);

struct requested_row {
    const char *name;
    const char *request;
    char taken_by_other; /* a letter connected to another share first */
    char remembered;     /* a letter holding a remembered connection */
    status_t rc;
    const char *drive;
    const char *connects;
};
const requested_row REQUESTED_ROWS[] = {
    {"free, upper case kept", "S", 0, 0, 0, "S:\\", "S"},
    {"free, lower case kept", "s", 0, 0, 0, "s:\\", "s"},
    {"rest of the text ignored", "t:\\old", 0, 0, 0, "t:\\", "t"},
    {"taken by another share", "S", 'S', 0, 29, NULL, "S"},
    {"remembered", "S", 0, 'S', 29, NULL, "S"},
};
class RequestedLetter : public NetRows<requested_row> {
};
TEST_P(RequestedLetter, IsTheOnlyOneTried)
{
    const requested_row &r = GetParam();
    if (r.taken_by_other)
        sim_connect(r.taken_by_other, "\\\\OTHER\\VOL");
    if (r.remembered)
        sim_remember(r.remembered, "\\\\OTHER\\VOL");
    char drive[16];
    memset(drive, 0, sizeof drive);
    strcpy(drive, r.request);
    status_t rc = net_connect_share("SERVER1", "VOL", drive);
    EXPECT_EQ(rc, r.rc);
    EXPECT_STREQ(drive, r.drive ? r.drive : r.request) << "untouched on failure";
    EXPECT_EQ(letters_of("WNetGetConnectionA").size(), 1u) << "one letter asked";
    EXPECT_EQ(letters_of("WNetAddConnection2A"), r.connects);
}
VX_ROWS(RequestedLetter, REQUESTED_ROWS);

TEST_F(NetTest, RequestedLetterAlreadyOnTheShareIsReused)
{
    sim_connect('S', "\\\\SERVER1\\VOL");
    sim_connect('Z', "\\\\SERVER1\\VOL");
    char drive[8] = "S";
    ASSERT_EQ(net_connect_share("SERVER1", "VOL", drive), 0);
    EXPECT_STREQ(drive, "S:\\");
    EXPECT_EQ(letters_of("WNetAddConnection2A"), "");
}

TEST_F(NetTest, TakenAndRememberedLettersArePassedOver)
{
    /* z: remembered but disconnected, y: and x: connected elsewhere, w: remembered: v: */
    sim_remember('Z', "\\\\OTHER\\VOL");
    sim_connect('Y', "\\\\OTHER\\VOL");
    sim_connect('X', "\\\\OTHER\\VOL");
    sim_remember('W', "\\\\SERVER1\\VOL");
    char drive[8] = "";
    ASSERT_EQ(net_connect_share("SERVER1", "VOL", drive), 0);
    EXPECT_STREQ(drive, "v:\\");
    EXPECT_EQ(letters_of("WNetAddConnection2A"), "zyxwv");
}

TEST_F(NetTest, AllLettersTaken)
{
    for (const char *p = ALL_LETTERS; *p != '\0'; p++) {
        if ((p - ALL_LETTERS) % 2 == 0)
            sim_connect(*p, "\\\\OTHER\\VOL");
        else
            sim_remember(*p, "\\\\OTHER\\VOL");
    }
    char drive[8] = "";
    EXPECT_EQ(net_connect_share("SERVER1", "VOL", drive), 29);
    EXPECT_STREQ(drive, "") << "untouched";
    EXPECT_EQ(letters_of("WNetAddConnection2A"), ALL_LETTERS);
    EXPECT_EQ(connection_on(sim_connections(), 'a'), (const sim_connection *)NULL);
    EXPECT_EQ(connection_on(sim_connections(), 'b'), (const sim_connection *)NULL);
}

TEST_F(NetTest, ConnectFailuresMapAndStopTheSearch)
{
    sim_deny_share("SERVER1", "SECRET");
    static const struct {
        const char *row;
        const char *host;
        const char *share;
        status_t rc;
    } rows[] = {
        {"unknown server", "NOSUCH", "VOL", 29},
        {"unknown share", "SERVER1", "NOSUCH", 29},
        {"denied share", "SERVER1", "SECRET", 27},
    };
    for (const auto &r : rows) {
        size_t before = letters_of("WNetAddConnection2A").size();
        char drive[8] = "";
        EXPECT_EQ(net_connect_share(r.host, r.share, drive), r.rc) << r.row;
        EXPECT_STREQ(drive, "") << r.row;
        EXPECT_EQ(letters_of("WNetAddConnection2A").size(), before + 1)
            << r.row << ": only the letter taken counts as a reason to go on";
    }
}

TEST_F(NetTest, BadArgumentsAndNamesThatDoNotFit)
{
    /* \\host\share must fit 260 bytes with its terminator: 259 characters */
    std::string host(100, 'h');
    std::string fits(259 - 3 - host.size(), 's');
    std::string too_long = fits + "s";
    sim_add_share(host.c_str(), fits.c_str(), dir_.c_str());
    sim_add_share(host.c_str(), too_long.c_str(), dir_.c_str());

    char drive[8] = "";
    EXPECT_EQ(net_connect_share(host.c_str(), fits.c_str(), drive), 0);
    EXPECT_STREQ(drive, "z:\\");

    static const struct {
        const char *row;
        const char *host;
        const char *share;
        bool drive;
    } rows[] = {
        {"null host", NULL, "VOL", true},
        {"empty host", "", "VOL", true},
        {"null share", "SERVER1", NULL, true},
        {"empty share", "SERVER1", "", true},
        {"null drive", "SERVER1", "VOL", false},
    };
    for (const auto &r : rows) {
        size_t before = sim_calls().size();
        char d[8] = "";
        EXPECT_EQ(net_connect_share(r.host, r.share, r.drive ? d : NULL), 29) << r.row;
        EXPECT_EQ(sim_calls().size(), before) << r.row << ": nothing asked";
    }
    size_t before = sim_calls().size();
    char d[8] = "";
    EXPECT_EQ(net_connect_share(host.c_str(), too_long.c_str(), d), 29);
    EXPECT_STREQ(d, "");
    EXPECT_EQ(sim_calls().size(), before) << "a cut name is never tried";
}

/* Fail each query of a search in turn: a failed query only passes its letter over, whatever
 * the error (ERROR_MORE_DATA without more room included), and nothing leaks. */
TEST_F(NetTest, QueryFaultSweep)
{
    static const DWORD errors[] = {ERROR_ACCESS_DENIED, ERROR_MORE_DATA, ERROR_NOT_CONNECTED,
                                   ERROR_ALREADY_ASSIGNED};
    for (DWORD error : errors) {
        unsigned n;
        for (n = 1; n < 40; n++) {
            sim_reset();
            sim_add_drive('C', DRIVE_FIXED, dir_.c_str());
            sim_add_share("SERVER1", "VOL", dir_.c_str());
            sim_connect('T', "\\\\SERVER1\\VOL\\sub");
            long blocks = sim_live_blocks();
            sim_fault(SIM_NETWORK, n, false, (int)error);
            char drive[8] = "";
            status_t rc = net_connect_share("SERVER1", "VOL", drive);
            std::string where = "error " + std::to_string(error) + ", call " + std::to_string(n);
            EXPECT_EQ(sim_live_blocks(), blocks) << where;
            EXPECT_EQ(rc, 0) << where;
            if (sim_fault_fired(SIM_NETWORK) == 0) {
                EXPECT_STREQ(drive, "t:\\") << where;
                break;
            }
            if (n == 7) {
                /* t:, the seventh letter asked, is not seen: z: is connected instead */
                EXPECT_STREQ(drive, "z:\\") << where;
                EXPECT_EQ(letters_of("WNetAddConnection2A"), "z") << where;
            } else {
                EXPECT_STREQ(drive, "t:\\") << where;
                EXPECT_EQ(letters_of("WNetAddConnection2A"), "") << where;
            }
        }
        EXPECT_EQ(n, 8u) << "the search ends at t:";
    }
}

struct connect_fault_row {
    const char *name;
    DWORD error;
    status_t status;
    const char *connects;
};
const connect_fault_row CONNECT_FAULT_ROWS[] = {
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED, 27, "z"},
    {"ERROR_BAD_NETPATH", ERROR_BAD_NETPATH, 29, "z"},
    {"ERROR_BAD_NET_NAME", ERROR_BAD_NET_NAME, 29, "z"},
    {"ERROR_NO_NETWORK", ERROR_NO_NETWORK, 29, "z"},
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND, 22, "z"},
    {"ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT, 21, "z"},
    {"ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION, 53, "z"},
    {"ERROR_LOCK_VIOLATION", ERROR_LOCK_VIOLATION, 54, "z"},
    {"ERROR_PRIVILEGE_NOT_HELD", ERROR_PRIVILEGE_NOT_HELD, 27, "z"},
    {"ERROR_ALREADY_ASSIGNED", ERROR_ALREADY_ASSIGNED, 0, "zy"},
    {"ERROR_DEVICE_ALREADY_REMEMBERED", ERROR_DEVICE_ALREADY_REMEMBERED, 0, "zy"},
};
class ConnectFault : public NetRows<connect_fault_row> {
};
TEST_P(ConnectFault, ReachesItsMapping)
{
    const connect_fault_row &row = GetParam();
    /* the 24 queries pass, the first connect fails */
    sim_fault(SIM_NETWORK, 25, false, (int)row.error);
    char drive[8] = "";
    status_t rc = net_connect_share("SERVER1", "VOL", drive);
    ASSERT_EQ(sim_fault_fired(SIM_NETWORK), 1u);
    EXPECT_EQ(rc, row.status);
    EXPECT_EQ(letters_of("WNetAddConnection2A"), row.connects);
    EXPECT_STREQ(drive, row.status == 0 ? "y:\\" : "");
}
VX_ROWS(ConnectFault, CONNECT_FAULT_ROWS);

TEST_F(NetTest, AllocationFaultDuringTheSearchStopsIt)
{
    sim_connect('T', "\\\\SERVER1\\VOL");
    unsigned n;
    for (n = 1; n < 100; n++) {
        sim_fault_clear();
        long blocks = sim_live_blocks();
        size_t connects = letters_of("WNetAddConnection2A").size();
        sim_fault(SIM_MEM, n, false, 0);
        char drive[8] = "";
        status_t rc = net_connect_share("SERVER1", "VOL", drive);
        EXPECT_EQ(sim_live_blocks(), blocks) << "allocation " << n;
        EXPECT_EQ(letters_of("WNetAddConnection2A").size(), connects)
            << "allocation " << n << ": nothing connected";
        if (sim_fault_fired(SIM_MEM) == 0) {
            EXPECT_EQ(rc, 0);
            EXPECT_STREQ(drive, "t:\\");
            break;
        }
        EXPECT_EQ(rc, 5) << "allocation " << n;
        EXPECT_STREQ(drive, "") << "allocation " << n;
    }
    /* z: down to u: fail their one query, t: its query and its result */
    EXPECT_EQ(n, 9u);
}

} // namespace
