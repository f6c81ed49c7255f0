/* klagent-sim on worlds a careless or hostile person made: planted links, linked and read-only
 * files, files outside the world, failures in the middle of a save, keys too deep, numbers too
 * large. The world's files are saved whole or not at all, and nothing outside the world is
 * written unless the person asks for it. */
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/example_office.h"
#include "tools/klagent-sim/savefiles.h"

namespace fs = std::filesystem;

namespace {

class HostileWorld : public ExampleOffice {
protected:
    fs::path reception;
    std::string ini;      /* reception's world.ini as checked in */
    std::string registry; /* ... and its registry.reg */

    void SetUp() override
    {
        ExampleOffice::SetUp();
        reception = office / "reception";
        ini = office_slurp(reception / "world.ini");
        registry = office_slurp(reception / "registry.reg");
    }

    /* Reception's world.ini with its registry line replaced. */
    void name_registry(const std::string &value)
    {
        std::string text = ini;
        size_t at = text.find("registry = registry.reg");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 23, "registry = " + value);
        office_write(reception / "world.ini", text);
        ini = text;
    }

    /* Files in the world's folder whose names a save's temporary files would have. */
    std::vector<std::string> leftovers() const
    {
        std::vector<std::string> found;
        for (const auto &e : fs::directory_iterator(reception))
            if (e.path().filename().string().find(".klagent-sim.") != std::string::npos)
                found.push_back(e.path().filename().string());
        return found;
    }
};

/* A pass on reception connects the clients directory and writes CLIENTS_DIR: both files change. */
const char CLIENTS_DIR_LINE[] = "\"CLIENTS_DIR\"=hex(2):7a,3a,5c,00";

TEST_F(HostileWorld, APlantedLinkAtATemporaryNameIsNeverFollowed)
{
    /* The names earlier saves used for their temporary files, each a link to a file outside. */
    fs::path outside = office / "precious.txt";
    office_write(outside, "precious");
    for (const char *name : {"registry.reg.klagent-sim.tmp", "world.ini.klagent-sim.tmp"})
        fs::create_symlink(outside, reception / name);

    office_run r = office_klagent_sim({reception.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(office_slurp(outside), "precious");
    EXPECT_FALSE(fs::is_symlink(reception / "registry.reg"));
    EXPECT_NE(office_slurp(reception / "registry.reg").find(CLIENTS_DIR_LINE), std::string::npos);
    EXPECT_NE(office_slurp(reception / "world.ini").find("Z = \\\\VXSERVER\\CLIENTS"),
              std::string::npos);
    EXPECT_EQ(leftovers().size(), 2u) << "only the planted links remain";
}

TEST_F(HostileWorld, ALinkedFileIsNotReplacedAndNothingIsSaved)
{
    struct row {
        const char *what;
        const char *file; /* the world's file that becomes a link */
    } rows[] = {{"registry.reg", "registry.reg"}, {"world.ini", "world.ini"}};
    for (const row &w : rows) {
        SCOPED_TRACE(w.what);
        SetUp();
        fs::path link = reception / w.file;
        fs::path real = reception / (std::string("real-") + w.file);
        fs::rename(link, real);
        fs::create_symlink(real.filename(), link);
        std::string before_ini = office_slurp(reception / "world.ini");
        std::string before_reg = office_slurp(reception / "registry.reg");

        office_run r = office_klagent_sim({reception.string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(office_slurp(reception / "world.ini"), before_ini);
        EXPECT_EQ(office_slurp(reception / "registry.reg"), before_reg);
        EXPECT_TRUE(leftovers().empty());
    }
}

TEST_F(HostileWorld, ASavedFileKeepsItsPermissions)
{
    for (fs::perms mode : {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                           fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
        SetUp();
        fs::permissions(reception / "registry.reg", mode);
        office_run r = office_klagent_sim({reception.string()});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(fs::status(reception / "registry.reg").permissions(), mode);
        EXPECT_NE(office_slurp(reception / "registry.reg").find(CLIENTS_DIR_LINE),
                  std::string::npos);
    }
}

/* Whatever file operation of a save fails, the world keeps all of its old files or gets all of
 * the new ones, and no temporary file stays behind. */
TEST_F(HostileWorld, AFailureAtAnyPointOfASaveLeavesTheWorldWhole)
{
    int n = 1;
    for (;; n++) {
        SetUp();
        ksim::save_fail_at(n);
        office_run r = office_klagent_sim({reception.string()});
        int operations = ksim::save_operations();
        ksim::save_fail_at(0);
        std::string new_reg = office_slurp(reception / "registry.reg");
        std::string new_ini = office_slurp(reception / "world.ini");
        EXPECT_TRUE(leftovers().empty()) << "failing operation " << n;
        if (r.code == 0) {
            EXPECT_LT(operations, n) << "a failed operation went unnoticed";
            EXPECT_NE(new_reg.find(CLIENTS_DIR_LINE), std::string::npos);
            EXPECT_NE(new_ini, ini);
            break;
        }
        EXPECT_EQ(r.code, 1) << "failing operation " << n;
        EXPECT_FALSE(r.err.empty()) << "failing operation " << n;
        EXPECT_EQ(new_reg, registry) << "failing operation " << n;
        EXPECT_EQ(new_ini, ini) << "failing operation " << n;
        ASSERT_LT(n, 100) << "the sweep does not end";
    }
    EXPECT_GT(n, 8) << "two files: created, written, synced and renamed each";
}

/* A save that cannot write one of its files leaves the other one as it was too. */
TEST_F(HostileWorld, ASecondFileThatCannotBeWrittenLeavesTheFirstAsItWas)
{
    /* Where earlier saves put world.ini's temporary file, a directory stands. */
    fs::create_directory(reception / "world.ini.klagent-sim.tmp");
    office_run r = office_klagent_sim({reception.string()});
    std::string new_reg = office_slurp(reception / "registry.reg");
    std::string new_ini = office_slurp(reception / "world.ini");
    if (r.code == 0) {
        EXPECT_NE(new_reg, registry);
        EXPECT_NE(new_ini, ini);
    } else {
        EXPECT_EQ(new_reg, registry) << "half saved: " << r.err;
        EXPECT_EQ(new_ini, ini);
    }
}

TEST_F(HostileWorld, FilesOutsideTheWorldAreWrittenOnlyWhenAskedFor)
{
    struct row {
        const char *what;
        const char *registry_value; /* what world.ini names; null: the file's absolute path */
        const char *file;           /* the file it names, in the office's folder */
        bool allowed;               /* written with --save-outside */
    } rows[] = {
        {"a relative path out of the folder", "../outside.reg", "outside.reg", true},
        {"an absolute path", NULL, "absolute.reg", true},
        {"a folder that is a link", "linked/registry.reg", "elsewhere/registry.reg", false},
    };
    for (const row &w : rows) {
        SCOPED_TRACE(w.what);
        SetUp();
        fs::path file = office / w.file;
        fs::create_directories(office / "elsewhere");
        office_write(file, registry);
        fs::create_directory_symlink(office / "elsewhere", reception / "linked");
        name_registry(w.registry_value != NULL ? w.registry_value : file.string());

        office_run r = office_klagent_sim({reception.string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("outside the world's folder"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("world.ini:5: "), std::string::npos) << r.err;
        EXPECT_EQ(office_slurp(file), registry);
        EXPECT_EQ(office_slurp(reception / "world.ini"), ini) << "nothing saved";

        office_run allowed = office_klagent_sim({"--save-outside", reception.string()});
        EXPECT_EQ(allowed.code, w.allowed ? 0 : 1) << allowed.err;
        EXPECT_EQ(office_slurp(file).find(CLIENTS_DIR_LINE) != std::string::npos, w.allowed);
    }
}

TEST_F(HostileWorld, MalformedWorldsAreNamedByFileAndLine)
{
    const std::string deep = [] {
        std::string path = "SOFTWARE";
        for (int i = 1; i < 20000; i++)
            path += "\\K";
        return path;
    }();
    const std::string levels_512 = [] {
        std::string path = "L";
        for (int i = 1; i < 512; i++)
            path += "\\L";
        return path;
    }();
    struct row {
        const char *what;
        const char *file;    /* the file to write */
        std::string text;    /* appended to its checked-in contents; a whole text for world.ini */
        std::string message; /* what err must contain (file:line: what); empty: it loads */
    } rows[] = {
        {"a key of twenty thousand levels", "registry.reg", "\r\n[HKEY_USERS\\" + deep + "]\r\n",
         "registry.reg:11: a key more than 512 levels deep"},
        {"a key of 513 levels", "registry.reg", "\r\n[HKEY_USERS\\" + levels_512 + "\\M]\r\n",
         "registry.reg:11: a key more than 512 levels deep"},
        {"a key of 512 levels", "registry.reg", "\r\n[HKEY_USERS\\" + levels_512 + "]\r\n", ""},
        {"a key name of 256 characters", "registry.reg",
         "\r\n[HKEY_USERS\\A\\" + std::string(256, 'n') + "]\r\n",
         "registry.reg:11: a key name of 256 characters"},
        {"unreachable past a LONG", "world.ini", "\n[server OTHER]\nunreachable = 2147483648\n",
         "world.ini:22: unreachable = "},
        {"unreachable that a cut would make 53", "world.ini",
         "\n[server OTHER]\nunreachable = 4294967349\n", "world.ini:22: unreachable = "},
        {"a WinExec result past a UINT", "world.ini", "\n[programs]\nX.EXE = 4294967296\n",
         "world.ini:22: a program's line"},
        {"a negative WinExec result", "world.ini", "\n[programs]\nX.EXE = -2\n",
         "world.ini:22: a program's line"},
        {"a version with more after it", "world.ini", "\n[workstation]\nversion = nt 6.1x\n",
         "world.ini:22: version = "},
        {"a machine name with a slash", "world.ini", "\n[server ../../x]\n", "world.ini:21: a machine's name"},
    };
    for (const row &w : rows) {
        SCOPED_TRACE(w.what);
        SetUp();
        fs::path target = reception / w.file;
        office_write(target, office_slurp(target) + w.text);
        office_run r = office_klagent_sim({"--no-save", reception.string()});
        if (w.message.empty()) {
            EXPECT_EQ(r.code, 0) << r.err;
            continue;
        }
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(w.message), std::string::npos) << r.err;
    }

    SetUp();
    fs::remove(reception / "registry.reg");
    fs::create_directory(reception / "registry.reg");
    office_run dir = office_klagent_sim({reception.string()});
    EXPECT_EQ(dir.code, 1);
    EXPECT_NE(dir.err.find("world.ini:5: the registry file registry.reg is a directory"),
              std::string::npos)
        << dir.err;
}

TEST_F(HostileWorld, AByteOrderMarkInTheWorldFileIsReadAndKept)
{
    office_write(reception / "world.ini", "\xEF\xBB\xBF" + ini);
    office_run r = office_klagent_sim({reception.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string saved = office_slurp(reception / "world.ini");
    EXPECT_EQ(saved.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_EQ(saved.compare(3, ini.size(), ini), 0) << saved;
    EXPECT_NE(saved.find("Z = \\\\VXSERVER\\CLIENTS"), std::string::npos) << saved;
}

} // namespace
