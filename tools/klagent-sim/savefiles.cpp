/* Replacing the world's files after a pass: all of them or none, never through a symbolic link,
 * and only inside the world's folder unless the person allows more. */
#include "savefiles.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "textfile.h"

namespace ksim {

namespace {

int g_fail_at = 0;
int g_operations = 0;
bool g_faults_off = false; /* while files already replaced are put back */

/* One file operation; false when it is the one a test makes fail. */
bool save_step()
{
    if (g_faults_off)
        return true;
    g_operations++;
    if (g_fail_at != 0 && g_operations == g_fail_at) {
        errno = EIO;
        return false;
    }
    return true;
}

/* A target on its way: what it replaces and where its new contents wait. */
struct save_job {
    const save_target *target;
    bool existed;          /* a file stood there */
    struct stat st;        /* ... with this mode and owner */
    std::string old_bytes; /* ... and these contents, put back when a later rename fails */
    std::string temp;      /* the temporary file, "" when none is left */
    bool replaced;         /* the temporary file took the target's place */
};

std::string save_folder_of(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string save_base_of(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool save_real_path(const std::string &path, std::string *out)
{
    char *real = realpath(path.c_str(), NULL);
    if (real == NULL)
        return false;
    *out = real;
    free(real);
    return true;
}

bool save_is_within(const std::string &dir, const std::string &root)
{
    if (dir == root || root == "/")
        return true;
    return dir.size() > root.size() && dir.compare(0, root.size(), root) == 0 &&
           dir[root.size()] == '/';
}

/* Whether the path as written (before any link is followed) lies in the world's folder. */
bool save_named_inside(const std::string &path, const std::string &world_dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path world = fs::absolute(world_dir, ec).lexically_normal();
    fs::path file = fs::absolute(path, ec).lexically_normal();
    fs::path rel = file.lexically_relative(world);
    return !rel.empty() && *rel.begin() != "..";
}

std::string save_where(const save_target &t)
{
    return t.named_by.empty() ? t.path : t.named_by + ": " + t.path;
}

bool save_fail(std::string *error, const std::string &what)
{
    *error = what;
    return false;
}

bool save_check(const save_target &t, const std::string &real_world, const std::string &world_dir,
                bool allow_outside, save_job *job, std::string *error)
{
    const std::string where = save_where(t);
    job->target = &t;
    job->replaced = false;
    job->existed = lstat(t.path.c_str(), &job->st) == 0;
    if (!job->existed && errno != ENOENT)
        return save_fail(error, where + ": cannot be examined (" + strerror(errno) + ")");
    if (job->existed) {
        if (t.must_be_new)
            return save_fail(error, where + ": exists, but the world does not name it; name it "
                                            "in the world or move it away");
        if (S_ISLNK(job->st.st_mode))
            return save_fail(error, where + ": is a symbolic link; klagent-sim does not replace "
                                            "a link with a file (name the file it leads to, or "
                                            "use --no-save)");
        if (!S_ISREG(job->st.st_mode))
            return save_fail(error, where + ": is not a regular file");
        if (!text_file_read(t.path, &job->old_bytes, error))
            return false;
    }
    std::string real_dir;
    if (!save_real_path(save_folder_of(t.path), &real_dir))
        return save_fail(error, where + ": its folder cannot be found");
    if (!save_is_within(real_dir, real_world)) {
        if (save_named_inside(t.path, world_dir))
            return save_fail(error, where + ": leads outside the world's folder " + real_world +
                                        " through a symbolic link; klagent-sim writes only "
                                        "inside it");
        if (!allow_outside)
            return save_fail(error, where + ": lies outside the world's folder " + real_world +
                                        "; klagent-sim writes there only with --save-outside");
    }
    return true;
}

mode_t save_new_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

/* The new contents in a temporary file beside the target, under a name made by mkstemp: created
 * exclusively (a link or file planted there is never opened) and not guessable beforehand. */
bool save_write_temp(const std::string &text, mode_t mode, const struct stat *owner,
                     save_job *job, std::string *error)
{
    const std::string path = job->target->path;
    std::string pattern = save_folder_of(path) + "/." + save_base_of(path) + ".klagent-sim.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = save_step() ? mkstemp(name.data()) : -1;
    if (fd < 0)
        return save_fail(error, save_where(*job->target) +
                                    ": no temporary file can be created beside it (" +
                                    strerror(errno) + ")");
    job->temp = name.data();
    bool ok = true;
    /* Only root may give a file away; anyone else keeps their own ownership. */
    if (owner != NULL)
        (void)fchown(fd, owner->st_uid, owner->st_gid);
    if (!save_step() || fchmod(fd, mode) != 0)
        ok = false;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = save_step() ? write(fd, text.data() + done, text.size() - done) : -1;
        if (n <= 0)
            ok = false;
        else
            done += (size_t)n;
    }
    /* On the disk before it replaces anything: all or none also holds across a crash. */
    if (ok && (!save_step() || fsync(fd) != 0))
        ok = false;
    int err = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok)
        return save_fail(error, job->temp + ": cannot be written (" + strerror(err) + ")");
    return true;
}

/* The temporary file takes the target's place: a rename over an existing file; a link for a
 * new one, which fails rather than replace a file that appeared meanwhile. */
bool save_commit(save_job *job, std::string *error)
{
    const save_target &t = *job->target;
    struct stat st;
    if (lstat(t.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return save_fail(error, save_where(t) + ": became a symbolic link; not replaced");
    bool ok;
    if (job->existed) {
        ok = save_step() && rename(job->temp.c_str(), t.path.c_str()) == 0;
    } else {
        ok = save_step() && link(job->temp.c_str(), t.path.c_str()) == 0;
        if (ok)
            (void)unlink(job->temp.c_str());
    }
    if (!ok)
        return save_fail(error, save_where(t) + ": cannot be replaced (" + strerror(errno) + ")");
    job->temp.clear();
    job->replaced = true;
    return true;
}

/* Put a replaced file back as it was: its old contents and mode, or no file. */
bool save_undo(save_job *job)
{
    if (!job->existed)
        return unlink(job->target->path.c_str()) == 0;
    std::string error;
    save_job undo = *job;
    undo.temp.clear();
    if (!save_write_temp(job->old_bytes, job->st.st_mode & 07777, &job->st, &undo, &error))
        return false;
    if (rename(undo.temp.c_str(), job->target->path.c_str()) != 0) {
        (void)unlink(undo.temp.c_str());
        return false;
    }
    return true;
}

} // namespace

bool save_files(const std::vector<save_target> &targets, const std::string &world_dir,
                bool allow_outside, std::string *error)
{
    std::string real_world;
    if (!save_real_path(world_dir, &real_world))
        return save_fail(error, world_dir + ": the world's folder cannot be found");
    std::vector<save_job> jobs(targets.size());
    for (size_t i = 0; i < targets.size(); i++)
        if (!save_check(targets[i], real_world, world_dir, allow_outside, &jobs[i], error))
            return false;

    bool ok = true;
    for (size_t i = 0; ok && i < jobs.size(); i++) {
        mode_t mode = jobs[i].existed ? (jobs[i].st.st_mode & 07777) : save_new_file_mode();
        ok = save_write_temp(targets[i].text, mode, jobs[i].existed ? &jobs[i].st : NULL,
                             &jobs[i], error);
    }
    for (size_t i = 0; ok && i < jobs.size(); i++)
        ok = save_commit(&jobs[i], error);

    if (!ok) {
        g_faults_off = true;
        for (save_job &job : jobs) {
            if (job.replaced && !save_undo(&job))
                *error += "; " + job.target->path + " could not be put back as it was";
            if (!job.temp.empty())
                (void)unlink(job.temp.c_str());
        }
        g_faults_off = false;
    }
    return ok;
}

void save_fail_at(int n)
{
    g_fail_at = n;
    g_operations = 0;
}

int save_operations(void)
{
    return g_operations;
}

} // namespace ksim
