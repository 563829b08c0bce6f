// A stand-in program for tests that start programs: it writes what it was
// started with to the file named by ARGV_RECORDER_OUT, as NUL-terminated
// "key=value" fields in this order: cwd, show (PINGBOX_SHOW_CODE, empty when
// unset), pid, ppid, sid, stdin (what descriptor 0 refers to), one "fd" per
// other open descriptor above 2, one "arg" per argv entry. The file appears
// complete or not at all. With ARGV_RECORDER_SLEEP_MS it then stays alive
// that long.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void field(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += value;
    out += '\0';
}

std::string link(const char* path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer - 1);
    return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

} // namespace

int main(int argc, char** argv) {
    const char* out = std::getenv("ARGV_RECORDER_OUT");
    if (out == nullptr || *out == '\0')
        return 2;

    std::string record;
    char cwd[PATH_MAX];
    field(record, "cwd", ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "");
    const char* show = std::getenv("PINGBOX_SHOW_CODE");
    field(record, "show", show != nullptr ? show : "");
    field(record, "pid", std::to_string(::getpid()));
    field(record, "ppid", std::to_string(::getppid()));
    field(record, "sid", std::to_string(::getsid(0)));
    field(record, "stdin", link("/proc/self/fd/0"));
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != ::dirfd(dir))
                field(record, "fd",
                      std::to_string(fd) + " " +
                          link(("/proc/self/fd/" + std::to_string(fd)).c_str()));
        }
        ::closedir(dir);
    }
    for (int i = 0; i < argc; ++i)
        field(record, "arg", argv[i]);

    const std::string partial = std::string(out) + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr)
        return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    if (std::fclose(file) != 0 || !written || std::rename(partial.c_str(), out) != 0)
        return 1;

    if (const char* sleep = std::getenv("ARGV_RECORDER_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
    return 0;
}
