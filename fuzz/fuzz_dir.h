// A fuzz target's own temporary folder with the drives the fake platform serves (C:, D:, the
// journal directory C:\kelmor\), made the working directory and removed at exit.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

inline std::string &fuzzDir() {
    static std::string dir;
    return dir;
}

inline void makeFuzzDir(const char *prefix) {
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    fuzzDir() = tmpl;
    mkdir((tmpl + "/C").c_str(), 0755);
    mkdir((tmpl + "/D").c_str(), 0755);
    mkdir((tmpl + "/C/kelmor").c_str(), 0755);
    if (chdir(tmpl.c_str()) != 0) std::abort();
    std::atexit([] {
        std::string cmd = "rm -rf '" + fuzzDir() + "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "cannot remove %s\n", fuzzDir().c_str());
    });
}
