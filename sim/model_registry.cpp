/* The registry model: key trees per machine, typed values, open handles, and the set-up API. */
#include "sim/model_registry.h"

#include <map>
#include <string.h>

static std::vector<std::unique_ptr<simr_machine>> simr_machines; /* [0] this workstation */
static std::map<uintptr_t, simr_handle> simr_handles;
static uintptr_t simr_next_handle = 0x1000; /* never reused, so a stale handle stays invalid */

static bool simr_wow64; /* the program is 32-bit on 64-bit Windows */

static void simr_reset(void)
{
    simr_machines.clear();
    simr_handles.clear();
    simr_wow64 = false;
}

void sim_set_wow64(bool on)
{
    simr_wow64 = on;
}

bool sim_wow64(void)
{
    return simr_wow64;
}

static bool simr_registered = simi_on_reset(simr_reset);

static void simr_init_key(simr_key *key, const std::string &name, simr_key *parent)
{
    key->name = name;
    key->parent = parent;
    key->denied = false;
    key->has_security = false;
    key->security_length = 0;
    key->security_inherit = FALSE;
    key->descriptor_revision = -1;
}

static simr_machine *simr_machine_new(const std::string &name)
{
    static const char *const root_names[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                              "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    std::unique_ptr<simr_machine> m(new simr_machine);
    m->name = name;
    m->unreachable = 0;
    for (int i = 0; i < 4; i++)
        simr_init_key(&m->roots[i], root_names[i], NULL);
    simr_machines.push_back(std::move(m));
    return simr_machines.back().get();
}

simr_machine *simr_machine_find(const char *name)
{
    (void)simr_registered;
    if (simr_machines.empty())
        simr_machine_new("");
    if (name == NULL || *name == '\0')
        return simr_machines[0].get();
    for (size_t i = 1; i < simr_machines.size(); i++)
        if (simi_same(simr_machines[i]->name, name))
            return simr_machines[i].get();
    return NULL;
}

bool simr_is_predefined(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

simr_key *simr_root(simr_machine *machine, HKEY root)
{
    if (machine == NULL || !simr_is_predefined(root))
        return NULL;
    return &machine->roots[(uintptr_t)root - (uintptr_t)HKEY_CLASSES_ROOT];
}

/* Fewer entries than this are searched one by one. */
static const size_t SIMR_INDEX_FROM = 8;

simr_key *simr_child(simr_key *key, const std::string &name)
{
    if (key->subkeys.size() < SIMR_INDEX_FROM) {
        for (auto &k : key->subkeys)
            if (simi_same(k->name, name))
                return k.get();
        return NULL;
    }
    if (key->subkey_at.size() != key->subkeys.size()) {
        key->subkey_at.clear();
        for (auto &k : key->subkeys)
            key->subkey_at[simi_folded(k->name)] = k.get();
    }
    auto it = key->subkey_at.find(simi_folded(name));
    return it == key->subkey_at.end() ? NULL : it->second;
}

simr_key *simr_add_child(simr_key *key, const std::string &name)
{
    simr_key *k = simr_child(key, name);
    if (k != NULL)
        return k;
    bool indexed = !key->subkey_at.empty() && key->subkey_at.size() == key->subkeys.size();
    key->subkeys.emplace_back(new simr_key);
    k = key->subkeys.back().get();
    simr_init_key(k, name, key);
    if (indexed)
        key->subkey_at[simi_folded(name)] = k;
    return k;
}

/* The position of a value in its key's list, or the list's size when there is none. */
static size_t simr_value_at(simr_key *key, const char *name)
{
    if (name == NULL)
        name = "";
    if (key->values.size() < SIMR_INDEX_FROM) {
        for (size_t i = 0; i < key->values.size(); i++)
            if (simi_same(key->values[i].name, name))
                return i;
        return key->values.size();
    }
    if (key->value_at.size() != key->values.size()) {
        key->value_at.clear();
        for (size_t i = 0; i < key->values.size(); i++)
            key->value_at[simi_folded(key->values[i].name)] = i;
    }
    auto it = key->value_at.find(simi_folded(name));
    return it == key->value_at.end() ? key->values.size() : it->second;
}

simr_value *simr_value_find(simr_key *key, const char *name)
{
    size_t at = simr_value_at(key, name);
    return at == key->values.size() ? NULL : &key->values[at];
}

void simr_value_set(simr_key *key, const char *name, DWORD type, const std::string &data)
{
    if (name == NULL)
        name = "";
    size_t at = simr_value_at(key, name);
    if (at < key->values.size()) {
        key->values[at].type = type;
        key->values[at].data = data;
        return;
    }
    if (!key->value_at.empty() && key->value_at.size() == key->values.size())
        key->value_at[simi_folded(name)] = key->values.size();
    key->values.push_back(simr_value{name, type, data});
}

bool simr_value_delete(simr_key *key, const char *name)
{
    size_t at = simr_value_at(key, name);
    if (at == key->values.size())
        return false;
    key->values.erase(key->values.begin() + (long)at);
    key->value_at.clear(); /* positions moved: rebuilt at the next lookup */
    return true;
}

bool simr_denied(const simr_key *key)
{
    for (; key != NULL; key = key->parent)
        if (key->denied)
            return true;
    return false;
}

std::vector<std::string> simr_split(const char *path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (const char *p = path != NULL ? path : ""; ; p++) {
        if (*p == '\\' || *p == '\0') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
            if (*p == '\0')
                break;
        } else {
            cur += *p;
        }
    }
    return parts;
}

/* The 32-bit view: below this workstation's HKEY_LOCAL_MACHINE, SOFTWARE (and anything in it)
 * is SOFTWARE\Wow6432Node, unless the caller asks for the 64-bit view. Shared keys, which both
 * views see alike, are not modelled: the system's own programs use them, not the agent. */
std::vector<std::string> simr_view(const simr_key *base, const std::vector<std::string> &parts,
                                   REGSAM access)
{
    if (!simr_wow64 || (access & KEY_WOW64_64KEY) != 0 || parts.empty() ||
        base != simr_root(simr_machine_find(""), HKEY_LOCAL_MACHINE) ||
        !simi_same(parts[0], "SOFTWARE") ||
        (parts.size() > 1 && simi_same(parts[1], SIMR_WOW64_NODE)))
        return parts;
    std::vector<std::string> redirected = parts;
    redirected.insert(redirected.begin() + 1, SIMR_WOW64_NODE);
    return redirected;
}

std::string simr_path(const simr_key *key)
{
    std::string path;
    for (; key != NULL && key->parent != NULL; key = key->parent)
        path = path.empty() ? key->name : key->name + "\\" + path;
    return path;
}

HKEY simr_handle_open(simr_machine *machine, simr_key *key, REGSAM access)
{
    uintptr_t h = simr_next_handle;
    simr_next_handle += 4;
    simr_handles[h] = simr_handle{machine, key, access};
    return (HKEY)h;
}

bool simr_handle_get(HKEY key, simr_handle *out)
{
    if (simr_is_predefined(key)) {
        simr_machine *m = simr_machine_find("");
        *out = simr_handle{m, simr_root(m, key), 0xF003F /* KEY_ALL_ACCESS */};
        return true;
    }
    auto it = simr_handles.find((uintptr_t)key);
    if (it == simr_handles.end())
        return false;
    *out = it->second;
    return true;
}

bool simr_handle_close(HKEY key)
{
    return simr_handles.erase((uintptr_t)key) != 0;
}

std::string simr_handle_name(HKEY key)
{
    static const char *const names[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                         "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    if (simr_is_predefined(key))
        return names[(uintptr_t)key - (uintptr_t)HKEY_CLASSES_ROOT];
    if (key == NULL)
        return "NULL";
    return simi_hex((uintptr_t)key);
}

/* ---- Set-up API ------------------------------------------------------------------------- */

/* The key at path below a machine's root; created (every missing level) when create is set. */
static simr_key *simr_walk(const char *machine, HKEY root, const char *path, bool create)
{
    simr_key *key = simr_root(simr_machine_find(machine), root);
    if (key == NULL)
        return NULL;
    for (const std::string &part : simr_split(path)) {
        simr_key *next = create ? simr_add_child(key, part) : simr_child(key, part);
        if (next == NULL)
            return NULL;
        key = next;
    }
    return key;
}

void sim_add_machine(const char *name)
{
    if (name != NULL && *name != '\0' && simr_machine_find(name) == NULL)
        simr_machine_new(name);
}

void sim_set_machine_unreachable(const char *name, LONG error)
{
    sim_add_machine(name);
    simr_machine *m = simr_machine_find(name);
    if (m != NULL && !m->name.empty())
        m->unreachable = error;
}

bool sim_reg_create_key(const char *machine, HKEY root, const char *path)
{
    return simr_walk(machine, root, path, true) != NULL;
}

bool sim_reg_set(const char *machine, HKEY root, const char *path, const char *name, DWORD type,
                 const void *data, DWORD size)
{
    simr_key *key = simr_walk(machine, root, path, true);
    if (key == NULL || (data == NULL && size != 0))
        return false;
    simr_value_set(key, name, type, std::string((const char *)data, data != NULL ? size : 0));
    return true;
}

bool sim_reg_set_text(const char *machine, HKEY root, const char *path, const char *name,
                      const char *text)
{
    if (text == NULL)
        return false;
    return sim_reg_set(machine, root, path, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

bool sim_reg_get(const char *machine, HKEY root, const char *path, const char *name, DWORD *type,
                 std::string *data)
{
    simr_key *key = simr_walk(machine, root, path, false);
    simr_value *v = key != NULL ? simr_value_find(key, name) : NULL;
    if (v == NULL)
        return false;
    if (type != NULL)
        *type = v->type;
    if (data != NULL)
        *data = v->data;
    return true;
}

bool sim_reg_key_exists(const char *machine, HKEY root, const char *path)
{
    return simr_walk(machine, root, path, false) != NULL;
}

bool sim_reg_key_info(const char *machine, HKEY root, const char *path, sim_reg_key_facts *out)
{
    simr_key *key = simr_walk(machine, root, path, false);
    if (key == NULL)
        return false;
    out->class_name = key->class_name;
    out->has_security = key->has_security;
    out->security_length = key->security_length;
    out->security_inherit = key->security_inherit;
    out->descriptor_revision = key->descriptor_revision;
    return true;
}

void sim_reg_deny(const char *machine, HKEY root, const char *path)
{
    simr_key *key = simr_walk(machine, root, path, true);
    if (key != NULL)
        key->denied = true;
}

/* The keys below root, each before its subkeys, in creation order, and their values. A loop, not
 * a recursion: the depth comes from whoever made the keys. */
static void simr_dump(const simr_key *root, std::vector<sim_reg_value> *values,
                      std::vector<std::string> *keys)
{
    std::vector<const simr_key *> pending(1, root);
    while (!pending.empty()) {
        const simr_key *key = pending.back();
        pending.pop_back();
        std::string path = simr_path(key);
        if (key->parent != NULL && keys != NULL)
            keys->push_back(path);
        if (values != NULL)
            for (const simr_value &v : key->values)
                values->push_back(sim_reg_value{path, v.name, v.type, v.data});
        for (auto it = key->subkeys.rbegin(); it != key->subkeys.rend(); ++it)
            pending.push_back(it->get());
    }
}

std::vector<sim_reg_value> sim_reg_dump(const char *machine, HKEY root)
{
    std::vector<sim_reg_value> values;
    simr_key *key = simr_root(simr_machine_find(machine), root);
    if (key != NULL)
        simr_dump(key, &values, NULL);
    return values;
}

std::vector<std::string> sim_reg_keys(const char *machine, HKEY root)
{
    std::vector<std::string> keys;
    simr_key *key = simr_root(simr_machine_find(machine), root);
    if (key != NULL)
        simr_dump(key, NULL, &keys);
    return keys;
}

int sim_open_keys(void)
{
    return (int)simr_handles.size();
}
