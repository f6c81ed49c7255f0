/* The network connection calls of mpr over the drive table and the servers' shares. */
#include "sim/sim_internal.h"

#include <string.h>

#define MPR_ERROR_BAD_DEV_TYPE 66L /* a resource type other than a disk */

static std::vector<sim_net_attempt> mpr_attempts;
static std::vector<sim_net_query> mpr_queries;

static void mpr_reset(void)
{
    mpr_attempts.clear();
    mpr_queries.clear();
}
static bool mpr_registered = simi_on_reset(mpr_reset);

const std::vector<sim_net_attempt> &sim_net_attempts(void)
{
    return mpr_attempts;
}

const std::vector<sim_net_query> &sim_net_queries(void)
{
    return mpr_queries;
}

/* A device name is a letter and a colon, nothing more; *letter comes back in upper case. */
static bool mpr_device(const char *name, char *letter)
{
    if (name == NULL || strlen(name) != 2 || name[1] != ':')
        return false;
    return simi_drive_letter(name[0], letter);
}

static DWORD mpr_log(const char *name, const std::string &args, DWORD rc)
{
    simi_log(name, args, simi_num(rc));
    return rc;
}

static DWORD mpr_log_query(LPCSTR local_name, const std::string &args, DWORD rc)
{
    mpr_queries.push_back(sim_net_query{local_name != NULL ? local_name : "", rc});
    return mpr_log("WNetGetConnectionA", args, rc);
}

DWORD WNetGetConnectionA(LPCSTR local_name, LPSTR remote_name, LPDWORD length)
{
    std::string args = simi_q(local_name) + ", " +
                       (length != NULL ? simi_num(*length) : std::string("NULL"));
    simi_drive d;
    char letter;
    int fault;
    if (simi_fault(SIM_NETWORK, ERROR_NO_NETWORK, &fault))
        return mpr_log_query(local_name, args, (DWORD)fault);
    if (length == NULL)
        return mpr_log_query(local_name, args, ERROR_INVALID_PARAMETER);
    if (!mpr_device(local_name, &letter) || !simi_drive_get(letter, &d))
        return mpr_log_query(local_name, args, ERROR_BAD_DEVICE);
    if (d.remembered_only)
        return mpr_log_query(local_name, args, ERROR_CONNECTION_UNAVAIL);
    if (d.remote.empty()) /* a local drive, also one typed remote without a connection */
        return mpr_log_query(local_name, args, ERROR_NOT_CONNECTED);
    DWORD need = (DWORD)d.remote.size() + 1;
    if (remote_name == NULL || *length < need) {
        *length = need;
        return mpr_log_query(local_name, args + " need " + simi_num(need), ERROR_MORE_DATA);
    }
    memcpy(remote_name, d.remote.c_str(), need);
    return mpr_log_query(local_name, args + " -> " + simi_q(d.remote.c_str()), NO_ERROR);
}

/* \\host\share[\more] into its pieces; false when it is not of that form. */
static bool mpr_split_remote(const char *remote, std::string *host, std::string *share)
{
    if (remote == NULL || remote[0] != '\\' || remote[1] != '\\')
        return false;
    const char *h = remote + 2;
    const char *s = strchr(h, '\\');
    if (s == NULL || s == h)
        return false;
    const char *e = strchr(s + 1, '\\');
    if (e == NULL)
        e = s + strlen(s);
    if (e == s + 1)
        return false;
    host->assign(h, (size_t)(s - h));
    share->assign(s + 1, (size_t)(e - s - 1));
    return true;
}

static DWORD mpr_connect(const NETRESOURCEA *res, DWORD flags)
{
    std::string host, share, remote, dir;
    char letter = 0;
    simi_drive d;
    DWORD error;
    if (res == NULL)
        return ERROR_INVALID_PARAMETER;
    if (res->dwType != RESOURCETYPE_DISK)
        return MPR_ERROR_BAD_DEV_TYPE;
    bool deviceless = res->lpLocalName == NULL || res->lpLocalName[0] == '\0';
    if (!deviceless && !mpr_device(res->lpLocalName, &letter))
        return ERROR_BAD_DEVICE;
    /* The letter is looked at before the network is asked anything. */
    if (!deviceless && simi_drive_get(letter, &d))
        return d.remembered_only ? ERROR_DEVICE_ALREADY_REMEMBERED : ERROR_ALREADY_ASSIGNED;
    if (!mpr_split_remote(res->lpRemoteName, &host, &share))
        return ERROR_BAD_NET_NAME;
    if (!simi_share_dir(host.c_str(), share.c_str(), &dir, &error))
        return error;
    remote = res->lpRemoteName;
    while (remote.size() > 2 && remote.back() == '\\')
        remote.pop_back();
    /* A connection deeper than the share needs that directory to exist. */
    simi_resolved r;
    if (!simi_resolve(remote.c_str(), &r, &error) || !r.exists || !r.is_dir)
        return ERROR_BAD_NET_NAME;
    (void)flags; /* CONNECT_UPDATE_PROFILE would make it a remembered one: recorded only */
    if (deviceless)
        return NO_ERROR;
    d = simi_drive();
    d.letter = letter;
    d.type = DRIVE_REMOTE;
    d.remote = remote; /* the host directory follows the share at each use */
    d.remembered_only = false;
    simi_drive_set(d);
    return NO_ERROR;
}

DWORD WNetAddConnection2A(LPNETRESOURCEA resource, LPCSTR password, LPCSTR user, DWORD flags)
{
    (void)mpr_registered;
    std::string args = resource != NULL ? "{" + simi_num(resource->dwType) + ", " +
                                              simi_q(resource->lpLocalName) + ", " +
                                              simi_q(resource->lpRemoteName) + "}"
                                        : std::string("NULL");
    args += ", " + std::string(password != NULL ? "password" : "NULL") + ", " + simi_q(user) +
            ", " + simi_hex(flags);
    int fault;
    DWORD rc;
    if (simi_fault(SIM_NETWORK, ERROR_NO_NETWORK, &fault))
        rc = (DWORD)fault;
    else
        rc = mpr_connect(resource, flags);
    sim_net_attempt a;
    a.type = resource != NULL ? resource->dwType : 0;
    a.local = resource != NULL && resource->lpLocalName != NULL ? resource->lpLocalName : "";
    a.remote = resource != NULL && resource->lpRemoteName != NULL ? resource->lpRemoteName : "";
    a.user = user != NULL ? user : "";
    a.password = password != NULL;
    a.flags = flags;
    a.result = rc;
    mpr_attempts.push_back(a);
    return mpr_log("WNetAddConnection2A", args, rc);
}
