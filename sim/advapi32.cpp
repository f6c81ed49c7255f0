/* advapi32's registry calls over the registry model, with the real calls' measured edges. */
#include "sim/model_registry.h"

#include <string.h>

#define ADVAPI_ERROR_NOACCESS 998L          /* data pointer null with a non-zero size */
#define ADVAPI_ERROR_UNKNOWN_REVISION 1305L /* InitializeSecurityDescriptor */

static std::vector<sim_reg_call> advapi_calls;

static void advapi_reset(void)
{
    advapi_calls.clear();
}
static bool advapi_registered = simi_on_reset(advapi_reset);

const std::vector<sim_reg_call> &sim_reg_calls(void)
{
    (void)advapi_registered;
    return advapi_calls;
}

/* The structured record of a call, begun as it enters; advapi_log adds the result. */
static void advapi_note(const char *call, HKEY key, const char *machine, const char *name,
                        long size, REGSAM access)
{
    advapi_calls.push_back(sim_reg_call{call, key, simr_is_predefined(key),
                                        machine != NULL ? machine : "", name != NULL ? name : "",
                                        size, access, ERROR_SUCCESS});
}

static LONG advapi_log(const char *name, const std::string &args, LONG rc, const std::string &out)
{
    if (!advapi_calls.empty())
        advapi_calls.back().result = rc;
    simi_log(name, args, out.empty() ? simi_num(rc) : simi_num(rc) + " " + out);
    return rc;
}

/* Every call on an open key starts alike, after any argument check the real call makes first:
 * an injected fault, then the handle. ERROR_SUCCESS with *h the handle's key, machine and
 * access, or the failure the call returns. */
static LONG advapi_enter(HKEY key, simr_handle *h)
{
    int fault;
    if (simi_fault(SIM_REGISTRY, ERROR_ACCESS_DENIED, &fault))
        return fault;
    return simr_handle_get(key, h) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

/* Follow subkey from an open key, in the view the access asks for: *parts its levels, *found
 * how many of them exist, *last the deepest existing key. */
static LONG advapi_walk(simr_key *start, const char *subkey, REGSAM access,
                        std::vector<std::string> *parts, size_t *found, simr_key **last)
{
    if (subkey != NULL && subkey[0] == '\\')
        return ERROR_BAD_PATHNAME;
    *parts = simr_view(start, simr_split(subkey), access);
    simr_key *key = start;
    size_t i = 0;
    for (; i < parts->size(); i++) {
        simr_key *next = simr_child(key, (*parts)[i]);
        if (next == NULL)
            break;
        key = next;
    }
    *found = i;
    *last = key;
    return ERROR_SUCCESS;
}

LONG RegConnectRegistryA(LPCSTR machine, HKEY root, PHKEY result)
{
    advapi_note("RegConnectRegistryA", root, machine, NULL, -1, 0);
    std::string args = simi_q(machine) + ", " + simr_handle_name(root);
    const char *name = machine != NULL ? machine : "";
    int fault;
    if (simi_fault(SIM_REGISTRY, ERROR_ACCESS_DENIED, &fault))
        return advapi_log("RegConnectRegistryA", args, fault, "");
    if (result == NULL)
        return advapi_log("RegConnectRegistryA", args, ERROR_INVALID_PARAMETER, "");
    if (!simr_is_predefined(root))
        return advapi_log("RegConnectRegistryA", args, ERROR_INVALID_HANDLE, "");
    if (*name == '\0') {
        *result = root;
        return advapi_log("RegConnectRegistryA", args, ERROR_SUCCESS,
                          "-> " + simr_handle_name(root));
    }
    while (*name == '\\')
        name++;
    /* Only the exact computer name counts as this machine (not localhost, not an address);
     * the key handed back is then the predefined one itself. */
    std::string own = simi_computer_name();
    if (*name != '\0' && simi_same(own, name)) {
        *result = root;
        return advapi_log("RegConnectRegistryA", args, ERROR_SUCCESS,
                          "-> " + simr_handle_name(root));
    }
    simr_machine *m = *name != '\0' ? simr_machine_find(name) : NULL;
    if (m == NULL)
        return advapi_log("RegConnectRegistryA", args, ERROR_BAD_NETPATH, "");
    if (m->unreachable != 0)
        return advapi_log("RegConnectRegistryA", args, m->unreachable, "");
    /* A remote registry offers only these roots; the others are not reachable by handle. */
    if (root != HKEY_LOCAL_MACHINE && root != HKEY_USERS)
        return advapi_log("RegConnectRegistryA", args, ERROR_INVALID_HANDLE, "");
    HKEY h = simr_handle_open(m, simr_root(m, root), 0xF003F);
    *result = h;
    return advapi_log("RegConnectRegistryA", args, ERROR_SUCCESS, "-> " + simr_handle_name(h));
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    advapi_note("RegOpenKeyExA", key, NULL, subkey, -1, access);
    std::string args = simr_handle_name(key) + ", " + simi_q(subkey) + ", " + simi_num(options) +
                       ", " + simi_hex(access);
    simr_handle h;
    std::vector<std::string> parts;
    size_t found;
    simr_key *last;
    LONG rc;
    if (result == NULL)
        return advapi_log("RegOpenKeyExA", args, ERROR_INVALID_PARAMETER, "");
    *result = NULL; /* every failure leaves a null handle */
    rc = advapi_enter(key, &h);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegOpenKeyExA", args, rc, "");
    rc = advapi_walk(h.key, subkey, access, &parts, &found, &last);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegOpenKeyExA", args, rc, "");
    if (found < parts.size())
        return advapi_log("RegOpenKeyExA", args, ERROR_FILE_NOT_FOUND, "");
    if (simr_denied(last))
        return advapi_log("RegOpenKeyExA", args, ERROR_ACCESS_DENIED, "");
    /* No subkey on a predefined key gives that key back; on any other key a new handle. */
    HKEY opened = parts.empty() && simr_is_predefined(key)
                      ? key
                      : simr_handle_open(h.machine, last, access);
    *result = opened;
    return advapi_log("RegOpenKeyExA", args, ERROR_SUCCESS, "-> " + simr_handle_name(opened));
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size)
{
    advapi_note("RegQueryValueExA", key, NULL, name, size != NULL ? (long)*size : -1, 0);
    std::string args = simr_handle_name(key) + ", " + simi_q(name) + ", " +
                       (size != NULL ? simi_num(*size) : std::string("NULL"));
    simr_handle h;
    LONG rc = advapi_enter(key, &h);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegQueryValueExA", args, rc, "");
    if (reserved != NULL || (data != NULL && size == NULL))
        return advapi_log("RegQueryValueExA", args, ERROR_INVALID_PARAMETER, "");
    if ((h.access & KEY_QUERY_VALUE) == 0)
        return advapi_log("RegQueryValueExA", args, ERROR_ACCESS_DENIED, "");
    simr_value *v = simr_value_find(h.key, name);
    if (v == NULL) {
        /* Measured: the type is cleared; a size query's size too, a data query's size is
         * left alone. */
        if (type != NULL)
            *type = REG_NONE;
        if (data == NULL && size != NULL)
            *size = 0;
        return advapi_log("RegQueryValueExA", args, ERROR_FILE_NOT_FOUND, "");
    }
    DWORD need = (DWORD)v->data.size();
    if (type != NULL)
        *type = v->type;
    rc = ERROR_SUCCESS;
    bool text = v->type == REG_SZ || v->type == REG_EXPAND_SZ || v->type == REG_MULTI_SZ;
    /* A buffer too small is left untouched; the size needed is reported either way. */
    if (data != NULL && *size < need) {
        rc = ERROR_MORE_DATA;
    } else if (data != NULL) {
        memcpy(data, v->data.data(), need);
        /* Text stored without its terminator gets one after the data when the buffer has
         * room for it; the size reported stays the stored one. */
        if (text && need > 0 && need < *size && data[need - 1] != 0)
            data[need] = 0;
    }
    if (size != NULL)
        *size = need;
    return advapi_log("RegQueryValueExA", args, rc,
                      "type " + simi_num(v->type) + " size " + simi_num(need));
}

LONG RegCloseKey(HKEY key)
{
    advapi_note("RegCloseKey", key, NULL, NULL, -1, 0);
    std::string args = simr_handle_name(key);
    int fault;
    bool fails = simi_fault(SIM_REGISTRY, ERROR_ACCESS_DENIED, &fault);
    /* A failed close still releases the handle: nothing a caller could do would free it. */
    if (simr_is_predefined(key))
        return advapi_log("RegCloseKey", args, fails ? fault : ERROR_SUCCESS, "");
    bool known = simr_handle_close(key);
    if (fails)
        return advapi_log("RegCloseKey", args, fault, "");
    return advapi_log("RegCloseKey", args, known ? ERROR_SUCCESS : ERROR_INVALID_HANDLE, "");
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR class_name, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition)
{
    advapi_note("RegCreateKeyExA", key, NULL, subkey, -1, access);
    std::string args = simr_handle_name(key) + ", " + simi_q(subkey) + ", " + simi_q(class_name) +
                       ", " + simi_num(options) + ", " + simi_hex(access) + ", " +
                       (security != NULL ? "{" + simi_num(security->nLength) + ", " +
                                               simi_num(security->bInheritHandle) + "}"
                                         : std::string("NULL"));
    simr_handle h;
    std::vector<std::string> parts;
    size_t found;
    simr_key *last;
    LONG rc = advapi_enter(key, &h);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegCreateKeyExA", args, rc, "");
    if (subkey == NULL || result == NULL || reserved != 0)
        return advapi_log("RegCreateKeyExA", args, ERROR_INVALID_PARAMETER, "");
    rc = advapi_walk(h.key, subkey, access, &parts, &found, &last);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegCreateKeyExA", args, rc, "");
    if (simr_denied(last))
        return advapi_log("RegCreateKeyExA", args, ERROR_ACCESS_DENIED, "");
    bool created = found < parts.size();
    if (created && (h.access & KEY_CREATE_SUB_KEY) == 0)
        return advapi_log("RegCreateKeyExA", args, ERROR_ACCESS_DENIED, "");
    for (size_t i = found; i < parts.size(); i++)
        last = simr_add_child(last, parts[i]);
    if (created) {
        last->class_name = class_name != NULL ? class_name : "";
        if (security != NULL) {
            last->has_security = true;
            last->security_length = security->nLength;
            last->security_inherit = security->bInheritHandle;
            const SECURITY_DESCRIPTOR *sd =
                (const SECURITY_DESCRIPTOR *)security->lpSecurityDescriptor;
            last->descriptor_revision = sd != NULL ? sd->Revision : -1;
        }
    }
    HKEY opened = parts.empty() && simr_is_predefined(key)
                      ? key
                      : simr_handle_open(h.machine, last, access);
    *result = opened;
    if (disposition != NULL)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return advapi_log("RegCreateKeyExA", args, ERROR_SUCCESS,
                      "-> " + simr_handle_name(opened) + (created ? " created" : " opened"));
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data,
                    DWORD size)
{
    advapi_note("RegSetValueExA", key, NULL, name, (long)size, 0);
    std::string args = simr_handle_name(key) + ", " + simi_q(name) + ", " + simi_num(reserved) +
                       ", " + simi_num(type) + ", " + simi_num(size);
    simr_handle h;
    LONG rc = advapi_enter(key, &h);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegSetValueExA", args, rc, "");
    if ((h.access & KEY_SET_VALUE) == 0)
        return advapi_log("RegSetValueExA", args, ERROR_ACCESS_DENIED, "");
    if (data == NULL && size != 0)
        return advapi_log("RegSetValueExA", args, ADVAPI_ERROR_NOACCESS, "");
    std::string bytes((const char *)data, data != NULL ? size : 0);
    /* Measured: text given without its terminator gains it when the byte after the data is a
     * NUL, as it is for a C string passed with strlen(). The real call reads that byte too;
     * it is looked at only when the data's own last byte is not already a NUL. */
    bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (text && size > 0 && data[size - 1] != 0 && data[size] == 0)
        bytes += '\0';
    simr_value_set(h.key, name, type, bytes);
    return advapi_log("RegSetValueExA", args, ERROR_SUCCESS, "");
}

LONG RegDeleteValueA(HKEY key, LPCSTR name)
{
    advapi_note("RegDeleteValueA", key, NULL, name, -1, 0);
    std::string args = simr_handle_name(key) + ", " + simi_q(name);
    simr_handle h;
    LONG rc = advapi_enter(key, &h);
    if (rc != ERROR_SUCCESS)
        return advapi_log("RegDeleteValueA", args, rc, "");
    if ((h.access & KEY_SET_VALUE) == 0)
        return advapi_log("RegDeleteValueA", args, ERROR_ACCESS_DENIED, "");
    bool had = simr_value_delete(h.key, name);
    return advapi_log("RegDeleteValueA", args, had ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND, "");
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision)
{
    std::string args = simi_hex((uintptr_t)sd) + ", " + simi_num(revision);
    if (sd == NULL) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
        simi_log("InitializeSecurityDescriptor", args, "0");
        return FALSE;
    }
    if (revision != SECURITY_DESCRIPTOR_REVISION) {
        simi_set_last_error(ADVAPI_ERROR_UNKNOWN_REVISION);
        simi_log("InitializeSecurityDescriptor", args, "0");
        return FALSE;
    }
    SECURITY_DESCRIPTOR *d = (SECURITY_DESCRIPTOR *)sd;
    memset(d, 0, sizeof *d);
    d->Revision = (BYTE)revision;
    simi_log("InitializeSecurityDescriptor", args, "1");
    return TRUE;
}
