#ifndef _WIN32
#include "tests/support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

bool RunUnprivileged(const std::function<std::string()>& what, std::string& text) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        text = "no pipe";
        return false;
    }
    pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        bool dropped =
            geteuid() != 0 || (setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 65534) == 0 &&
                               setresuid(65534, 65534, 65534) == 0);
        std::string out = dropped ? what() : "cannot drop to uid 65534";
        ssize_t ignored = write(pipeFds[1], out.data(), out.size());
        (void)ignored;
        _exit(dropped ? 0 : 1);
    }
    close(pipeFds[1]);
    text.clear();
    std::string chunk(4096, '\0');
    for (ssize_t r; (r = read(pipeFds[0], chunk.data(), chunk.size())) != 0;) {
        if (r > 0)
            text.append(chunk, 0, static_cast<size_t>(r));
        else if (errno != EINTR)
            break;
    }
    close(pipeFds[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        text = child < 0 ? "no child process" : text.empty() ? "the child failed" : text;
        return false;
    }
    return true;
}
#endif
