/* The example office for klagent-sim tests. */
#include "support/example_office.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/sim.h"
#include "tools/klagent-sim/world.h"

namespace fs = std::filesystem;

namespace {

const fs::path SOURCE_ROOT = fs::path(VX_SOURCE_ROOT);

std::string office_read_stream(FILE *f)
{
    std::string text;
    rewind(f);
    int c;
    while ((c = fgetc(f)) != EOF)
        text.push_back((char)c);
    return text;
}

} // namespace

office_run office_klagent_sim(const std::vector<std::string> &args)
{
    FILE *out = tmpfile();
    FILE *err = tmpfile();
    office_run r;
    r.code = ksim::ksim_run(args, out, err);
    r.out = office_read_stream(out);
    r.err = office_read_stream(err);
    fclose(out);
    fclose(err);
    return r;
}

std::string office_slurp(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void office_write(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool office_has_line(const std::string &text, const std::string &line)
{
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l))
        if (l == line)
            return true;
    return false;
}

void ExampleOffice::SetUp()
{
    office = fs::path(sim_make_temp_dir()) / "office";
    fs::copy(SOURCE_ROOT / "examples" / "office", office, fs::copy_options::recursive);
    /* The home switches reports on; git keeps no empty folder, so the report folder is made
     * here as scripts/run-example.sh makes it. */
    fs::create_directories(office / "server" / "CLIENTS" / "REPORTS");
}

void ExampleOffice::TearDown()
{
    sim_cleanup_temp_dirs();
}

std::string ExampleOffice::world(const char *client) const
{
    return (office / client).string();
}
