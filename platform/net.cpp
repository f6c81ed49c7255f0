/* Network drive connections: the remote name behind a letter; a share reached through an
 * existing connection or the first free letter from z down. */
#include "platform/net.h"

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/path.h"
#include "platform/reg.h"
#include "platform/text.h"

/* The first query's length; it holds any ordinary remote name. */
#define NET_FIRST_QUERY_LEN 260
/* Lengths are 16-bit: a platform that asks for more is not believed. */
#define NET_MAX_QUERY_LEN 0xFFFFu

/* Letters tried when the caller asks for none; a and b are the floppy drives. */
static const char NET_CANDIDATES[] = "zyxwvutsrqponmlkjihgfedc";

status_t net_drive_remote_path(const char *path, char **remote)
{
    status_t rc = STATUS_OK;
    char device[3];
    char *query = NULL;
    char *joined = NULL;
    const char *rest;
    DWORD len = NET_FIRST_QUERY_LEN;
    DWORD cap;
    DWORD err;
    size_t name_len;
    size_t rest_len;

    if (path == NULL || path[0] == '\0' || remote == NULL)
        return STATUS_FAILED;
    device[0] = path[0];
    device[1] = ':';
    device[2] = '\0';
    rest = path[1] != '\0' ? path + 2 : path + 1;

    for (;;) {
        cap = len;
        query = (char *)mem_alloc((size_t)cap + 1);
        if (query == NULL) {
            rc = STATUS_NO_MEMORY;
            goto done;
        }
        err = WNetGetConnectionA(device, query, &len);
        if (err != ERROR_MORE_DATA)
            break;
        mem_free(query);
        query = NULL;
        /* Asking again for no more room than before would never end. */
        if (len <= cap || len > NET_MAX_QUERY_LEN) {
            rc = STATUS_FAILED;
            goto done;
        }
    }
    if (err != NO_ERROR) {
        rc = status_from_win32_error(err);
        goto done;
    }
    query[cap] = '\0';

    name_len = strlen(query);
    rest_len = strlen(rest);
    joined = (char *)mem_alloc(name_len + rest_len + 1);
    if (joined == NULL) {
        rc = STATUS_NO_MEMORY;
        goto done;
    }
    memcpy(joined, query, name_len);
    memcpy(joined + name_len, rest, rest_len + 1);
    *remote = joined;

done:
    mem_free(query);
    return rc;
}

/* The next piece of a remote name between backslashes, skipping empty ones: its start and
 * length, or false at the end. */
static truth_t net_next_piece(const char **cursor, const char **piece, size_t *len)
{
    const char *p = *cursor;

    while (*p == '\\')
        p++;
    if (*p == '\0')
        return 0;
    *piece = p;
    while (*p != '\0' && *p != '\\')
        p++;
    *len = (size_t)(p - *piece);
    *cursor = p;
    return 1;
}

static truth_t net_piece_is(const char *piece, size_t len, const char *name)
{
    return strlen(name) == len && text_equal(piece, name, (uint16_t)len);
}

/* Whether a remote name leads to \\host\share: its first two pieces name them, whatever
 * follows (a connection deeper than the share reaches it too). */
static truth_t net_remote_matches(const char *remote, const char *host, const char *share)
{
    const char *cursor = remote;
    const char *piece = NULL;
    size_t len = 0;

    if (!net_next_piece(&cursor, &piece, &len) || !net_piece_is(piece, len, host))
        return 0;
    if (!net_next_piece(&cursor, &piece, &len) || !net_piece_is(piece, len, share))
        return 0;
    return 1;
}

status_t net_connect_share(const char *host, const char *share, char *drive)
{
    status_t rc = STATUS_OK;
    char remote_name[PATH_CAP];
    char local_name[3];
    char requested[2];
    const char *candidates;
    char *remote = NULL;
    NETRESOURCEA resource;
    DWORD err = ERROR_ALREADY_ASSIGNED;
    char letter = '\0';
    size_t i;

    if (host == NULL || host[0] == '\0' || share == NULL || share[0] == '\0' || drive == NULL)
        return STATUS_FAILED;
    /* A cut name would lead to another share. */
    remote_name[0] = '\0';
    if (!text_copy_fit(remote_name, sizeof remote_name, "\\\\") ||
        !text_append_fit(remote_name, sizeof remote_name, host) ||
        !text_append_fit(remote_name, sizeof remote_name, "\\") ||
        !text_append_fit(remote_name, sizeof remote_name, share))
        return STATUS_FAILED;

    if (drive[0] == '\0') {
        candidates = NET_CANDIDATES;
    } else {
        requested[0] = drive[0];
        requested[1] = '\0';
        candidates = requested;
    }
    local_name[1] = ':';
    local_name[2] = '\0';

    /* Every letter is asked before any is connected, so a connection made earlier, by us or by
     * the user, is found wherever it lies. */
    for (i = 0; candidates[i] != '\0'; i++) {
        truth_t match;

        local_name[0] = candidates[i];
        rc = net_drive_remote_path(local_name, &remote);
        if (rc == STATUS_NO_MEMORY)
            goto done;
        if (rc != STATUS_OK)
            continue;
        match = net_remote_matches(remote, host, share);
        mem_free(remote);
        remote = NULL;
        if (match) {
            letter = candidates[i];
            break;
        }
    }
    rc = STATUS_OK;

    if (letter == '\0') {
        for (i = 0; candidates[i] != '\0'; i++) {
            local_name[0] = candidates[i];
            memset(&resource, 0, sizeof resource);
            resource.dwType = RESOURCETYPE_DISK;
            resource.lpLocalName = local_name;
            resource.lpRemoteName = remote_name;
            /* Flags 0: the connection is not restored at the next log-on. */
            err = WNetAddConnection2A(&resource, NULL, NULL, 0);
            /* A remembered connection holds its letter though it is not connected. */
            if (err != ERROR_ALREADY_ASSIGNED && err != ERROR_DEVICE_ALREADY_REMEMBERED)
                break;
        }
        if (err != NO_ERROR) {
            rc = status_from_win32_error(err);
            goto done;
        }
        letter = candidates[i];
    }

    path_drive_root(drive, letter);

done:
    return rc;
}
