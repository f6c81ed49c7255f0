/* The simulated file system: resolution of Windows names, drives, shares, full disks, the
 * crash switch, moves across drives, sharing. */
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/os.h"
#include "sim/sim.h"
#include "sim/sim_internal.h"
#include "support/workstation.h"

namespace {

void host_write(const std::string &p, const std::string &bytes)
{
    FILE *f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr) << p;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string host_read(const std::string &p)
{
    FILE *f = fopen(p.c_str(), "rb");
    if (f == NULL)
        return "<none>";
    std::string out;
    int c;
    while ((c = fgetc(f)) != EOF)
        out += (char)c;
    fclose(f);
    return out;
}

/* C: with Dir\File.txt, D: a second fixed drive, S: connected to \\SERVER\Share. */
struct World {
    std::string c, d, share;
    World()
    {
        sim_reset();
        c = sim_make_temp_dir();
        d = sim_make_temp_dir();
        share = sim_make_temp_dir();
        mkdir((c + "/Dir").c_str(), 0777);
        host_write(c + "/Dir/File.txt", "file");
        mkdir((share + "/Vornex").c_str(), 0777);
        host_write(share + "/Vornex/VCSM.ini", "ini");
        sim_add_drive('C', DRIVE_FIXED, c.c_str());
        sim_add_drive('D', DRIVE_FIXED, d.c_str());
        sim_add_share("SERVER", "Share", share.c_str());
        sim_connect('S', "\\\\SERVER\\Share");
    }
};

TEST(FsResolve, WindowsNamesReachTheirHostFiles)
{
    World w;
    struct Row {
        const char *name;
        const char *win;
        std::string host; /* "" : does not resolve */
    } rows[] = {
        {"absolute", "C:\\Dir\\File.txt", w.c + "/Dir/File.txt"},
        {"case-blind", "c:\\DIR\\file.TXT", w.c + "/Dir/File.txt"},
        {"forward slashes", "C:/Dir/File.txt", w.c + "/Dir/File.txt"},
        {"drive-relative", "C:Dir\\File.txt", w.c + "/Dir/File.txt"},
        {"rooted on the current drive", "\\Dir\\File.txt", w.c + "/Dir/File.txt"},
        {"relative to C:\\", "Dir\\File.txt", w.c + "/Dir/File.txt"},
        {"dot and dot-dot", "C:\\Dir\\.\\..\\Dir\\File.txt", w.c + "/Dir/File.txt"},
        {"dot-dot above the root", "C:\\..\\..\\Dir", w.c + "/Dir"},
        {"doubled separators", "C:\\\\Dir\\\\File.txt", w.c + "/Dir/File.txt"},
        {"trailing dot dropped", "C:\\Dir\\File.txt.", w.c + "/Dir/File.txt"},
        {"missing last name keeps its spelling", "C:\\dir\\New.TXT", w.c + "/Dir/New.TXT"},
        {"root", "C:\\", w.c},
        {"unc through a share", "\\\\server\\SHARE\\vornex\\vcsm.INI", w.share + "/Vornex/VCSM.ini"},
        {"connected drive", "S:\\VORNEX\\VCSM.INI", w.share + "/Vornex/VCSM.ini"},
        {"missing directory", "C:\\NoDir\\File.txt", ""},
        {"file used as a directory", "C:\\Dir\\File.txt\\x", ""},
        {"unknown drive", "Q:\\x", ""},
        {"unknown server", "\\\\NOSUCH\\Share\\x", ""},
        {"unknown share", "\\\\SERVER\\Nosuch\\x", ""},
        {"invalid character", "C:\\Dir\\a|b", ""},
        {"colon inside", "C:\\Dir\\a:b", ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(sim_host_path(row.win), row.host) << row.name;
}

TEST(FsResolve, ErrorsSayWhy)
{
    World w;
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_add_share("SERVER", "Locked", w.share.c_str());
    sim_deny_share("SERVER", "Locked");
    struct Row {
        const char *name;
        const char *win;
        DWORD error;
    } rows[] = {
        {"missing directory", "C:\\NoDir\\x", ERROR_PATH_NOT_FOUND},
        {"unknown drive", "Q:\\x", ERROR_PATH_NOT_FOUND},
        {"no medium", "B:\\x", ERROR_NOT_READY},
        {"unknown server", "\\\\NOSUCH\\Share\\x", ERROR_BAD_NETPATH},
        {"unknown share", "\\\\SERVER\\Nosuch\\x", ERROR_BAD_NET_NAME},
        {"denied share", "\\\\SERVER\\Locked\\x", ERROR_ACCESS_DENIED},
        {"invalid name", "C:\\a*b", ERROR_INVALID_NAME},
        {"empty", "", ERROR_PATH_NOT_FOUND},
    };
    for (const Row &row : rows) {
        simi_resolved r;
        DWORD error = 0;
        EXPECT_FALSE(simi_resolve(row.win, &r, &error)) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
    }
    simi_resolved r;
    DWORD error = 0;
    ASSERT_TRUE(simi_resolve("s:\\vornex", &r, &error));
    EXPECT_TRUE(r.exists);
    EXPECT_TRUE(r.is_dir);
    EXPECT_EQ(r.drive, 'S');
    ASSERT_TRUE(simi_resolve("\\\\SERVER\\Share\\new.txt", &r, &error));
    EXPECT_FALSE(r.exists);
    EXPECT_EQ(r.drive, 0);

    /* An exact spelling wins over other spellings of the same name. */
    host_write(w.c + "/Dir/file.txt", "lower");
    EXPECT_EQ(sim_host_path("C:\\Dir\\file.txt"), w.c + "/Dir/file.txt");
    EXPECT_EQ(sim_host_path("C:\\Dir\\File.txt"), w.c + "/Dir/File.txt");
    EXPECT_EQ(sim_host_path("C:\\Dir\\FILE.TXT"), w.c + "/Dir/File.txt") << "the smallest";
}

TEST(FsDrives, TableAndConnections)
{
    World w;
    sim_add_drive('A', DRIVE_REMOVABLE, w.d.c_str());
    sim_add_drive('E', DRIVE_CDROM, w.d.c_str());
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_remember('T', "\\\\SERVER\\Share");
    struct Row {
        const char *root;
        UINT type;
    } rows[] = {
        {"A:\\", DRIVE_REMOVABLE}, {"B:\\", DRIVE_REMOVABLE}, {"C:\\", DRIVE_FIXED},
        {"E:\\", DRIVE_CDROM},     {"S:\\", DRIVE_REMOTE},    {"s:", DRIVE_REMOTE},
        {"T:\\", DRIVE_NO_ROOT_DIR}, {"Q:\\", DRIVE_NO_ROOT_DIR},
        {"\\\\SERVER\\Share\\", DRIVE_REMOTE}, {"\\\\NOSUCH\\Share\\", DRIVE_NO_ROOT_DIR},
    };
    for (const Row &row : rows)
        EXPECT_EQ(GetDriveTypeA(row.root), row.type) << row.root;

    std::vector<sim_connection> conns = sim_connections();
    ASSERT_EQ(conns.size(), 2u);
    EXPECT_EQ(conns[0].letter, 'S');
    EXPECT_FALSE(conns[0].remembered_only);
    EXPECT_EQ(conns[1].letter, 'T');
    EXPECT_TRUE(conns[1].remembered_only);
    EXPECT_FALSE(ws_file_exists("T:\\Vornex")) << "a remembered letter is not usable";

    simi_drive d;
    ASSERT_TRUE(simi_drive_get('s', &d));
    EXPECT_EQ(d.letter, 'S');
    EXPECT_EQ(d.remote, "\\\\SERVER\\Share");
    sim_deny_share("SERVER", "Share");
    EXPECT_FALSE(ws_file_exists("S:\\Vornex")) << "a denial after connecting is seen";

    sim_remove_drive('C');
    EXPECT_FALSE(simi_drive_get('C', &d));
    EXPECT_EQ(GetDriveTypeA("C:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    EXPECT_FALSE(sim_add_drive('1', DRIVE_FIXED, w.d.c_str()));
}

TEST(FsDrives, ConnectionDeeperThanTheShare)
{
    World w;
    sim_connect('V', "\\\\server\\share\\VORNEX");
    EXPECT_EQ(sim_host_path("V:\\vcsm.ini"), w.share + "/Vornex/VCSM.ini");
}

TEST(FsSpace, GeometryAndAFullDisk)
{
    World w;
    DWORD spc, bps, free_clusters, total;
    ASSERT_TRUE(GetDiskFreeSpaceA("D:\\", &spc, &bps, &free_clusters, &total));
    EXPECT_EQ(spc, 8u);
    EXPECT_EQ(bps, 512u);
    EXPECT_EQ(free_clusters, 262144u);
    EXPECT_EQ(total, 524288u);

    /* 1 MiB free in 4 KiB clusters, unclamped counts for a big disk. */
    sim_set_drive_geometry('D', 8, 512, 3000000, 4000000);
    ASSERT_TRUE(GetDiskFreeSpaceA("d:", &spc, &bps, &free_clusters, &total));
    EXPECT_EQ(free_clusters, 3000000u);
    sim_set_drive_geometry('D', 8, 512, 2, 10);

    FILE *f = crt_fopen("D:\\a.bin", "wb");
    ASSERT_NE(f, nullptr);
    std::string block(4096, 'x');
    EXPECT_EQ(fwrite(block.data(), 1, block.size(), f), block.size());
    EXPECT_EQ(fclose(f), 0);
    ASSERT_TRUE(GetDiskFreeSpaceA("D:\\", &spc, &bps, &free_clusters, &total));
    EXPECT_EQ(free_clusters, 1u) << "one cluster taken";

    /* Two clusters held in the stream's buffer: the final flush meets the full disk. */
    f = crt_fopen("D:\\b.bin", "wb");
    ASSERT_NE(f, nullptr);
    std::string two(5000, 'y');
    EXPECT_EQ(fwrite(two.data(), 1, two.size(), f), two.size());
    errno = 0;
    EXPECT_EQ(fclose(f), EOF) << "the full disk at the last flush";
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(host_read(w.d + "/b.bin").size(), 0u) << "nothing of the failed write landed";
    /* More than a buffer: fwrite itself reports it. */
    f = crt_fopen("D:\\b.bin", "wb");
    ASSERT_NE(f, nullptr);
    std::string big(3 * 8192, 'y');
    EXPECT_LT(fwrite(big.data(), 1, big.size(), f), big.size());
    EXPECT_TRUE(ferror(f));
    fclose(f);

    EXPECT_EQ(crt_remove("D:\\a.bin"), 0);
    ASSERT_TRUE(GetDiskFreeSpaceA("D:\\", &spc, &bps, &free_clusters, &total));
    EXPECT_EQ(free_clusters, 2u) << "a delete gives the space back";

    DWORD error = 0;
    EXPECT_FALSE(simi_write_file("D:\\c.bin", std::string(9000, 'z'), &error));
    EXPECT_EQ(error, (DWORD)ERROR_DISK_FULL);
    EXPECT_TRUE(simi_write_file("D:\\c.bin", std::string(8000, 'z'), &error));
}

TEST(FsSpace, MissingAndEmptyDrives)
{
    World w;
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    DWORD x;
    for (const char *root : {"Q:\\", "B:\\", "\\\\", "\\\\NOSUCH\\share\\", ""}) {
        SetLastError(0);
        EXPECT_FALSE(GetDiskFreeSpaceA(root, &x, &x, &x, &x)) << root;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND) << root;
    }
    EXPECT_TRUE(GetDiskFreeSpaceA("\\\\SERVER\\Share\\", &x, &x, &x, &x));
}

TEST(FsVolume, LabelsPerDrive)
{
    World w;
    sim_add_drive('A', DRIVE_REMOVABLE, w.d.c_str());
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_add_drive('E', DRIVE_CDROM, w.d.c_str());
    char label[32], fs[32];
    DWORD serial, maxc, flags;
    ASSERT_TRUE(GetVolumeInformationA("A:\\", label, sizeof label, &serial, &maxc, &flags, fs,
                                      sizeof fs));
    EXPECT_STREQ(label, "");
    EXPECT_STREQ(fs, "NTFS");
    EXPECT_EQ(maxc, 255u);
    EXPECT_TRUE(SetVolumeLabelA("A:", "DISK 1"));
    ASSERT_TRUE(GetVolumeInformationA("a:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "DISK 1");
    ASSERT_TRUE(GetVolumeInformationA("C:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "") << "labels are per drive";

    memset(label, '#', sizeof label);
    SetLastError(0);
    EXPECT_FALSE(GetVolumeInformationA("A:\\", label, 6, NULL, NULL, NULL, NULL, 0))
        << "one byte short";
    EXPECT_EQ(GetLastError(), 24u);
    EXPECT_EQ(label[0], '#') << "nothing written on failure";
    EXPECT_TRUE(GetVolumeInformationA("A:\\", label, 7, NULL, NULL, NULL, NULL, 0)) << "exact fit";

    EXPECT_TRUE(SetVolumeLabelA("A:\\", NULL));
    ASSERT_TRUE(GetVolumeInformationA("A:\\", label, sizeof label, NULL, NULL, NULL, NULL, 0));
    EXPECT_STREQ(label, "") << "NULL deletes the label";

    ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, NULL, &maxc, NULL, fs, sizeof fs));
    EXPECT_STREQ(fs, "CDFS");
    EXPECT_EQ(maxc, 221u);

    struct Row {
        const char *root;
        DWORD get_error, set_error;
    } rows[] = {
        {"Q:\\", ERROR_PATH_NOT_FOUND, ERROR_NOT_READY},
        {"B:\\", ERROR_NOT_READY, ERROR_NOT_READY},
    };
    for (const Row &row : rows) {
        SetLastError(0);
        EXPECT_FALSE(GetVolumeInformationA(row.root, label, sizeof label, NULL, NULL, NULL, NULL, 0))
            << row.root;
        EXPECT_EQ(GetLastError(), row.get_error) << row.root;
        SetLastError(0);
        EXPECT_FALSE(SetVolumeLabelA(row.root, "X")) << row.root;
        EXPECT_EQ(GetLastError(), row.set_error) << row.root;
    }
}

TEST(FsMove, AcrossDrivesCopiesAndDeletes)
{
    World w;
    host_write(w.c + "/Dir/ro.txt", "ro");
    ASSERT_EQ(crt_chmod("C:\\Dir\\ro.txt", CRT_S_IREAD), 0);
    EXPECT_EQ(crt_rename("C:\\Dir\\File.txt", "D:\\Moved.txt"), 0);
    EXPECT_EQ(host_read(w.d + "/Moved.txt"), "file");
    EXPECT_EQ(host_read(w.c + "/Dir/File.txt"), "<none>");
    EXPECT_TRUE(MoveFileA("C:\\Dir\\ro.txt", "D:\\ro.txt")) << "a read-only source moves";
    EXPECT_EQ(GetFileAttributesA("D:\\ro.txt") & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(ws_file_exists("C:\\Dir\\ro.txt"));

    errno = 0;
    EXPECT_EQ(crt_rename("D:\\Moved.txt", "D:\\ro.txt"), -1) << "never replaces across drives either";
    EXPECT_EQ(errno, EEXIST);

    SetLastError(0);
    EXPECT_FALSE(MoveFileExA("D:\\Moved.txt", "C:\\x.txt", MOVEFILE_REPLACE_EXISTING))
        << "MoveFileExA copies only when allowed";
    EXPECT_EQ(GetLastError(), 17u);
    EXPECT_TRUE(MoveFileExA("D:\\Moved.txt", "C:\\x.txt",
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(host_read(w.c + "/x.txt"), "file");

    sim_set_rename_cross_device(true);
    errno = 0;
    EXPECT_EQ(crt_rename("C:\\x.txt", "D:\\y.txt"), -1);
    EXPECT_EQ(errno, EXDEV);
    EXPECT_EQ(crt_rename("C:\\x.txt", "C:\\y.txt"), 0) << "the switch is only across drives";
    EXPECT_TRUE(MoveFileA("C:\\y.txt", "D:\\y.txt")) << "the switch is crt_rename's";

    /* A full target disk: the move fails and the source stays. */
    host_write(w.c + "/big.bin", std::string(10000, 'b'));
    sim_set_drive_geometry('D', 8, 512, 1, 10);
    SetLastError(0);
    EXPECT_FALSE(MoveFileA("C:\\big.bin", "D:\\big.bin"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(host_read(w.c + "/big.bin").size(), 10000u);
    EXPECT_FALSE(ws_file_exists("D:\\big.bin"));
}

TEST(FsMove, CrashSwitchStopsEveryLaterMutation)
{
    World w;
    /* The rewrite the stores do: temporary written, then moved over the original. */
    for (unsigned k = 1; k <= 6; k++) {
        host_write(w.c + "/store.txt", "old\r\n");
        unlink((w.c + "/store.x1z").c_str());
        sim_crash_after(k);
        FILE *f = crt_fopen("C:\\store.x1z", "w");
        if (f != NULL) {
            fputs("new\n", f);
            fclose(f);
        }
        MoveFileExA("C:\\store.x1z", "C:\\store.txt", MOVEFILE_REPLACE_EXISTING);
        sim_crash_after(0);
        std::string store = host_read(w.c + "/store.txt");
        EXPECT_TRUE(store == "old\r\n" || store == "new\r\n") << "k=" << k << ": " << store;
        if (k >= 3) {
            EXPECT_EQ(store, "new\r\n") << "k=" << k;
        }
        if (k == 1) {
            EXPECT_EQ(host_read(w.c + "/store.x1z"), "") << "created, never written";
        }
    }
    sim_crash_after(1);
    EXPECT_TRUE(SetFileAttributesA("C:\\store.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(DeleteFileA("C:\\store.txt")) << "the machine has stopped";
    EXPECT_EQ(crt_chmod("C:\\store.txt", CRT_S_IREAD), -1);
    DWORD error = 0;
    EXPECT_FALSE(simi_write_file("C:\\other.txt", "x", &error));
    EXPECT_EQ(crt_fopen("C:\\new.txt", "w"), nullptr);
    FILE *r = crt_fopen("C:\\store.txt", "r");
    EXPECT_NE(r, nullptr) << "reading still works";
    if (r != NULL)
        fclose(r);
    sim_crash_after(0);
    EXPECT_TRUE(DeleteFileA("C:\\store.txt"));
}

TEST(FsShare, HeldFilesAndOpenCounts)
{
    World w;
    sim_hold_open("c:\\dir\\file.TXT");
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA("C:\\Dir\\File.txt"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    errno = 0;
    EXPECT_EQ(crt_remove("C:\\Dir\\File.txt"), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(crt_rename("C:\\Dir\\File.txt", "C:\\Dir\\x.txt"), -1);
    EXPECT_EQ(host_read(w.c + "/Dir/File.txt"), "file");

    EXPECT_EQ(sim_open_files(), 0);
    FILE *f = crt_fopen("C:\\Dir\\File.txt", "r");
    HFILE h = _lopen("C:\\Dir\\File.txt", OF_READ);
    EXPECT_EQ(sim_open_files(), 2);
    fclose(f);
    _lclose(h);
    EXPECT_EQ(sim_open_files(), 0);
    SetLastError(0);
    EXPECT_EQ(_lclose(h), HFILE_ERROR) << "closed twice";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(FsFiles, WholeFileAccess)
{
    World w;
    std::string bytes;
    DWORD error = 0;
    ASSERT_TRUE(simi_read_file("c:\\dir\\file.txt", &bytes, &error));
    EXPECT_EQ(bytes, "file");
    struct Row {
        const char *name;
        const char *path;
        DWORD error;
    } rows[] = {
        {"missing", "C:\\nosuch.ini", ERROR_FILE_NOT_FOUND},
        {"missing directory", "C:\\nodir\\x.ini", ERROR_PATH_NOT_FOUND},
        {"directory", "C:\\Dir", ERROR_ACCESS_DENIED},
    };
    for (const Row &row : rows) {
        bytes = "keep";
        EXPECT_FALSE(simi_read_file(row.path, &bytes, &error)) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
        EXPECT_EQ(bytes, "keep") << row.name;
    }
    ASSERT_TRUE(simi_write_file("C:\\Dir\\new.ini", "[S]\r\n", &error));
    EXPECT_EQ(host_read(w.c + "/Dir/new.ini"), "[S]\r\n");
    ASSERT_EQ(crt_chmod("C:\\Dir\\new.ini", CRT_S_IREAD), 0);
    EXPECT_FALSE(simi_write_file("C:\\Dir\\new.ini", "x", &error));
    EXPECT_EQ(error, (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(host_read(w.c + "/Dir/new.ini"), "[S]\r\n");
    EXPECT_FALSE(simi_write_file("C:\\Dir", "x", &error));
    EXPECT_EQ(error, (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(simi_windows_dir(), "C:\\WINDOWS");
    sim_set_windows_dir("D:\\WINNT");
    EXPECT_EQ(simi_windows_dir(), "D:\\WINNT");
}

TEST(FsTimes, StampsFollowTheHostFileAndMoveWithIt)
{
    World w;
    struct timespec ts[2] = {{0, UTIME_OMIT}, {1000000000, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, (w.c + "/Dir/File.txt").c_str(), ts, 0), 0);
    HFILE h = _lopen("C:\\Dir\\File.txt", OF_READWRITE);
    ASSERT_NE(h, HFILE_ERROR);
    FILETIME c, a, wr;
    ASSERT_TRUE(GetFileTime((HANDLE)(intptr_t)h, &c, &a, &wr));
    uint64_t want = 116444736000000000ULL + 1000000000ULL * 10000000ULL + 1234567ULL;
    uint64_t got = ((uint64_t)wr.dwHighDateTime << 32) | wr.dwLowDateTime;
    EXPECT_EQ(got, want) << "from the host's modification time";
    EXPECT_EQ(((uint64_t)c.dwHighDateTime << 32) | c.dwLowDateTime, want);
    FILETIME created = {12345, 0x01D00000};
    EXPECT_TRUE(SetFileTime((HANDLE)(intptr_t)h, &created, NULL, NULL));
    _lclose(h);
    ASSERT_TRUE(MoveFileA("C:\\Dir\\File.txt", "C:\\Dir\\Renamed.txt"));
    h = _lopen("C:\\Dir\\Renamed.txt", OF_READ);
    ASSERT_TRUE(GetFileTime((HANDLE)(intptr_t)h, &c, &a, &wr));
    EXPECT_EQ(c.dwLowDateTime, 12345u) << "the creation stamp moved with the file";
    EXPECT_EQ(((uint64_t)wr.dwHighDateTime << 32) | wr.dwLowDateTime, want);
    _lclose(h);
}

} // namespace
