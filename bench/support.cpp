#include "bench/support.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/commands.h"
#include "app/settings.h"
#include "app/startup.h"
#include "res/resource.h"

BenchProgram::BenchProgram() {
    char tmpl[] = "/tmp/kelmor-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    // KELMOR_BENCH_FSYNC=1: every flush of the program reaches the disk.
    fake.realFlush = std::getenv("KELMOR_BENCH_FSYNC") != nullptr;
    if (chdir(dir.c_str()) != 0) std::abort();
    mkdir((dir + "/C").c_str(), 0755);
    fake.drives[2] = {kDriveFixed, dir + "/C"};
    fake.onUnexpected = [](const std::string &) {};
    setPlatform(&fake);
    appInitialize(30, 60);
    g_settings.MsgOptions = 0;
    appShown();
}

BenchProgram::~BenchProgram() {
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
}

std::string BenchProgram::sparse(const std::string &name, uint64_t size) {
    std::string path = dir + "/" + name;
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) std::abort();
    close(fd);
    return path;
}

void BenchProgram::open(const std::string &path) {
    fake.fileDialogAnswers.push_back({true, path, true});
    dispatchCommand(IDM_OPEN_FILE, 0);
}

long peakRssKiB() {
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}
