/* The registry model's private interface: key trees per machine and open handles. */
#ifndef SIM_MODEL_REGISTRY_H
#define SIM_MODEL_REGISTRY_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/sim_internal.h"

struct simr_value {
    std::string name; /* spelling of the first write; "" is the unnamed value */
    DWORD type;
    std::string data; /* exactly the bytes stored */
};

struct simr_key {
    std::string name;        /* spelling of the creation */
    simr_key *parent;        /* null for a root */
    std::string class_name;  /* RegCreateKeyExA's class, for a key it created */
    bool denied;             /* opening or creating it (or anything below) gives 5 */
    bool has_security;       /* created with security attributes */
    DWORD security_length;   /* their nLength */
    BOOL security_inherit;   /* their bInheritHandle */
    int descriptor_revision; /* Revision of their descriptor; -1 when there was none */
    std::vector<simr_value> values;                 /* in the order of their first write */
    std::vector<std::unique_ptr<simr_key>> subkeys; /* in the order of their creation */
    /* Lookups by case-folded name once a key has many values or subkeys (few are searched one
     * by one); an index is valid while it counts as many entries as it indexes. */
    std::unordered_map<std::string, size_t> value_at;
    std::unordered_map<std::string, simr_key *> subkey_at;
};

struct simr_machine {
    std::string name;  /* "" for this workstation */
    LONG unreachable;  /* RegConnectRegistryA's error; 0 when reachable */
    simr_key roots[4]; /* HKCR, HKCU, HKLM, HKU */
};

/* A machine by name ("" or null: this workstation; case-blind), or null when unknown. */
simr_machine *simr_machine_find(const char *name);
/* The root of a predefined key, or null when root is not one of the four. */
simr_key *simr_root(simr_machine *machine, HKEY root);
bool simr_is_predefined(HKEY key);
/* Case-blind lookups; null when absent. */
simr_key *simr_child(simr_key *key, const std::string &name);
simr_key *simr_add_child(simr_key *key, const std::string &name);
simr_value *simr_value_find(simr_key *key, const char *name);
void simr_value_set(simr_key *key, const char *name, DWORD type, const std::string &data);
bool simr_value_delete(simr_key *key, const char *name);
/* The key or one of its ancestors is denied. */
bool simr_denied(const simr_key *key);
/* The components of a subkey path; empty pieces (doubled or trailing backslashes) dropped. */
std::vector<std::string> simr_split(const char *path);
/* Where a 32-bit program on 64-bit Windows keeps HKEY_LOCAL_MACHINE\SOFTWARE. */
#define SIMR_WOW64_NODE "Wow6432Node"
/* The path a program reaches from base with parts and the access it asks for: the registry
 * view (sim_set_wow64) redirected, or parts unchanged. */
std::vector<std::string> simr_view(const simr_key *base, const std::vector<std::string> &parts,
                                   REGSAM access);
/* The path of a key below its root, as created. */
std::string simr_path(const simr_key *key);

/* Open handles (never the predefined keys, which resolve to this workstation's roots with every
 * right). */
struct simr_handle {
    simr_machine *machine;
    simr_key *key;
    REGSAM access;
};
HKEY simr_handle_open(simr_machine *machine, simr_key *key, REGSAM access);
/* False for a null, closed or unknown handle. */
bool simr_handle_get(HKEY key, simr_handle *out);
bool simr_handle_close(HKEY key);
/* A handle as the call log shows it: HKEY_LOCAL_MACHINE, or its number. */
std::string simr_handle_name(HKEY key);

#endif
