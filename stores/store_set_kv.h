/* Key-value file updates: a line appended, or the file rewritten through a temporary. */
#ifndef STORES_STORE_SET_KV_H
#define STORES_STORE_SET_KV_H

#include "platform/status.h"

/* The extension of the temporary file of a rewrite: C:\cfg\hosts.lst goes through
 * C:\cfg\hosts.x1z. */
#define STORE_KV_TEMP_EXT "x1z"

/* Append value (null: an empty line; no CR, LF or Ctrl-Z, which the caller refuses) as a line
 * of its own to the file at path, completing a
 * last line that lacks its line end first; the file is created when missing. Statuses:
 * STATUS_OK; STATUS_INVALID_NAME for a file whose extension is the temporary one;
 * STATUS_WRITE_ERROR when the file cannot be created, opened for appending, written or closed;
 * STATUS_READ_ERROR when it cannot be opened for reading, or holds a Ctrl-Z (text input ends
 * there: the line would never be read). */
status_t store_kv_append(const char *path, const char *value);

/* Set the first line whose key is name to value, delete it when value is empty (or null), or
 * add the line at the end when no line has that key. spec is the separator spec (null: "=").
 * Every other line is carried over unchanged (its line end written as CR LF), and the file
 * always comes out ending in a line end: a last line that lacked one is completed, whatever
 * the rewrite changed (a file left without lines is empty). name and value hold no CR, LF or
 * Ctrl-Z (the caller refuses them).
 * Statuses: STATUS_OK; STATUS_BAD_FORMAT for a malformed spec or a key part of 1023 characters
 * or more before the matching line; STATUS_NO_MEMORY when the working copies cannot be had;
 * STATUS_INVALID_NAME when the file's extension is the temporary one or the temporary path
 * does not fit; STATUS_READ_ERROR when the file exists but cannot be opened or read before the
 * matching line, or holds text after a Ctrl-Z (where text input ends; Ctrl-Z end markers alone
 * are dropped); STATUS_WRITE_ERROR when the temporary file cannot be created, written or
 * closed, or a read fails after the matching line; STATUS_FAILED for a read error while a key
 * is read; otherwise the status of the move into place. After a failure the file holds its
 * old contents; the temporary file is gone, except after a failed move into place, when it
 * keeps the new contents. */
status_t store_kv_rewrite(const char *path, const char *name, const char *value,
                          const char *spec);

#endif
