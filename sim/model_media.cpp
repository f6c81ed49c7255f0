/* Removable media: host folders put into and taken out of drives, and their labels. */
#include "sim/model_fs.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

/* Clusters the files of a medium take; its label file is not a file of the volume. */
static uint64_t media_used_clusters(const std::string &host_dir, uint64_t cluster_bytes)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    uint64_t used = 0;
    fs::recursive_directory_iterator it(host_dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        if (it.depth() == 0 && it->path().filename() == SIM_LABEL_FILE)
            continue;
        used += fs_clusters_of(cluster_bytes, (uint64_t)it->file_size(ec));
    }
    return used;
}

bool sim_insert_medium(char letter, const char *host_dir, DWORD sectors_per_cluster,
                       DWORD bytes_per_sector, DWORD total_clusters)
{
    simi_drive d;
    if (host_dir == NULL || !simi_drive_get(letter, &d))
        return false;
    d.host_dir = host_dir;
    simi_drive_set(d);
    uint64_t used =
        media_used_clusters(host_dir, (uint64_t)sectors_per_cluster * bytes_per_sector);
    DWORD free_clusters = used >= total_clusters ? 0 : (DWORD)(total_clusters - used);
    sim_set_drive_geometry(letter, sectors_per_cluster, bytes_per_sector, free_clusters,
                           total_clusters);
    return true;
}

void sim_eject_medium(char letter)
{
    simi_drive d;
    if (!simi_drive_get(letter, &d))
        return;
    d.host_dir.clear();
    simi_drive_set(d);
}

std::string sim_medium_label(const std::string &host_dir)
{
    std::string label;
    int fd = open((host_dir + "/" SIM_LABEL_FILE).c_str(), O_RDONLY);
    if (fd < 0)
        return label;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        label.append(buf, (size_t)n);
    close(fd);
    /* The first line is the label. */
    size_t end = label.find_first_of("\r\n");
    if (end != std::string::npos)
        label.erase(end);
    return label;
}

bool sim_set_medium_label(const std::string &host_dir, const char *label)
{
    std::string path = host_dir + "/" SIM_LABEL_FILE;
    if (label == NULL || *label == '\0')
        return unlink(path.c_str()) == 0 || errno == ENOENT;
    std::string line = std::string(label) + "\n";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    bool ok = write(fd, line.data(), line.size()) == (ssize_t)line.size();
    return close(fd) == 0 && ok;
}
