/* Conformance markers, for the places where Wine and Windows answer differently (as Wine's own
 * tests mark them with todo_wine and broken()): each names the side the simulation answers as
 * and why. A test asks which side applies where it runs, instead of asking whether it runs
 * under Wine; the program reports at its end which differences it met. */
#ifndef TESTS_SUPPORT_CONFORMANCE_H
#define TESTS_SUPPORT_CONFORMANCE_H

#include <string>

enum ws_side { WS_WINDOWS, WS_WINE };

struct ws_difference {
    const char *name;           /* what differs, in a few words */
    ws_side simulation_follows; /* the side whose answers the simulation gives */
    const char *why;            /* what is documented and what was measured */
};

/* Differences more than one test meets. */
extern const ws_difference WS_LIST_CUT_SHORT; /* profile key and section lists */
extern const ws_difference WS_EMPTY_DRIVE;    /* a removable drive without medium */

/* The side whose answer holds here: Windows on Windows, Wine under Wine, and on the simulation
 * the side it follows. Counts the difference as met. */
ws_side ws_side_here(const ws_difference &d);

/* The answer that holds here, of the two sides' answers. */
template <typename T> T ws_expected(const ws_difference &d, const T &on_windows, const T &on_wine)
{
    return ws_side_here(d) == WS_WINDOWS ? on_windows : on_wine;
}

/* Count a difference as met without asking for a side (the corpus comparison, which holds the
 * simulation to its side by a rule of its own). */
void ws_difference_met(const ws_difference &d);

/* The differences met so far: how many, and each with the side the simulation follows. */
std::string ws_differences_report(void);

#endif
