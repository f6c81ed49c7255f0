/* advapi32's event-log calls over one simulated Application log: a source handle from
 * RegisterEventSourceA, events appended by ReportEventA, the handle closed by
 * DeregisterEventSource. Failures return what the real calls return: a NULL handle or FALSE,
 * with the last error set. */
#include "sim/sim_internal.h"

#include <stdint.h>

/* Handles are small tagged numbers, never addresses, so a stale one is recognised. */
#define EVLOG_HANDLE_BASE 0x4e00u

struct evlog_source {
    std::string name;
    bool open;
};

struct evlog_state {
    std::vector<evlog_source> sources; /* index = handle - EVLOG_HANDLE_BASE */
    std::vector<sim_event> events;
};

static evlog_state evlog;

static void evlog_reset(void)
{
    evlog = evlog_state();
}
static bool evlog_registered = simi_on_reset(evlog_reset);

const std::vector<sim_event> &sim_events(void)
{
    (void)evlog_registered;
    return evlog.events;
}

/* The open source a handle stands for, or NULL. */
static evlog_source *evlog_source_of(HANDLE log)
{
    uintptr_t n = (uintptr_t)log;
    if (n < EVLOG_HANDLE_BASE || n - EVLOG_HANDLE_BASE >= evlog.sources.size())
        return NULL;
    evlog_source *s = &evlog.sources[n - EVLOG_HANDLE_BASE];
    return s->open ? s : NULL;
}

/* Only the local machine keeps a log here: a named server is one the simulation cannot
 * reach, as an RPC call to an absent machine fails. */
HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR source)
{
    HANDLE handle = NULL;
    int fault;
    if (simi_fault(SIM_EVENTLOG, ERROR_ACCESS_DENIED, &fault)) {
        simi_set_last_error((DWORD)fault);
    } else if (server != NULL && server[0] != '\0') {
        simi_set_last_error(RPC_S_SERVER_UNAVAILABLE);
    } else if (source == NULL) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
    } else {
        evlog.sources.push_back(evlog_source{source, true});
        handle = (HANDLE)(uintptr_t)(EVLOG_HANDLE_BASE + evlog.sources.size() - 1);
    }
    simi_log("RegisterEventSourceA", simi_q(server) + ", " + simi_q(source),
             simi_hex((uintptr_t)handle));
    return handle;
}

BOOL ReportEventA(HANDLE log, WORD type, WORD category, DWORD id, PSID user, WORD count,
                  DWORD data_size, LPCSTR *strings, LPVOID data)
{
    BOOL ok = FALSE;
    int fault;
    evlog_source *source = evlog_source_of(log);
    (void)user;
    if (source == NULL) {
        simi_set_last_error(ERROR_INVALID_HANDLE);
    } else if ((count > 0 && strings == NULL) || (data_size > 0 && data == NULL)) {
        simi_set_last_error(ERROR_INVALID_PARAMETER);
    } else if (simi_fault(SIM_EVENTLOG, ERROR_ACCESS_DENIED, &fault)) {
        simi_set_last_error((DWORD)fault);
    } else {
        sim_event event{source->name, type, category, id, {}, data_size};
        for (WORD i = 0; i < count; i++)
            event.strings.push_back(strings[i] != NULL ? strings[i] : "");
        evlog.events.push_back(event);
        ok = TRUE;
    }
    std::string args = simi_hex((uintptr_t)log) + ", " + simi_num(type) + ", " +
                       simi_num(category) + ", " + simi_num(id) + ", " + simi_num(count);
    for (WORD i = 0; strings != NULL && i < count; i++)
        args += ", " + simi_q(strings[i]);
    simi_log("ReportEventA", args, simi_num(ok));
    return ok;
}

BOOL DeregisterEventSource(HANDLE log)
{
    evlog_source *source = evlog_source_of(log);
    if (source != NULL)
        source->open = false;
    else
        simi_set_last_error(ERROR_INVALID_HANDLE);
    simi_log("DeregisterEventSource", simi_hex((uintptr_t)log), simi_num(source != NULL));
    return source != NULL;
}
